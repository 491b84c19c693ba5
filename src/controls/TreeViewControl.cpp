// Tree view: creation, the keyed Nodes collection, item height and font.
#include "controls/TreeViewControl.h"

#include "platform/RuntimeError.h"

#include <cstring>

TreeViewControl::TreeViewControl(HWND parent, UINT id, const RECT& bounds)
    : m_window(CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                                   TVS_SHOWSELALWAYS,
                               bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr), nullptr))
{
    if (!m_window) RaiseLastError();
}

void TreeViewControl::Clear() noexcept
{
    {
        const RedrawSuspension quiet = SuspendRedraw();
        SendMessageW(hWnd(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    }
    m_store.emplace();
    m_lastRoot = nullptr;
}

void TreeViewControl::AddRoot(std::wstring_view key, std::wstring_view text)
{
    Insert(TVI_ROOT, m_lastRoot, key, text);
}

void TreeViewControl::AddChild(std::wstring_view relative, std::wstring_view key, std::wstring_view text)
{
    const auto parent = m_store->nodes.find(relative);
    if (parent == m_store->nodes.end()) RaiseError(kErrorElementNotFound);
    Insert(parent->second.item, parent->second.lastChild, key, text);
}

std::wstring_view TreeViewControl::NodeStore::Keep(std::wstring_view text)
{
    auto* const copy = static_cast<wchar_t*>(arena.allocate((text.size() + 1) * sizeof(wchar_t), alignof(wchar_t)));
    text.copy(copy, text.size());
    copy[text.size()] = L'\0';
    return {copy, text.size()};
}

void TreeViewControl::Insert(HTREEITEM parent, HTREEITEM& lastOfParent, std::wstring_view key,
                             std::wstring_view text)
{
    auto& nodes = m_store->nodes;
    if (nodes.count(key) != 0) RaiseError(kErrorKeyNotUnique);
    // Record the key first: a failure to record it must not leave an unkeyed node.
    const std::wstring_view keptText = m_store->Keep(text);
    const auto slot = nodes.emplace(m_store->Keep(key), Node{nullptr, nullptr}).first;
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    // After the remembered last child, not TVI_LAST, which walks the whole sibling list.
    insert.hInsertAfter = lastOfParent != nullptr ? lastOfParent : TVI_FIRST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(keptText.data());
    // The map's entries stay where they are until the tree is cleared: the node points at its key.
    insert.item.lParam = reinterpret_cast<LPARAM>(&slot->first);
    const auto item =
        reinterpret_cast<HTREEITEM>(SendMessageW(hWnd(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (item == nullptr) {
        nodes.erase(slot);
        RaiseError(kErrorOutOfMemory);
    }
    slot->second.item = item;
    lastOfParent = item;
}

std::vector<TreeViewControl::NodeContent> TreeViewControl::ReadNodes() const
{
    std::vector<NodeContent> roots;
    std::wstring buffer(1024, L'\0'); // a node text holds at most about 550 characters
    ReadLevel(TreeView_GetRoot(hWnd()), roots, buffer);
    return roots;
}

void TreeViewControl::ReadLevel(HTREEITEM first, std::vector<NodeContent>& nodes, std::wstring& buffer) const
{
    for (HTREEITEM item = first; item != nullptr; item = TreeView_GetNextSibling(hWnd(), item)) {
        TVITEMW query = {};
        query.mask = TVIF_TEXT | TVIF_STATE | TVIF_HANDLE;
        query.hItem = item;
        query.stateMask = TVIS_BOLD;
        buffer[0] = L'\0';
        query.pszText = &buffer[0];
        query.cchTextMax = static_cast<int>(buffer.size());
        if (!SendMessageW(hWnd(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query))) RaiseLastError();
        nodes.push_back(NodeContent{query.pszText, (query.state & TVIS_BOLD) != 0, {}});
        ReadLevel(TreeView_GetChild(hWnd(), item), nodes.back().children, buffer);
    }
}

void TreeViewControl::SetBold(std::wstring_view key)
{
    const auto node = m_store->nodes.find(key);
    if (node == m_store->nodes.end()) RaiseError(kErrorElementNotFound);
    TVITEMW change = {};
    change.mask = TVIF_STATE | TVIF_HANDLE;
    change.hItem = node->second.item;
    change.state = TVIS_BOLD;
    change.stateMask = TVIS_BOLD;
    if (!SendMessageW(hWnd(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change))) RaiseError(E_FAIL);
}

int TreeViewControl::ItemHeight() const
{
    return static_cast<int>(SendMessageW(hWnd(), TVM_GETITEMHEIGHT, 0, 0));
}

void TreeViewControl::SetItemHeight(int pixels)
{
    SendMessageW(hWnd(), TVM_SETITEMHEIGHT, static_cast<WPARAM>(pixels), 0);
}

void TreeViewControl::SetFont(HFONT font)
{
    SendMessageW(hWnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

TreeViewControl::RedrawSuspension::RedrawSuspension(TreeViewControl& tree) noexcept : m_tree(tree)
{
    if (m_tree.m_redrawHolds++ == 0) SendMessageW(m_tree.hWnd(), WM_SETREDRAW, FALSE, 0);
}

TreeViewControl::RedrawSuspension::~RedrawSuspension()
{
    if (--m_tree.m_redrawHolds == 0) {
        SendMessageW(m_tree.hWnd(), WM_SETREDRAW, TRUE, 0);
        RedrawWindow(m_tree.hWnd(), nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
    }
}

namespace {
HTREEITEM NextItem(HWND tree, UINT relation, HTREEITEM item) noexcept
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}
} // namespace

HTREEITEM TreeViewControl::Selection() const noexcept
{
    return NextItem(hWnd(), TVGN_CARET, nullptr);
}

HTREEITEM TreeViewControl::FirstInOrder() const noexcept
{
    return NextItem(hWnd(), TVGN_ROOT, nullptr);
}

HTREEITEM TreeViewControl::LastInOrder() const noexcept
{
    HTREEITEM last = m_lastRoot;
    for (HTREEITEM child = last ? FirstChild(last) : nullptr; child != nullptr; child = FirstChild(last)) {
        last = child;
        while (HTREEITEM next = NextSibling(last)) last = next;
    }
    return last;
}

HTREEITEM TreeViewControl::NextInOrder(HTREEITEM item) const noexcept
{
    if (HTREEITEM child = FirstChild(item)) return child;
    for (; item != nullptr; item = NextItem(hWnd(), TVGN_PARENT, item)) {
        if (HTREEITEM next = NextSibling(item)) return next;
    }
    return nullptr;
}

HTREEITEM TreeViewControl::PreviousInOrder(HTREEITEM item) const noexcept
{
    HTREEITEM previous = NextItem(hWnd(), TVGN_PREVIOUS, item);
    if (previous == nullptr) return NextItem(hWnd(), TVGN_PARENT, item);
    // The previous sibling's last descendant.
    for (HTREEITEM child = FirstChild(previous); child != nullptr; child = FirstChild(previous)) {
        previous = child;
        while (HTREEITEM next = NextSibling(previous)) previous = next;
    }
    return previous;
}

HTREEITEM TreeViewControl::FirstChild(HTREEITEM item) const noexcept
{
    return NextItem(hWnd(), TVGN_CHILD, item);
}

HTREEITEM TreeViewControl::NextSibling(HTREEITEM item) const noexcept
{
    return NextItem(hWnd(), TVGN_NEXT, item);
}

std::wstring TreeViewControl::Text(HTREEITEM item) const
{
    // A caption may be long: grow the buffer until the text fits with room to spare.
    for (size_t capacity = 512;; capacity *= 4) {
        std::wstring text(capacity, L'\0');
        TVITEMW query = {};
        query.mask = TVIF_TEXT | TVIF_HANDLE;
        query.hItem = item;
        query.pszText = text.data();
        query.cchTextMax = static_cast<int>(capacity);
        if (!SendMessageW(hWnd(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query))) return {};
        text.resize(wcsnlen(text.c_str(), capacity));
        if (text.size() + 1 < capacity || capacity >= 65536) return text;
    }
}

std::wstring TreeViewControl::Key(HTREEITEM item) const
{
    TVITEMW query = {};
    query.mask = TVIF_PARAM | TVIF_HANDLE;
    query.hItem = item;
    if (!SendMessageW(hWnd(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query)) || query.lParam == 0) return {};
    return std::wstring(*reinterpret_cast<const std::wstring_view*>(query.lParam));
}

HTREEITEM TreeViewControl::ItemOfKey(std::wstring_view key) const noexcept
{
    const auto found = m_store->nodes.find(key);
    return found != m_store->nodes.end() ? found->second.item : nullptr;
}

void TreeViewControl::Select(HTREEITEM item) noexcept
{
    SendMessageW(hWnd(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    SendMessageW(hWnd(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
}

std::vector<std::wstring> TreeViewControl::ExpandedKeys() const
{
    std::vector<std::wstring> keys;
    std::vector<HTREEITEM> pending;
    for (HTREEITEM item = FirstInOrder(); item != nullptr; item = NextSibling(item)) pending.push_back(item);
    while (!pending.empty()) {
        const HTREEITEM item = pending.back();
        pending.pop_back();
        const auto state = SendMessageW(hWnd(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED);
        if ((state & TVIS_EXPANDED) == 0) continue;
        keys.push_back(Key(item));
        for (HTREEITEM child = FirstChild(item); child != nullptr; child = NextSibling(child)) pending.push_back(child);
    }
    return keys;
}

void TreeViewControl::Expand(HTREEITEM item) noexcept
{
    SendMessageW(hWnd(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

HTREEITEM TreeViewControl::HitTest(POINT screen) const noexcept
{
    TVHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(hWnd(), &hit.pt);
    const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(hWnd(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return (hit.flags & TVHT_ONITEM) != 0 ? item : nullptr;
}

RECT TreeViewControl::LabelScreenRect(HTREEITEM item) const noexcept
{
    // The message takes the item in the rectangle's first bytes.
    RECT rect = {};
    std::memcpy(&rect, &item, sizeof item);
    SendMessageW(hWnd(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
    MapWindowPoints(hWnd(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
