// The user's place in the tree, kept across a rescan: the nodes that were open and the one that
// was selected, found again by key in the new tree.
#pragma once
#include "controls/TreeViewControl.h"

#include <string>
#include <vector>

class TreePlace {
public:
    // Reads the place from the tree as it is now, before it is cleared.
    explicit TreePlace(const TreeViewControl& tree);

    // Opens again the nodes that are still there and selects the node of the same key, scrolled
    // into view, else the first node; each step is a key look-up, so the cost follows what was
    // open, not the tree.
    void Restore(TreeViewControl& tree) const;

private:
    std::vector<std::wstring> m_expanded;
    std::wstring m_selected;
};
