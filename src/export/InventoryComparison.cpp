// Both sides are indexed once (a file lists each handle once), so that comparing two scans of
// 20,000 windows is linear. Visibility is compared only where both files say it (older exports
// do not).
#include "export/InventoryComparison.h"

#include "inventory/NodeText.h"
#include "inventory/WindowIdentity.h"
#include "platform/LineText.h"

#include <nlohmann/json.hpp>

#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

namespace {
using Json = nlohmann::ordered_json;

template <class Item, class Key, class Hash = std::hash<Key>>
std::unordered_map<Key, const Item*, Hash> IndexOf(const std::vector<Item>& items, Key (*keyOf)(const Item&))
{
    std::unordered_map<Key, const Item*, Hash> index;
    index.reserve(items.size());
    for (const Item& item : items) index.emplace(keyOf(item), &item);
    return index;
}

LONG HandleOfWindow(const ComparedWindow& window)
{
    return window.handle;
}

// The same window in the other file, or nullptr.
const ComparedWindow* SameWindowIn(const std::unordered_map<LONG, const ComparedWindow*>& index,
                                   const ComparedWindow& window)
{
    const auto found = index.find(window.handle);
    return found != index.end() && IsSameWindow(*found->second, window) ? found->second : nullptr;
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

std::string VisibleText(const std::optional<bool>& visible)
{
    return visible ? (*visible ? "visible" : "hidden") : "unknown";
}

std::string ProcessLine(const ComparedProcess& process)
{
    return Utf8(OneLine(ProcessNodeText(FromUtf8(process.exeName), process.processId)));
}

// The window's node text, on one line, and its process.
std::string WindowLine(const ComparedWindow& window)
{
    return Utf8(OneLine(WindowNodeText(window.handle, FromUtf8(window.caption), FromUtf8(window.className)))) +
           " of PID " + std::to_string(window.processId);
}

// What changed in one window, as "caption", "parent", "visible" with the two values.
std::vector<std::tuple<const char*, std::string, std::string>> ChangesOf(const ChangedWindow& change)
{
    std::vector<std::tuple<const char*, std::string, std::string>> changes;
    const ComparedWindow& a = change.before;
    const ComparedWindow& b = change.after;
    if (a.caption != b.caption) changes.emplace_back("caption", a.caption, b.caption);
    if (a.parent != b.parent) changes.emplace_back("parent", HandleHex(a.parent), HandleHex(b.parent));
    if (a.visible && b.visible && *a.visible != *b.visible) {
        changes.emplace_back("visible", VisibleText(a.visible), VisibleText(b.visible));
    }
    return changes;
}

Json WindowJson(const ComparedWindow& window)
{
    Json json{{"hwnd", HandleHex(window.handle)}, {"pid", window.processId}, {"class", window.className},
              {"caption", window.caption}, {"parent", HandleHex(window.parent)}};
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
    // This program's own processes, marked so in either file, and their windows are passed over:
    // each run of the program is a process of its own.
    std::set<std::pair<LONG, std::string>> own;
    for (const ComparedInventory* inventory : {&before, &after}) {
        for (const ComparedProcess& process : inventory->processes) {
            if (process.self) own.insert(KeyOfProcess(process));
        }
    }
    const auto ownProcessIds = [&](const ComparedInventory& inventory) {
        std::set<LONG> ids;
        for (const ComparedProcess& process : inventory.processes) {
            if (own.count(KeyOfProcess(process)) != 0) ids.insert(process.processId);
        }
        return ids;
    };
    const std::set<LONG> ownBefore = ownProcessIds(before), ownAfter = ownProcessIds(after);
    for (const ComparedProcess& process : after.processes) {
        if (oldProcesses.count(KeyOfProcess(process)) == 0 && own.count(KeyOfProcess(process)) == 0) {
            differences.processesAdded.push_back(process);
        }
    }
    for (const ComparedProcess& process : before.processes) {
        if (newProcesses.count(KeyOfProcess(process)) == 0 && own.count(KeyOfProcess(process)) == 0) {
            differences.processesGone.push_back(process);
        }
    }
    const auto oldWindows = IndexOf<ComparedWindow, LONG>(before.windows, HandleOfWindow);
    const auto newWindows = IndexOf<ComparedWindow, LONG>(after.windows, HandleOfWindow);
    for (const ComparedWindow& window : after.windows) {
        if (ownAfter.count(window.processId) != 0) continue;
        const ComparedWindow* old = SameWindowIn(oldWindows, window);
        if (old == nullptr) {
            differences.windowsAdded.push_back(window);
            continue;
        }
        ChangedWindow change{*old, window};
        if (!ChangesOf(change).empty()) differences.windowsChanged.push_back(std::move(change));
    }
    for (const ComparedWindow& window : before.windows) {
        if (ownBefore.count(window.processId) == 0 && SameWindowIn(newWindows, window) == nullptr) {
            differences.windowsGone.push_back(window);
        }
    }
    return differences;
}

std::string FormatDifferences(const InventoryDifferences& differences, ExportFormat format)
{
    return format == ExportFormat::Json ? JsonReport(differences) : TextReport(differences);
}
