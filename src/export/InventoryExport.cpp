// JSON through nlohmann-json, which escapes quotes, backslashes and control characters; the
// text format is the node texts, two spaces of indent per level, one node per line.
#include "export/InventoryExport.h"

#include "export/FileReplacement.h"
#include "platform/RuntimeError.h"

#include <nlohmann/json.hpp>

namespace {
using Json = nlohmann::ordered_json;

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0) RaiseLastError();
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length, nullptr, nullptr);
    return bytes;
}

std::string IsoTime(const FILETIME& time)
{
    SYSTEMTIME utc = {};
    if (!FileTimeToSystemTime(&time, &utc)) RaiseLastError();
    char text[32];
    wsprintfA(text, "%04u-%02u-%02uT%02u:%02u:%02uZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute,
              utc.wSecond);
    return text;
}

Json WindowJson(const InventoryWindow& window)
{
    char hex[16];
    wsprintfA(hex, "%08X", static_cast<unsigned>(window.handle));
    Json children = Json::array();
    for (const InventoryWindow& child : window.children) children.push_back(WindowJson(child));
    return Json{{"hwnd", hex},
                {"caption", Utf8(window.caption)},
                {"class", Utf8(window.className)},
                {"children", std::move(children)}};
}

std::string JsonDocument(const TreeInventory& inventory)
{
    Json processes = Json::array();
    for (const InventoryProcess& process : inventory.processes) {
        Json windows = Json::array();
        for (const InventoryWindow& window : process.windows) windows.push_back(WindowJson(window));
        processes.push_back(
            Json{{"pid", process.processId}, {"exe", Utf8(process.exeName)}, {"windows", std::move(windows)}});
    }
    const Json document{{"takenAt", IsoTime(inventory.stamp.takenAt)},
                        {"liveObjectCount", inventory.stamp.liveObjectCount},
                        {"processes", std::move(processes)}};
    // A lone surrogate in a caption becomes U+FFFD on the way to UTF-8, never an exception.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

void AppendLines(std::string& out, const std::vector<InventoryWindow>& windows, size_t depth)
{
    for (const InventoryWindow& window : windows) {
        out.append(2 * depth, ' ').append(Utf8(window.text)).append("\r\n");
        AppendLines(out, window.children, depth + 1);
    }
}

std::string TextDocument(const TreeInventory& inventory)
{
    std::string out;
    for (const InventoryProcess& process : inventory.processes) {
        out.append(Utf8(process.text)).append("\r\n");
        AppendLines(out, process.windows, 1);
    }
    return out;
}

bool HasExtension(const std::wstring& path, const wchar_t* extension)
{
    const size_t length = lstrlenW(extension);
    return path.size() > length &&
           CompareStringOrdinal(path.c_str() + path.size() - length, static_cast<int>(length), extension,
                                static_cast<int>(length), TRUE) == CSTR_EQUAL;
}
} // namespace

std::optional<ExportFormat> ExportFormatOf(const std::wstring& path)
{
    if (HasExtension(path, L".json")) return ExportFormat::Json;
    if (HasExtension(path, L".txt")) return ExportFormat::Text;
    return std::nullopt;
}

std::string FormatInventory(const TreeInventory& inventory, ExportFormat format)
{
    return format == ExportFormat::Json ? JsonDocument(inventory) : TextDocument(inventory);
}

void ExportTree(const TreeViewControl& tree, const ScanStamp& stamp, const std::wstring& path)
{
    const std::optional<ExportFormat> format = ExportFormatOf(path);
    if (!format) RaiseError(E_INVALIDARG);
    WriteFileReplacing(path, FormatInventory(ReadTreeInventory(tree, stamp), *format));
}

std::wstring DescribeExportFailure(HRESULT failure, const std::wstring& path)
{
    if (failure == E_INVALIDARG) return L"Cannot write " + path + L": the name must end in .json or .txt";
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
    return L"Cannot write " + path + L": " + reason;
}
