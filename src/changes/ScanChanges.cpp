// Both scans are taken from the nodes the fill made, so they count the windows the user sees.
#include "changes/ScanChanges.h"

#include "inventory/APi.h"
#include "platform/RuntimeError.h"

#include <cwchar>

namespace {
// "hWnd: XXXXXXXXh  【caption】  [Class:name]": the class is after the last separator, as a
// caption may hold anything.
const std::wstring kClassStart = L"\x3011  [Class:";

// The decimal number after a key's prefix ("HWND", "PID").
bool KeyNumber(const std::wstring& key, const wchar_t* prefix, LONG& number)
{
    const size_t length = wcslen(prefix);
    if (key.compare(0, length, prefix) != 0) return false;
    number = static_cast<LONG>(std::wcstol(key.c_str() + length, nullptr, 10));
    return true;
}
} // namespace

void ScanChanges::Mark(TreeViewControl& tree, StatusBarControl& statusBar)
{
    std::set<WindowIdentity> current;
    tree.ForEachNode([&](const std::wstring& key, const std::wstring& text, const std::wstring& rootKey) {
        LONG handle = 0;
        LONG processId = 0;
        if (!KeyNumber(key, L"HWND", handle) || !KeyNumber(rootKey, L"PID", processId)) return;
        const size_t classStart = text.rfind(kClassStart);
        if (classStart == std::wstring::npos || text.empty() || text.back() != L']') return;
        const size_t nameStart = classStart + kClassStart.size();
        current.emplace(handle, processId, text.substr(nameStart, text.size() - 1 - nameStart));
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
