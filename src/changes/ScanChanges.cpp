// A scan's windows are taken from its objects and kept where the tree shows them, so the counts
// are of the windows the user sees.
#include "changes/ScanChanges.h"

#include "inventory/APi.h"
#include "platform/ComPtr.h"
#include "platform/RuntimeError.h"
#include "platform/UniqueHandles.h"

#include <oleauto.h>

#include <iterator>

namespace {
using WindowIdentity = std::tuple<LONG, LONG, std::wstring>;

// A window's identity and its descendants'. A repeated copy of a window holds copies of the
// same descendants, so a window already met is not walked again.
void Collect(IScreenWindowInfo* window, LONG processId, std::set<WindowIdentity>& identities)
{
    if (window == nullptr) return;
    LONG handle = 0;
    RaiseIfFailed(window->get_hWnd(&handle));
    UniqueBstr className;
    RaiseIfFailed(window->get_ClassName(className.put()));
    const bool met = !identities
                          .emplace(handle, processId,
                                   std::wstring(className.get() ? className.get() : L"", SysStringLen(className.get())))
                          .second;
    VARIANT_BOOL hasChildren = VARIANT_FALSE;
    RaiseIfFailed(window->get_HasChildWindow(&hasChildren));
    if (met || !hasChildren) return;
    LONG last = 0;
    RaiseIfFailed(window->get_GetChildCount(&last));
    for (LONG k = 0; k <= last; ++k) {
        ComPtr<IScreenWindowInfo> child;
        RaiseIfFailed(window->get_GetChildObject(k, child.put()));
        Collect(child.get(), processId, identities);
    }
}
} // namespace

void ScanChanges::Collect()
{
    m_collected.clear();
    for (const ProcessRecord& record : ProcessList) {
        if (!record.Windows) continue;
        for (const ComPtr<IScreenWindowInfo>& window : *record.Windows) {
            ::Collect(window.get(), record.ProcessId, m_collected);
        }
    }
}

void ScanChanges::Mark(TreeViewControl& tree, StatusBarControl& statusBar)
{
    std::set<WindowIdentity> current;
    for (auto found = m_collected.begin(); found != m_collected.end();) {
        auto next = std::next(found);
        if (tree.Contains(WindowNodeKey(std::get<0>(*found)))) current.insert(current.end(), m_collected.extract(found));
        found = next;
    }
    m_collected.clear();
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
