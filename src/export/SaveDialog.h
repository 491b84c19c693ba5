// The standard Save dialog, offering two file formats: the inventory's exports, the message
// log's saved files.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

// The formats a Save dialog offers, the first chosen at first.
struct SaveFormats {
    const wchar_t* filter; // GetSaveFileNameW's: pairs of a description and a pattern
    const wchar_t* defaultName;
    const wchar_t* extensions[2]; // in the filter's order, without the dot
};

// The path the user chose, ending in the extension of the format chosen; nothing when the
// dialog was cancelled. A failure of the dialog itself raises.
std::optional<std::wstring> AskSavePath(HWND owner, const SaveFormats& formats);
std::optional<std::wstring> AskExportPath(HWND owner);
