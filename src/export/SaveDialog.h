// The standard Save dialog, offering the two export formats.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

// The path the user chose, ending in the extension of the format chosen; nothing when the
// dialog was cancelled. A failure of the dialog itself raises.
std::optional<std::wstring> AskExportPath(HWND owner);
