// Both scans are taken from the nodes the fill made, so they count the windows the user sees.
#include "changes/ScanChanges.h"

#include "inventory/APi.h"
#include "platform/RuntimeError.h"

#include <string_view>

namespace {
// "hWnd: XXXXXXXXh  【caption】  [Class:name]": the class is after the last separator, as a
// caption may hold anything.
constexpr std::wstring_view kClassStart = L"\x3011  [Class:";

// The decimal number after a key's prefix ("HWND", "PID"), as WindowNodeKey and ProcessNodeKey
// wrote it.
bool KeyNumber(std::wstring_view key, std::wstring_view prefix, LONG& number)
{
    if (key.substr(0, prefix.size()) != prefix) return false;
    key.remove_prefix(prefix.size());
    const bool negative = !key.empty() && key.front() == L'-';
    if (negative) key.remove_prefix(1);
    if (key.empty()) return false;
    unsigned long magnitude = 0;
    for (const wchar_t digit : key) {
        if (digit < L'0' || digit > L'9') return false;
        magnitude = magnitude * 10 + static_cast<unsigned long>(digit - L'0');
    }
    number = static_cast<LONG>(negative ? 0 - magnitude : magnitude);
    return true;
}
} // namespace

void ScanChanges::Mark(TreeViewControl& tree, StatusBarControl& statusBar)
{
    Scan current;
    tree.ForEachNode([&](std::wstring_view key, std::wstring_view text, std::wstring_view rootKey) {
        LONG processId = 0;
        if (!KeyNumber(rootKey, L"PID", processId)) return;
        if (key == rootKey) {
            current.processes.emplace(processId, text);
            return;
        }
        LONG handle = 0;
        if (!KeyNumber(key, L"HWND", handle)) return;
        const size_t classStart = text.rfind(kClassStart);
        if (classStart == std::wstring_view::npos || text.empty() || text.back() != L']') return;
        const size_t nameStart = classStart + kClassStart.size();
        current.windows.emplace(WindowIdentity{handle, processId, std::wstring(text.substr(nameStart, text.size() - 1 - nameStart))},
                                std::wstring(text));
    });
    if (m_previous) {
        m_rescanned = true;
        m_added.clear();
        m_gone.clear();
        for (const auto& [identity, text] : current.windows) {
            if (m_previous->windows.count(identity) != 0) continue;
            m_added.push_back(Line(current, identity, text));
            tree.SetBold(WindowNodeKey(std::get<0>(identity)));
        }
        for (const auto& [identity, text] : m_previous->windows) {
            if (current.windows.count(identity) == 0) m_gone.push_back(Line(*m_previous, identity, text));
        }
        statusBar.SetPanelText(1, std::to_wstring(m_added.size()) + L" new, " + std::to_wstring(m_gone.size()) +
                                      L" gone since the previous scan");
    }
    m_previous = std::move(current);
}

std::wstring ScanChanges::Line(const Scan& scan, const WindowIdentity& window, const std::wstring& text)
{
    const auto process = scan.processes.find(std::get<1>(window));
    return process != scan.processes.end() ? text + L"  " + process->second : text;
}

std::optional<std::wstring> ScanChanges::Listing() const
{
    if (!m_rescanned) return std::nullopt;
    std::wstring text;
    const auto section = [&](const wchar_t* title, const std::vector<std::wstring>& lines) {
        text += title + std::to_wstring(lines.size()) + L"\r\n";
        for (const std::wstring& line : lines) text += L"  " + line + L"\r\n";
    };
    section(L"New windows: ", m_added);
    section(L"Gone windows: ", m_gone);
    return text;
}
