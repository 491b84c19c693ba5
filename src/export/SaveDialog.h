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
    const wchar_t* extensions[2]; // in the filter's order, with the dot
};

// Whether `path` ends in `extension` (".json"), ignoring case, with a name before it.
bool HasExtension(const std::wstring& path, const wchar_t* extension);

// The path the user chose, ending in the extension of the format chosen; nothing when the
// dialog was cancelled. A failure of the dialog itself raises.
std::optional<std::wstring> AskSavePath(HWND owner, const SaveFormats& formats);
std::optional<std::wstring> AskExportPath(HWND owner);
