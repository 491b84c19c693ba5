// Tree reading through the tree view's own messages.
#include "support/TreeReader.h"

#include <commctrl.h>

namespace {
std::vector<TreeNode> ReadLevel(HWND tree, HTREEITEM first)
{
    std::vector<TreeNode> nodes;
    for (HTREEITEM item = first; item != nullptr;
         item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        wchar_t text[1024] = {};
        TVITEMW query = {};
        query.mask = TVIF_TEXT | TVIF_HANDLE;
        query.hItem = item;
        query.pszText = text;
        query.cchTextMax = static_cast<int>(std::size(text));
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
        const auto child =
            reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        nodes.push_back(TreeNode{text, ReadLevel(tree, child)});
    }
    return nodes;
}
} // namespace

std::vector<TreeNode> ReadTree(HWND tree)
{
    return ReadLevel(tree, reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)));
}

const TreeNode* FindNode(const std::vector<TreeNode>& nodes, const std::wstring& prefix)
{
    for (const TreeNode& node : nodes) {
        if (node.text.compare(0, prefix.size(), prefix) == 0) return &node;
        if (const TreeNode* found = FindNode(node.children, prefix)) return found;
    }
    return nullptr;
}

std::vector<std::wstring> Outline(const std::vector<TreeNode>& nodes, const std::wstring& indent)
{
    std::vector<std::wstring> lines;
    for (const TreeNode& node : nodes) {
        lines.push_back(indent + node.text);
        for (std::wstring& line : Outline(node.children, indent + L"  ")) lines.push_back(std::move(line));
    }
    return lines;
}
