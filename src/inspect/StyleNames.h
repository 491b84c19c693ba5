// Window style and extended style words as flag names: "WS_VISIBLE | WS_CAPTION | ...".
#pragma once
#include <windows.h>

#include <string>

// Bits without a name (class-specific styles) follow as one hexadecimal remainder.
std::wstring StyleNames(DWORD style);
std::wstring ExtendedStyleNames(DWORD exStyle);
