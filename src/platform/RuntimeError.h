// Raised failures of this program: the classic run-time error numbers, carried as HRESULTs
// across every COM and callback boundary and as a C++ exception inside one operation.
#pragma once
#include <windows.h>
#include <cstdint>
#include <exception>
#include <string>

constexpr HRESULT kErrorOverflow = static_cast<HRESULT>(0x800A0006);            // 6
constexpr HRESULT kErrorOutOfMemory = static_cast<HRESULT>(0x800A0007);         // 7
constexpr HRESULT kErrorSubscriptOutOfRange = static_cast<HRESULT>(0x800A0009); // 9
constexpr HRESULT kErrorObjectNotSet = static_cast<HRESULT>(0x800A005B);        // 91
constexpr HRESULT kErrorInvalidPropertyValue = static_cast<HRESULT>(0x800A017C); // 380
constexpr HRESULT kErrorElementNotFound = static_cast<HRESULT>(0x800A8B11);     // 35601
constexpr HRESULT kErrorKeyNotUnique = static_cast<HRESULT>(0x800A8B12);        // 35602

class RuntimeError : public std::exception {
public:
    explicit RuntimeError(HRESULT code) noexcept : m_code(code) {}
    HRESULT Code() const noexcept { return m_code; }
    const char* what() const noexcept override { return "run-time error"; }

private:
    HRESULT m_code;
};

[[noreturn]] void RaiseError(HRESULT code);
// Raises the calling thread's last Win32 error; a failed call that left no error code still
// counts as a failure.
[[noreturn]] void RaiseLastError();

inline void RaiseIfFailed(HRESULT code)
{
    if (FAILED(code)) RaiseError(code);
}

// Call only inside a catch block: the HRESULT that the exception in flight stands for.
HRESULT ResultFromCaughtException() noexcept;

// Runs `body` and turns whatever it raises into an HRESULT: the barrier every COM method
// and platform callback of this program is built on.
template <class Body>
HRESULT ExceptionBarrier(Body&& body) noexcept
{
    try {
        body();
        return S_OK;
    } catch (...) {
        return ResultFromCaughtException();
    }
}

// "Run-time error '9': Subscript out of range", for reporting to the user.
std::wstring DescribeError(HRESULT code);

// Signed 32-bit arithmetic that raises an overflow instead of wrapping.
int32_t CheckedAdd(int32_t a, int32_t b);
int32_t CheckedSub(int32_t a, int32_t b);
int32_t CheckedMul(int32_t a, int32_t b);
