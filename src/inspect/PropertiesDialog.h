// The properties dialog: a modal box with the facts as selectable, read-only text.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

// With `change`, a "Change..." button runs it over the dialog and shows the text it returns.
using PropertiesChange = std::function<std::wstring(HWND dialog)>;
void ShowPropertiesDialog(HWND owner, const std::wstring& title, const std::wstring& text,
                          const PropertiesChange& change = nullptr);
