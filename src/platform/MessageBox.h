// The application-modal message box, replaceable so that the benchmark can time a scan
// without a person (or a closer) in the loop.
#pragma once
#include <windows.h>

#include <string>

// The application's title, which message boxes without a title of their own show.
inline const wchar_t* const kApplicationTitle = L"Window Inventory";

using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);

// Puts `function` in force and returns the one it replaces.
MessageBoxFunction ReplaceMessageBoxFunction(MessageBoxFunction function) noexcept;
