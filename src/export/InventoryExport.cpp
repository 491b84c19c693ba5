// JSON through nlohmann-json, which escapes quotes, backslashes and control characters; the
// text format is the node texts, two spaces of indent per level, control characters spelled
// out so that one line is one node.
#include "export/InventoryExport.h"

#include "export/FileReplacement.h"
#include "export/SaveDialog.h"
#include "inventory/NodeText.h"
#include "platform/LineText.h"
#include "platform/RuntimeError.h"

#include <nlohmann/json.hpp>

namespace {
using Json = nlohmann::ordered_json;

std::string IsoTime(const FILETIME& time)
{
    SYSTEMTIME utc = {};
    if (!FileTimeToSystemTime(&time, &utc)) RaiseLastError();
    char text[32];
    wsprintfA(text, "%04u-%02u-%02uT%02u:%02u:%02uZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute,
              utc.wSecond);
    return text;
}

// The window at `index` with the run of deeper windows after it, its descendants; `index` ends
// on the first window after them.
Json WindowJson(const std::vector<RecordedWindow>& windows, size_t& index, size_t end)
{
    const RecordedWindow& window = windows[index++];
    Json children = Json::array();
    while (index < end && windows[index].depth > window.depth) children.push_back(WindowJson(windows, index, end));
    // An older reader finds hwnd, caption (INVALID when there is none, as the tree shows it),
    // class and children where it always did.
    Json json{{"hwnd", HandleHex(window.handle)},
              {"caption", Utf8(window.caption.empty() ? L"INVALID" : window.caption)},
              {"class", Utf8(window.className)}};
    // The tree renders names through the ANSI code page; its text is kept where that lost something.
    if (window.text != WindowNodeText(window.handle, window.caption, window.className)) json["text"] = Utf8(window.text);
    if (window.owner != 0) json["owner"] = HandleHex(window.owner);
    json["thread"] = window.threadId;
    json["visible"] = window.visible;
    json["rect"] = {window.rect.left, window.rect.top, window.rect.right, window.rect.bottom};
    json["children"] = std::move(children);
    return json;
}

std::string JsonDocument(const ScanRecord& record)
{
    Json processes = Json::array();
    for (const RecordedProcess& process : record.Processes()) {
        Json windows = Json::array();
        for (size_t index = process.firstWindow; index < process.endWindow;) {
            windows.push_back(WindowJson(record.Windows(), index, process.endWindow));
        }
        Json json{{"pid", process.processId}, {"exe", Utf8(process.exeName)}};
        if (!process.path.empty()) json["path"] = Utf8(process.path);
        if (process.text != ProcessNodeText(process.exeName, process.processId)) json["text"] = Utf8(process.text);
        // This program's own processes come and go with every run: /compare passes them over.
        if (process.self) json["self"] = true;
        json["windows"] = std::move(windows);
        processes.push_back(std::move(json));
    }
    const Json document{{"format", 2},
                        {"takenAt", IsoTime(record.TakenAt())},
                        {"liveObjectCount", record.LiveObjectCount()},
                        {"processes", std::move(processes)}};
    // Every string is already strict UTF-8; replace is the last guard, never an exception.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string TextDocument(const ScanRecord& record)
{
    std::string out;
    for (const RecordedProcess& process : record.Processes()) {
        AppendUtf8(out, OneLine(process.text));
        out += "\r\n";
        for (size_t i = process.firstWindow; i < process.endWindow; ++i) {
            const RecordedWindow& window = record.Windows()[i];
            out.append(2 * (window.depth + 1), ' ');
            AppendUtf8(out, OneLine(window.text));
            out += "\r\n";
        }
    }
    return out;
}

} // namespace

std::optional<ExportFormat> ExportFormatOf(const std::wstring& path)
{
    if (HasExtension(path, L".json")) return ExportFormat::Json;
    if (HasExtension(path, L".txt")) return ExportFormat::Text;
    return std::nullopt;
}

std::string FormatInventory(const ScanRecord& record, ExportFormat format)
{
    return format == ExportFormat::Json ? JsonDocument(record) : TextDocument(record);
}

void ExportRecord(const ScanRecord* record, const std::wstring& path)
{
    const std::optional<ExportFormat> format = ExportFormatOf(path);
    if (!format) RaiseError(E_INVALIDARG);
    if (record == nullptr) RaiseError(E_PENDING);
    WriteFileReplacing(path, FormatInventory(*record, *format));
}

std::string HandleHex(LONG handle)
{
    return Utf8(HandleDigits(handle));
}

std::wstring DescribeExportFailure(HRESULT failure, const std::wstring& path)
{
    if (failure == E_INVALIDARG) return L"Cannot write " + path + L": the name must end in .json or .txt";
    if (failure == E_PENDING) return L"Cannot write " + path + L": there is no scan yet";
    if (failure == kErrorTargetIsFolder) return L"Cannot write " + path + L": it is a folder, not a file";
    return L"Cannot write " + path + L": " + DescribeSystemError(failure);
}

std::wstring DescribeSystemError(HRESULT failure)
{
    std::wstring reason;
    if (HRESULT_FACILITY(failure) == FACILITY_WIN32) {
        wchar_t* text = nullptr;
        const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                                FORMAT_MESSAGE_IGNORE_INSERTS,
                                            nullptr, HRESULT_CODE(failure), 0, reinterpret_cast<wchar_t*>(&text), 0,
                                            nullptr);
        if (length != 0) reason.assign(text, length);
        LocalFree(text);
        while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' ')) {
            reason.pop_back();
        }
    }
    if (reason.empty()) reason = DescribeError(failure);
    return reason;
}
