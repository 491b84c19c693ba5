// The properties dialog: a modal box with the facts as selectable, read-only text.
#pragma once
#include <windows.h>

#include <string>

void ShowPropertiesDialog(HWND owner, const std::wstring& title, const std::wstring& text);
