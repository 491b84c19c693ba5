// Raised failures: construction, translation to HRESULT and the user-facing description.
#include "platform/RuntimeError.h"

#include <new>
#include <stdexcept>

void RaiseError(HRESULT code)
{
    throw RuntimeError(code);
}

void RaiseLastError()
{
    const DWORD error = GetLastError();
    RaiseError(error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL);
}

HRESULT ResultFromCaughtException() noexcept
{
    try {
        throw;
    } catch (const RuntimeError& error) {
        return error.Code();
    } catch (const std::bad_alloc&) {
        return kErrorOutOfMemory;
    } catch (const std::length_error&) {
        return kErrorOutOfMemory;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

std::wstring DescribeError(HRESULT code)
{
    const wchar_t* text = nullptr;
    switch (code) {
    case kErrorOverflow: text = L"Overflow"; break;
    case kErrorOutOfMemory: text = L"Out of memory"; break;
    case kErrorSubscriptOutOfRange: text = L"Subscript out of range"; break;
    case kErrorObjectNotSet: text = L"Object variable or With block variable not set"; break;
    case kErrorInvalidPropertyValue: text = L"Invalid property value"; break;
    case kErrorElementNotFound: text = L"Element not found"; break;
    case kErrorKeyNotUnique: text = L"Key is not unique in collection"; break;
    default: break;
    }
    if (text != nullptr && HRESULT_FACILITY(code) == 0x0A) {
        return L"Run-time error '" + std::to_wstring(HRESULT_CODE(code)) + L"': " + text;
    }
    wchar_t hex[16];
    wsprintfW(hex, L"0x%08X", static_cast<unsigned>(code));
    return std::wstring(L"Run-time error ") + hex;
}

int32_t CheckedAdd(int32_t a, int32_t b)
{
    int32_t result;
    if (__builtin_add_overflow(a, b, &result)) RaiseError(kErrorOverflow);
    return result;
}

int32_t CheckedSub(int32_t a, int32_t b)
{
    int32_t result;
    if (__builtin_sub_overflow(a, b, &result)) RaiseError(kErrorOverflow);
    return result;
}

int32_t CheckedMul(int32_t a, int32_t b)
{
    int32_t result;
    if (__builtin_mul_overflow(a, b, &result)) RaiseError(kErrorOverflow);
    return result;
}
