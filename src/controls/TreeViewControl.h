// The tree view and its Nodes collection: string keys unique within the tree, children
// appended after a remembered last child so that every insertion takes constant time.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>
#include <commctrl.h>

#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
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
    void Clear() noexcept;
    // Nodes.Add without a relative: appends a root. Raises kErrorKeyNotUnique, inserting
    // nothing, when `key` is taken.
    void AddRoot(std::wstring_view key, std::wstring_view text);
    // Nodes.Add with relationship "child": appends as the last child of the node keyed
    // `relative` (raises kErrorElementNotFound when there is none).
    void AddChild(std::wstring_view relative, std::wstring_view key, std::wstring_view text);
    size_t Count() const noexcept { return m_store->nodes.size(); }

    // What the tree shows: every node's text and whether it is bold, roots in order.
    struct NodeContent {
        std::wstring text;
        bool bold = false;
        std::vector<NodeContent> children;
    };
    std::vector<NodeContent> ReadNodes() const;
    // Shows the node keyed `key` in bold; raises kErrorElementNotFound when there is none.
    void SetBold(std::wstring_view key);

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
    HTREEITEM ItemOfKey(std::wstring_view key) const noexcept;
    // Selects the node, expanding its parents and scrolling it into view.
    void Select(HTREEITEM item) noexcept;
    // The keys of the expanded nodes, found by walking only into expanded nodes.
    std::vector<std::wstring> ExpandedKeys() const;
    void Expand(HTREEITEM item) noexcept;
    // The node under a point on the screen, or nullptr.
    HTREEITEM HitTest(POINT screen) const noexcept;
    // The node's label in screen coordinates.
    RECT LabelScreenRect(HTREEITEM item) const noexcept;

private:
    struct Node {
        HTREEITEM item;
        HTREEITEM lastChild;
    };
    using NodeMap = std::pmr::unordered_map<std::wstring_view, Node>;
    // Every node's key and map entry live in one arena that a clear gives back in one
    // piece: freeing 60,000 blocks one by one took a fifth of a 20,000-node clear.
    struct NodeStore {
        NodeStore() noexcept : nodes(&arena) {} // neither allocates yet
        // The map is left undestroyed: its entries own nothing, and destroying it walks every
        // entry only to hand it back to an arena that frees nothing (3 ms of such a clear).
        ~NodeStore() {}
        NodeStore(const NodeStore&) = delete;
        NodeStore& operator=(const NodeStore&) = delete;

        // A copy in the arena, null-terminated, as the tree and the key's readers want it.
        std::wstring_view Keep(std::wstring_view text);

        std::pmr::monotonic_buffer_resource arena{64 * 1024};
        union {
            NodeMap nodes;
        };
    };
    static_assert(std::is_trivially_destructible_v<NodeMap::value_type>, "the arena drops entries unseen");
    void ReadLevel(HTREEITEM first, std::vector<NodeContent>& nodes, std::wstring& buffer) const;
    void Insert(HTREEITEM parent, HTREEITEM& lastOfParent, std::wstring_view key, std::wstring_view text);

    UniqueWindow m_window;
    std::optional<NodeStore> m_store{std::in_place};
    HTREEITEM m_lastRoot = nullptr;
    int m_redrawHolds = 0;
};
