// The message log kept in a file: the rows that pass the filter, every column with the decoded
// ones, as CSV or JSON; and the same rows as tab-separated text for the clipboard.
#pragma once
#include "watch/MessageLogColumns.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

enum class LogFormat { Csv, Json };

// ".csv" or ".json", in any case; nothing for any other path.
std::optional<LogFormat> LogFormatOf(const std::wstring& path);

// The file's bytes, UTF-8. CSV: a header line, then a row per message, CR LF, fields quoted
// where they hold a comma, a quote or a line break. JSON: {"watched": ..., "messages": [...]},
// one object per row. Both give the message's depth as a field of its own.
std::string FormatLog(const MessageLogColumns& columns, const std::wstring& watched, LogFormat format);
// Writes the log to `path` in the format of its extension, replacing an old file only once the
// new one is whole. Raises on failure (E_INVALIDARG for another extension).
void SaveLog(const MessageLogColumns& columns, const std::wstring& watched, const std::wstring& path);

// A header line and the given rows as the list shows them, tab-separated, one line each (CR LF),
// control characters inside a cell spelled out.
std::wstring LogText(const MessageLogColumns& columns, const std::vector<size_t>& rows);

// The standard Save dialog for a log: the path chosen, ending in the extension of the format
// chosen; nothing when cancelled. A failure of the dialog itself raises.
std::optional<std::wstring> AskLogPath(HWND owner);
