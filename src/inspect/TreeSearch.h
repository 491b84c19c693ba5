// Finding a node by its text: from the selected node down or up the tree, through collapsed
// nodes too, wrapping around once.
#pragma once
#include "controls/TreeViewControl.h"
#include "inspect/NodeFacts.h"
#include "inspect/TreeArrangement.h"

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

// The same search over the arrangement the tree shows, which holds its nodes in display order:
// the key of the first match after the node of `from` (from the end when it is none or not in
// the arrangement), that node itself last; empty when none matches. A window also matches on its
// Unicode caption and class, a process on its Unicode executable name, which the tree may show
// only as their ANSI rendering.
std::wstring FindNodeKey(const TreeArrangement& arrangement, const FindQuery& query, const NodeSubject& from);
