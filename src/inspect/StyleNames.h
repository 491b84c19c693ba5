// Window style, extended style and class style words as flag names: "WS_VISIBLE | WS_CAPTION | ...".
#pragma once
#include <windows.h>

#include <string>

// Bits without a name follow as one hexadecimal remainder. The low word is named after the
// window's class where that is one of the common controls (BS_*, ES_*, SS_* ...).
std::wstring StyleNames(DWORD style, const std::wstring& className = L"");
std::wstring ExtendedStyleNames(DWORD exStyle);
std::wstring ClassStyleNames(DWORD classStyle);
