// Finding a node by its text: from the selected node down or up the tree, through collapsed
// nodes too, wrapping around once.
#pragma once
#include "controls/TreeViewControl.h"

#include <string>

struct FindQuery {
    std::wstring text;
    bool matchCase = false;
    bool down = true;
};

// Whether `text` occurs anywhere in `nodeText`.
bool NodeTextMatches(const std::wstring& nodeText, const FindQuery& query);

// The first matching node after the selection in the query's direction (from the tree's end
// when nothing is selected), the selected node itself last; nullptr when none matches.
HTREEITEM FindNode(const TreeViewControl& tree, const FindQuery& query);
