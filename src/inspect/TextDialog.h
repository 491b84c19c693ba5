// A modal box of read-only text that can be selected and copied: the list of keys, the changes
// since the previous scan.
#pragma once
#include <windows.h>

#include <string>

void ShowTextDialog(HWND owner, const std::wstring& title, const std::wstring& text);
