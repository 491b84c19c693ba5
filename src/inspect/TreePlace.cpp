// Painting stays off while the nodes open, so the tree repaints once with its place restored.
#include "inspect/TreePlace.h"

TreePlace::TreePlace(const TreeViewControl& tree) : m_expanded(tree.ExpandedKeys())
{
    if (const HTREEITEM selected = tree.Selection()) m_selected = tree.Key(selected);
}

void TreePlace::Restore(TreeViewControl& tree) const
{
    const TreeViewControl::RedrawSuspension quiet = tree.SuspendRedraw();
    for (const std::wstring& key : m_expanded) {
        if (const HTREEITEM item = tree.ItemOfKey(key)) tree.Expand(item);
    }
    // Always a selection, so that the arrow keys move from the first scan on.
    const HTREEITEM kept = m_selected.empty() ? nullptr : tree.ItemOfKey(m_selected);
    if (const HTREEITEM item = kept != nullptr ? kept : tree.FirstInOrder()) tree.Select(item);
}
