// Both scans are read from the tree the fill made, so they count the windows the user sees.
#include "changes/ScanChanges.h"

#include "export/TreeInventory.h"
#include "inventory/APi.h"
#include "platform/RuntimeError.h"

namespace {
void Collect(const std::vector<InventoryWindow>& windows, LONG processId,
             std::set<std::tuple<LONG, LONG, std::wstring>>& identities)
{
    for (const InventoryWindow& window : windows) {
        identities.emplace(window.handle, processId, window.className);
        Collect(window.children, processId, identities);
    }
}
} // namespace

void ScanChanges::Mark(TreeViewControl& tree, StatusBarControl& statusBar)
{
    std::set<WindowIdentity> current;
    for (const InventoryProcess& process : ReadTreeInventory(tree, {}).processes) {
        Collect(process.windows, process.processId, current);
    }
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
