// Window style, extended style and class style words as flag names: "WS_VISIBLE | WS_CAPTION | ...".
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Bits without a name follow as one hexadecimal remainder. The low word is named after the
// window's class where that is one of the common controls (BS_*, ES_*, SS_* ...).
std::wstring StyleNames(DWORD style, const std::wstring& className = L"");
std::wstring ExtendedStyleNames(DWORD exStyle);
std::wstring ClassStyleNames(DWORD classStyle);

// The named flags for ticking one by one, in the order above: the box bits as WS_GROUP and
// WS_TABSTOP for a child window, as WS_MINIMIZEBOX and WS_MAXIMIZEBOX otherwise.
struct StyleFlag {
    DWORD mask;
    const wchar_t* name;
};
std::vector<StyleFlag> StyleFlags(bool child);
std::vector<StyleFlag> ExtendedStyleFlags();
