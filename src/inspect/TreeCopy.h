// Node texts onto the clipboard: one node, or a node with everything beneath it.
#pragma once
#include "controls/TreeViewControl.h"
#include "inspect/NodeFacts.h"
#include "inspect/TreeArrangement.h"

#include <windows.h>

#include <string>

// The node's text, then every node beneath it, two more spaces of indent per level, one per
// line (CR LF between lines).
std::wstring SubtreeText(const TreeViewControl& tree, HTREEITEM item);
// The same from the arrangement the tree shows, every line's control characters spelled out
// (OneLine), so that one line is one node; empty when the arrangement has no such node.
std::wstring SubtreeText(const TreeArrangement& arrangement, const NodeSubject& subject);

// Puts `text` on the clipboard as Unicode text; false when another program holds it.
[[nodiscard]] bool CopyTextToClipboard(HWND owner, const std::wstring& text);
