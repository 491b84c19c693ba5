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

// The first node (depth first) whose text starts with `prefix`, or nullptr.
const TreeNode* FindNode(const std::vector<TreeNode>& nodes, const std::wstring& prefix);

// Number of nodes in the whole forest.
size_t CountNodes(const std::vector<TreeNode>& nodes);
