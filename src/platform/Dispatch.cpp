// Late binding helpers shared by the dual classes.
#include "platform/Dispatch.h"

#include "platform/RuntimeError.h"
#include "platform/UniqueVariant.h"

#include <oleauto.h>

HRESULT LookUpDispatchIds(const DispatchName* table, size_t tableSize, LPOLESTR* names, UINT count,
                          DISPID* ids) noexcept
{
    if (names == nullptr || ids == nullptr) return E_POINTER;
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        // Only the member name (the first) is resolved; parameter names are not supported.
        if (i == 0) {
            for (size_t entry = 0; entry < tableSize; ++entry) {
                if (lstrcmpiW(names[0], table[entry].name) == 0) {
                    ids[0] = table[entry].id;
                    break;
                }
            }
        }
        if (ids[i] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
    }
    return result;
}

void DispatchArguments::RequireCount(UINT count) const
{
    if (m_params == nullptr || m_params->cArgs - m_params->cNamedArgs != count) RaiseError(DISP_E_BADPARAMCOUNT);
}

VARIANT& DispatchArguments::At(UINT index) const
{
    const UINT positional = m_params->cArgs - m_params->cNamedArgs;
    if (index >= positional) RaiseError(DISP_E_BADPARAMCOUNT);
    return m_params->rgvarg[m_params->cArgs - 1 - index];
}

LONG DispatchArguments::Long(UINT index) const
{
    return VariantToLong(At(index));
}

VARIANT_BOOL DispatchArguments::Boolean(UINT index) const
{
    return VariantToBoolean(At(index));
}

std::wstring DispatchArguments::String(UINT index) const
{
    return VariantToString(At(index));
}

const VARIANT& DispatchArguments::PutValue() const
{
    if (m_params == nullptr || m_params->cArgs != 1 || m_params->cNamedArgs != 1 ||
        m_params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        RaiseError(DISP_E_PARAMNOTFOUND);
    }
    return m_params->rgvarg[0];
}

namespace {
void ConvertVariant(const VARIANT& value, VARTYPE type, UniqueVariant& converted)
{
    const HRESULT hr = VariantChangeType(converted.get(), const_cast<VARIANT*>(&value), 0, type);
    if (FAILED(hr)) RaiseError(DISP_E_TYPEMISMATCH);
}
} // namespace

LONG VariantToLong(const VARIANT& value)
{
    UniqueVariant converted;
    ConvertVariant(value, VT_I4, converted);
    return converted->lVal;
}

VARIANT_BOOL VariantToBoolean(const VARIANT& value)
{
    UniqueVariant converted;
    ConvertVariant(value, VT_BOOL, converted);
    return converted->boolVal;
}

std::wstring VariantToString(const VARIANT& value)
{
    UniqueVariant converted;
    ConvertVariant(value, VT_BSTR, converted);
    const BSTR text = converted->bstrVal;
    return std::wstring(text ? text : L"", SysStringLen(text));
}
