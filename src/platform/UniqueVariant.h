// A VARIANT this code owns: cleared once when it goes, or handed on whole (WIL's
// unique_variant, include/wil/resource.h).
#pragma once
#include <windows.h>
#include <oleauto.h>

class UniqueVariant {
public:
    UniqueVariant() noexcept { VariantInit(&m_value); }
    ~UniqueVariant() { VariantClear(&m_value); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;

    VARIANT* get() noexcept { return &m_value; }
    VARIANT* operator->() noexcept { return &m_value; }
    // Hands the value to the caller, who clears it.
    VARIANT release() noexcept
    {
        const VARIANT value = m_value;
        VariantInit(&m_value);
        return value;
    }

private:
    VARIANT m_value;
};
