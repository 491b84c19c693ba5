// Reads a tree view's nodes back, for comparing what a fill produced with what it should be.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct TreeNode {
    std::wstring text;
    std::vector<TreeNode> children;
};

// The whole tree of a tree-view window of this process, roots in order.
std::vector<TreeNode> ReadTree(HWND tree);

// The forest as lines, each node's text indented by two spaces per level, depth first.
std::vector<std::wstring> Outline(const std::vector<TreeNode>& nodes, const std::wstring& indent = L"");

// The first node (depth first) whose text starts with `prefix`, or nullptr.
const TreeNode* FindNode(const std::vector<TreeNode>& nodes, const std::wstring& prefix);
