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
    std::map<std::wstring_view, std::wstring_view> processTexts;
    std::vector<std::tuple<WindowIdentity, std::wstring_view, std::wstring_view>> windows; // text, root key
    tree.ForEachNode([&](std::wstring_view key, std::wstring_view text, std::wstring_view rootKey) {
        if (key == rootKey) processTexts.emplace(key, text);
        LONG handle = 0;
        LONG processId = 0;
        if (!KeyNumber(key, L"HWND", handle) || !KeyNumber(rootKey, L"PID", processId)) return;
        const size_t classStart = text.rfind(kClassStart);
        if (classStart == std::wstring_view::npos || text.empty() || text.back() != L']') return;
        const size_t nameStart = classStart + kClassStart.size();
        windows.emplace_back(WindowIdentity{handle, processId, std::wstring(text.substr(nameStart, text.size() - 1 - nameStart))},
                             text, rootKey);
    });
    Scan current;
    for (const auto& [identity, text, rootKey] : windows) {
        current.emplace(identity, std::wstring(text) + L"  " + std::wstring(processTexts[rootKey]));
    }
    if (m_previous) {
        m_rescanned = true;
        m_added.clear();
        m_gone.clear();
        for (const auto& [identity, line] : current) {
            if (m_previous->count(identity) != 0) continue;
            m_added.push_back(line);
            tree.SetBold(WindowNodeKey(std::get<0>(identity)));
        }
        for (const auto& [identity, line] : *m_previous) {
            if (current.count(identity) == 0) m_gone.push_back(line);
        }
        statusBar.SetPanelText(1, std::to_wstring(m_added.size()) + L" new, " + std::to_wstring(m_gone.size()) +
                                      L" gone since the previous scan");
    }
    m_previous = std::move(current);
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
