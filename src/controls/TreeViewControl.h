// The tree view and its Nodes collection: string keys unique within the tree, children
// appended after a remembered last child so that every insertion takes constant time.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <unordered_map>
#include <vector>

class TreeViewControl {
public:
    // Creates the control as a child of `parent` at `bounds` (pixels, parent's client area).
    TreeViewControl(HWND parent, UINT id, const RECT& bounds);
    TreeViewControl(const TreeViewControl&) = delete;
    TreeViewControl& operator=(const TreeViewControl&) = delete;

    HWND hWnd() const noexcept { return m_window.get(); }

    // Nodes.Clear: removes every node and key.
    void Clear();
    // Nodes.Add without a relative: appends a root. Raises kErrorKeyNotUnique, inserting
    // nothing, when `key` is taken.
    void AddRoot(const std::wstring& key, std::wstring text);
    // Nodes.Add with relationship "child": appends as the last child of the node keyed
    // `relative` (raises kErrorElementNotFound when there is none).
    void AddChild(const std::wstring& relative, const std::wstring& key, std::wstring text);
    size_t Count() const noexcept { return m_nodes.size(); }

    // Every node's key, text and the key of the root above it (its own for a root), in no
    // particular order, from what the insertions recorded: asking the platform's tree about
    // each node by handle makes it search all of its nodes every time.
    template <class Visit>
    void ForEachNode(Visit&& visit) const
    {
        for (const auto& [key, node] : m_nodes) {
            if (node.item != nullptr) visit(key, node.text, *node.rootKey);
        }
    }

    // What the tree shows: every node's text and whether it is bold, roots in order.
    struct NodeContent {
        std::wstring text;
        bool bold = false;
        std::vector<NodeContent> children;
    };
    std::vector<NodeContent> ReadNodes() const;
    // Shows the node keyed `key` in bold; raises kErrorElementNotFound when there is none.
    void SetBold(const std::wstring& key);

    int ItemHeight() const;
    void SetItemHeight(int pixels);
    void SetFont(HFONT font);

    // While one exists the tree does not repaint; it repaints once when the last one goes.
    class RedrawSuspension {
    public:
        explicit RedrawSuspension(TreeViewControl& tree) noexcept;
        ~RedrawSuspension();
        RedrawSuspension(const RedrawSuspension&) = delete;
        RedrawSuspension& operator=(const RedrawSuspension&) = delete;

    private:
        TreeViewControl& m_tree;
    };
    [[nodiscard]] RedrawSuspension SuspendRedraw() noexcept { return RedrawSuspension(*this); }

    // Reading and steering single nodes. The order is the tree's display order with every
    // node expanded: a node, then its children, then its next sibling. nullptr: no such node.
    HTREEITEM Selection() const noexcept;
    HTREEITEM FirstInOrder() const noexcept;
    HTREEITEM LastInOrder() const noexcept;
    HTREEITEM NextInOrder(HTREEITEM item) const noexcept;
    HTREEITEM PreviousInOrder(HTREEITEM item) const noexcept;
    HTREEITEM FirstChild(HTREEITEM item) const noexcept;
    HTREEITEM NextSibling(HTREEITEM item) const noexcept;
    std::wstring Text(HTREEITEM item) const;
    // The key the node was added with.
    std::wstring Key(HTREEITEM item) const;
    // The node added with `key`, or nullptr.
    HTREEITEM ItemOfKey(const std::wstring& key) const noexcept;
    // Selects the node, expanding its parents and scrolling it into view.
    void Select(HTREEITEM item) noexcept;
    // The node under a point on the screen, or nullptr.
    HTREEITEM HitTest(POINT screen) const noexcept;
    // The node's label in screen coordinates.
    RECT LabelScreenRect(HTREEITEM item) const noexcept;

private:
    struct Node {
        HTREEITEM item;
        HTREEITEM lastChild;
        const std::wstring* rootKey; // keys stay where they are until their node goes
        std::wstring text;           // the inserted text, moved in: no copy is made
    };
    void ReadLevel(HTREEITEM first, std::vector<NodeContent>& nodes, std::wstring& buffer) const;
    void Insert(HTREEITEM parent, HTREEITEM& lastOfParent, const std::wstring* rootKey, const std::wstring& key,
                std::wstring& text);

    UniqueWindow m_window;
    std::unordered_map<std::wstring, Node> m_nodes;
    HTREEITEM m_lastRoot = nullptr;
    int m_redrawHolds = 0;
};
