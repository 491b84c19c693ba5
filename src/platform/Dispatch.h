// Late binding for the hand-written dual classes: member names to dispatch ids, and typed
// access to the arguments of IDispatch::Invoke.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>

struct DispatchName {
    const wchar_t* name;
    DISPID id;
};

// Fills `ids` for `names`; unknown names get DISPID_UNKNOWN and the call DISP_E_UNKNOWNNAME.
HRESULT LookUpDispatchIds(const DispatchName* table, size_t tableSize, LPOLESTR* names, UINT count,
                          DISPID* ids) noexcept;

// Positional arguments of one Invoke call, counted from the first argument the caller wrote
// (DISPPARAMS stores them in reverse). A property put's value is its own accessor.
class DispatchArguments {
public:
    explicit DispatchArguments(const DISPPARAMS* params) noexcept : m_params(params) {}

    void RequireCount(UINT count) const;
    LONG Long(UINT index) const;
    VARIANT_BOOL Boolean(UINT index) const;
    std::wstring String(UINT index) const;
    // Raises DISP_E_PARAMNOTFOUND unless this is a property put with its one value.
    const VARIANT& PutValue() const;
    // The argument itself, for by-reference arguments.
    VARIANT& At(UINT index) const;

private:
    const DISPPARAMS* m_params;
};

// Converts a put value or argument variant.
LONG VariantToLong(const VARIANT& value);
VARIANT_BOOL VariantToBoolean(const VARIANT& value);
std::wstring VariantToString(const VARIANT& value);
