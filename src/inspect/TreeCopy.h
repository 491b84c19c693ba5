// Node texts onto the clipboard: one node, or a node with everything beneath it.
#pragma once
#include "controls/TreeViewControl.h"

#include <windows.h>

#include <string>

// The node's text, then every node beneath it, two more spaces of indent per level, one per
// line (CR LF between lines).
std::wstring SubtreeText(const TreeViewControl& tree, HTREEITEM item);

// Puts `text` on the clipboard as Unicode text; false when another program holds it.
[[nodiscard]] bool CopyTextToClipboard(HWND owner, const std::wstring& text);
