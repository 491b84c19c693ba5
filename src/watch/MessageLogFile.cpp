// JSON through nlohmann-json, which escapes what must be escaped; CSV by hand, as RFC 4180 has
// it, with a byte order mark so that spreadsheet programs read it as UTF-8.
#include "watch/MessageLogFile.h"

#include "export/FileReplacement.h"
#include "export/SaveDialog.h"
#include "platform/LineText.h"
#include "platform/RuntimeError.h"

#include <nlohmann/json.hpp>

namespace {
using Json = nlohmann::ordered_json;
using Column = MessageLogColumns::Column;

// The file's fields: the columns, with the depth before the message (whose name is not indented).
constexpr const char* kFields[] = {"time",    "kind",       "window", "depth",  "message",
                                   "parameters", "wParam", "lParam", "result", "answer"};
constexpr int kFieldColumns[] = {Column::kTime,   Column::kKind,   Column::kWindow, -1,
                                 Column::kMessage, Column::kParameters, Column::kWParam,
                                 Column::kLParam, Column::kResult, Column::kAnswer};

std::string Field(const MessageLogColumns& columns, const MessageLog& log, size_t row, int column)
{
    return column < 0 ? std::to_string(log.Row(row).depth) : Utf8(columns.Text(row, column, true));
}

void AppendCsvField(std::string& out, const std::string& field)
{
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}
} // namespace

std::optional<LogFormat> LogFormatOf(const std::wstring& path)
{
    if (HasExtension(path, L".csv")) return LogFormat::Csv;
    if (HasExtension(path, L".json")) return LogFormat::Json;
    return std::nullopt;
}

std::string FormatLog(const MessageLogColumns& columns, const std::wstring& watched, LogFormat format)
{
    const MessageLog& log = columns.Log();
    if (format == LogFormat::Csv) {
        std::string out = "\xEF\xBB\xBF";
        for (size_t field = 0; field < std::size(kFields); ++field) out += std::string(field > 0 ? "," : "") + kFields[field];
        out += "\r\n";
        for (size_t row = 0; row < columns.Rows(); ++row) {
            for (size_t field = 0; field < std::size(kFields); ++field) {
                if (field > 0) out += ',';
                AppendCsvField(out, Field(columns, log, row, kFieldColumns[field]));
            }
            out += "\r\n";
        }
        return out;
    }
    Json messages = Json::array();
    for (size_t row = 0; row < columns.Rows(); ++row) {
        Json message = Json::object();
        for (size_t field = 0; field < std::size(kFields); ++field) {
            if (kFieldColumns[field] < 0) {
                message[kFields[field]] = log.Row(row).depth;
            } else {
                message[kFields[field]] = Field(columns, log, row, kFieldColumns[field]);
            }
        }
        messages.push_back(std::move(message));
    }
    const Json document{{"watched", Utf8(watched)}, {"messages", std::move(messages)}};
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

void SaveLog(const MessageLogColumns& columns, const std::wstring& watched, const std::wstring& path)
{
    const std::optional<LogFormat> format = LogFormatOf(path);
    if (!format) RaiseError(E_INVALIDARG);
    WriteFileReplacing(path, FormatLog(columns, watched, *format));
}

std::wstring LogText(const MessageLogColumns& columns, const std::vector<size_t>& rows)
{
    std::wstring text;
    for (int column = 0; column < Column::kCount; ++column) {
        text += std::wstring(column > 0 ? L"\t" : L"") + MessageLogColumns::Title(column);
    }
    text += L"\r\n";
    for (const size_t row : rows) {
        for (int column = 0; column < Column::kCount; ++column) {
            text += std::wstring(column > 0 ? L"\t" : L"") + OneLine(columns.Text(row, column));
        }
        text += L"\r\n";
    }
    return text;
}

std::optional<std::wstring> AskLogPath(HWND owner)
{
    static const SaveFormats kFormats = {L"CSV (*.csv)\0*.csv\0JSON (*.json)\0*.json\0", L"messages.csv",
                                         {L".csv", L".json"}};
    return AskSavePath(owner, kFormats);
}
