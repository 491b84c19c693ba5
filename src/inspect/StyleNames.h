// Window style and extended style words as flag names: "WS_VISIBLE | WS_CAPTION | ...".
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Bits without a name (class-specific styles) follow as one hexadecimal remainder.
std::wstring StyleNames(DWORD style);
std::wstring ExtendedStyleNames(DWORD exStyle);

// The named flags for ticking one by one, in the order above: the box bits as WS_GROUP and
// WS_TABSTOP for a child window, as WS_MINIMIZEBOX and WS_MAXIMIZEBOX otherwise.
struct StyleFlag {
    DWORD mask;
    const wchar_t* name;
};
std::vector<StyleFlag> StyleFlags(bool child);
std::vector<StyleFlag> ExtendedStyleFlags();
