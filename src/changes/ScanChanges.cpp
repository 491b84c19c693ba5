// Both scans are the scans' records, so they hold the windows the user sees, with the class as
// the window has it rather than as the tree could render it.
#include "changes/ScanChanges.h"

#include "inventory/NodeText.h"

void ScanChanges::Mark(const std::shared_ptr<const ScanRecord>& scan, TreeViewControl& tree,
                       StatusBarControl& statusBar)
{
    if (!scan) return;
    if (m_previous) {
        m_rescanned = true;
        m_added.clear();
        m_addedHandles.clear();
        m_gone.clear();
        for (const RecordedWindow& window : scan->Windows()) {
            if (m_previous->SameWindow(window)) continue;
            m_added.push_back(Line(*scan, window));
            m_addedHandles.push_back(window.handle);
        }
        MarkAgain(tree);
        for (const RecordedWindow& window : m_previous->Windows()) {
            if (!scan->SameWindow(window)) {
                m_gone.push_back(Line(*m_previous, window));
            }
        }
        statusBar.SetPanelText(1, std::to_wstring(m_added.size()) + L" new, " + std::to_wstring(m_gone.size()) +
                                      L" gone since the previous scan");
    }
    m_previous = scan;
}

void ScanChanges::MarkAgain(TreeViewControl& tree) const
{
    for (const LONG handle : m_addedHandles) {
        const std::wstring key = WindowNodeKey(handle);
        // The record is read apart from the tree: a window without a node is listed all the same.
        if (tree.ItemOfKey(key) != nullptr) tree.SetBold(key);
    }
}

std::wstring ScanChanges::Line(const ScanRecord& scan, const RecordedWindow& window)
{
    const ptrdiff_t process = scan.ProcessIndexOf(window.processId);
    return process >= 0 ? window.text + L"  " + scan.Processes()[static_cast<size_t>(process)].text : window.text;
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
