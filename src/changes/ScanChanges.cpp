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
    std::set<WindowIdentity> current;
    tree.ForEachNode([&](std::wstring_view key, std::wstring_view text, std::wstring_view rootKey) {
        LONG handle = 0;
        LONG processId = 0;
        if (!KeyNumber(key, L"HWND", handle) || !KeyNumber(rootKey, L"PID", processId)) return;
        const size_t classStart = text.rfind(kClassStart);
        if (classStart == std::wstring_view::npos || text.empty() || text.back() != L']') return;
        const size_t nameStart = classStart + kClassStart.size();
        current.emplace(handle, processId, std::wstring(text.substr(nameStart, text.size() - 1 - nameStart)));
    });
    if (m_previous) {
        size_t added = 0;
        for (const WindowIdentity& window : current) {
            if (m_previous->count(window) != 0) continue;
            ++added;
            tree.SetBold(WindowNodeKey(std::get<0>(window)));
        }
        const size_t gone = m_previous->size() - (current.size() - added);
        statusBar.SetPanelText(1, std::to_wstring(added) + L" new, " + std::to_wstring(gone) +
                                      L" gone since the previous scan");
    }
    m_previous = std::move(current);
}
