// Both sides are indexed by identity once, so that comparing two scans of 20,000 windows is
// linear. Visibility is compared only where both files say it (older exports do not).
#include "export/InventoryComparison.h"

#include <nlohmann/json.hpp>

#include <map>
#include <tuple>
#include <unordered_map>

namespace {
using Json = nlohmann::ordered_json;

struct WindowKey {
    LONG handle;
    LONG processId;
    const std::string* className;
    bool operator==(const WindowKey& other) const
    {
        return handle == other.handle && processId == other.processId && *className == *other.className;
    }
};
struct WindowKeyHash {
    size_t operator()(const WindowKey& key) const noexcept
    {
        return std::hash<LONG>()(key.handle) * 31 + std::hash<LONG>()(key.processId);
    }
};

template <class Item, class Key, class Hash>
std::unordered_map<Key, const Item*, Hash> IndexOf(const std::vector<Item>& items, Key (*keyOf)(const Item&))
{
    std::unordered_map<Key, const Item*, Hash> index;
    index.reserve(items.size());
    for (const Item& item : items) index.emplace(keyOf(item), &item);
    return index;
}

WindowKey KeyOfWindow(const ComparedWindow& window)
{
    return {window.handle, window.processId, &window.className};
}

struct ProcessKeyHash {
    size_t operator()(const std::pair<LONG, std::string>& key) const noexcept
    {
        return std::hash<LONG>()(key.first) ^ std::hash<std::string>()(key.second);
    }
};
std::pair<LONG, std::string> KeyOfProcess(const ComparedProcess& process)
{
    return {process.processId, process.exeName};
}

std::string Hex(LONG handle)
{
    return HandleHex(handle);
}

std::string VisibleText(const std::optional<bool>& visible)
{
    return visible ? (*visible ? "visible" : "hidden") : "unknown";
}

std::string ProcessLine(const ComparedProcess& process)
{
    return process.exeName + " [PID:" + std::to_string(process.processId) + "]";
}

std::string WindowLine(const ComparedWindow& window)
{
    return "hWnd: " + Hex(window.handle) + "h  [Class:" + window.className + "] of PID " +
           std::to_string(window.processId) + ": " + Json(window.caption).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// What changed in one window, as "caption", "parent", "visible" with the two values.
std::vector<std::tuple<const char*, std::string, std::string>> ChangesOf(const ChangedWindow& change)
{
    std::vector<std::tuple<const char*, std::string, std::string>> changes;
    const ComparedWindow& a = change.before;
    const ComparedWindow& b = change.after;
    if (a.caption != b.caption) changes.emplace_back("caption", a.caption, b.caption);
    if (a.parent != b.parent) changes.emplace_back("parent", Hex(a.parent), Hex(b.parent));
    if (a.visible && b.visible && *a.visible != *b.visible) {
        changes.emplace_back("visible", VisibleText(a.visible), VisibleText(b.visible));
    }
    return changes;
}

Json WindowJson(const ComparedWindow& window)
{
    Json json{{"hwnd", Hex(window.handle)}, {"pid", window.processId}, {"class", window.className},
              {"caption", window.caption}, {"parent", Hex(window.parent)}};
    if (window.visible) json["visible"] = *window.visible;
    return json;
}

Json ProcessJson(const ComparedProcess& process)
{
    return Json{{"pid", process.processId}, {"exe", process.exeName}};
}

std::string JsonReport(const InventoryDifferences& differences)
{
    Json changed = Json::array();
    for (const ChangedWindow& change : differences.windowsChanged) {
        Json json = WindowJson(change.after);
        Json fields = Json::object();
        for (const auto& [field, before, after] : ChangesOf(change)) fields[field] = {{"before", before}, {"after", after}};
        json["changes"] = std::move(fields);
        changed.push_back(std::move(json));
    }
    const auto list = [](const auto& items, auto toJson) {
        Json array = Json::array();
        for (const auto& item : items) array.push_back(toJson(item));
        return array;
    };
    const Json report{{"equal", differences.Empty()},
                      {"processesAdded", list(differences.processesAdded, ProcessJson)},
                      {"processesGone", list(differences.processesGone, ProcessJson)},
                      {"windowsAdded", list(differences.windowsAdded, WindowJson)},
                      {"windowsGone", list(differences.windowsGone, WindowJson)},
                      {"windowsChanged", std::move(changed)}};
    return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string TextReport(const InventoryDifferences& differences)
{
    if (differences.Empty()) return "The inventories are equal.\r\n";
    std::string out;
    const auto section = [&](const char* title, const auto& items, const char* mark, auto line) {
        if (items.empty()) return;
        out += std::string(title) + " (" + std::to_string(items.size()) + "):\r\n";
        for (const auto& item : items) out += std::string("  ") + mark + " " + line(item) + "\r\n";
    };
    section("Processes added", differences.processesAdded, "+", ProcessLine);
    section("Processes gone", differences.processesGone, "-", ProcessLine);
    section("Windows added", differences.windowsAdded, "+", WindowLine);
    section("Windows gone", differences.windowsGone, "-", WindowLine);
    section("Windows changed", differences.windowsChanged, "~", [](const ChangedWindow& change) {
        std::string line = WindowLine(change.after);
        for (const auto& [field, before, after] : ChangesOf(change)) {
            line += std::string("; ") + field + " " + Json(before).dump(-1, ' ', false, Json::error_handler_t::replace) +
                    " -> " + Json(after).dump(-1, ' ', false, Json::error_handler_t::replace);
        }
        return line;
    });
    return out;
}
} // namespace

InventoryDifferences CompareInventories(const ComparedInventory& before, const ComparedInventory& after)
{
    InventoryDifferences differences;
    const auto oldProcesses = IndexOf<ComparedProcess, std::pair<LONG, std::string>, ProcessKeyHash>(before.processes, KeyOfProcess);
    const auto newProcesses = IndexOf<ComparedProcess, std::pair<LONG, std::string>, ProcessKeyHash>(after.processes, KeyOfProcess);
    for (const ComparedProcess& process : after.processes) {
        if (oldProcesses.count(KeyOfProcess(process)) == 0) differences.processesAdded.push_back(process);
    }
    for (const ComparedProcess& process : before.processes) {
        if (newProcesses.count(KeyOfProcess(process)) == 0) differences.processesGone.push_back(process);
    }
    const auto oldWindows = IndexOf<ComparedWindow, WindowKey, WindowKeyHash>(before.windows, KeyOfWindow);
    const auto newWindows = IndexOf<ComparedWindow, WindowKey, WindowKeyHash>(after.windows, KeyOfWindow);
    for (const ComparedWindow& window : after.windows) {
        const auto found = oldWindows.find(KeyOfWindow(window));
        if (found == oldWindows.end()) {
            differences.windowsAdded.push_back(window);
            continue;
        }
        ChangedWindow change{*found->second, window};
        if (!ChangesOf(change).empty()) differences.windowsChanged.push_back(std::move(change));
    }
    for (const ComparedWindow& window : before.windows) {
        if (newWindows.count(KeyOfWindow(window)) == 0) differences.windowsGone.push_back(window);
    }
    return differences;
}

std::string FormatDifferences(const InventoryDifferences& differences, ExportFormat format)
{
    return format == ExportFormat::Json ? JsonReport(differences) : TextReport(differences);
}
