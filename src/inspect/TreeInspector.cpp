// Nothing here ends in an error box: a node whose window or process is gone, an empty tree or
// a missing selection is told in panel 1.
#include "inspect/TreeInspector.h"

#include "inspect/NodeFacts.h"
#include "inspect/TreeCopy.h"
#include "inspect/TreeSearch.h"
#include "inventory/NodeText.h"

#include <windowsx.h>

#include <algorithm>

namespace {
constexpr short kFactsPanel = 1;

NodeSubject SubjectOf(const TreeViewControl& tree, HTREEITEM item)
{
    return SubjectOfKey(tree.Key(item));
}

// NMTREEVIEWA and NMTREEVIEWW agree in every field read here.
const NMTREEVIEWW& TreeViewNotice(const NMHDR& header)
{
    return reinterpret_cast<const NMTREEVIEWW&>(header);
}
} // namespace

TreeInspector::TreeInspector(HWND owner, TreeViewControl& tree, StatusBarControl& status) noexcept
    : m_owner(owner), m_tree(tree), m_status(status), m_find(owner)
{
}

void TreeInspector::Say(const std::wstring& text)
{
    m_status.SetPanelText(kFactsPanel, text);
}

bool TreeInspector::OnTreeNotify(NMHDR& header, LRESULT& result)
{
    switch (header.code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW: {
        const HTREEITEM item = TreeViewNotice(header).itemNew.hItem;
        m_selected = item;
        const NodeSubject subject = item != nullptr ? SubjectOf(m_tree, item) : NodeSubject{};
        Say(item != nullptr ? SummaryFacts(subject) : std::wstring());
        if (m_properties) m_properties(subject, false);
        return false;
    }
    case TVN_DELETEITEMA:
    case TVN_DELETEITEMW:
        // A scan empties the tree: what panel 1 told of the selection no longer stands.
        if (m_selected == nullptr || TreeViewNotice(header).itemOld.hItem != m_selected) return false;
        m_selected = nullptr;
        Say(L"");
        return false;
    case NM_CUSTOMDRAW: {
        // Find and point to find select while the focus is elsewhere, where the system greys the
        // selection to near invisibility: it keeps the focused colours. Costs nothing when focused.
        auto& draw = reinterpret_cast<NMTVCUSTOMDRAW&>(header);
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
            result = GetFocus() == header.hwndFrom ? CDRF_DODEFAULT : CDRF_NOTIFYITEMDRAW;
        } else if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && (draw.nmcd.uItemState & CDIS_SELECTED) != 0) {
            draw.clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
            draw.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
            result = CDRF_DODEFAULT;
        }
        return true;
    }
    case NM_DBLCLK: {
        const DWORD position = GetMessagePos();
        const HTREEITEM item = m_tree.HitTest(POINT{GET_X_LPARAM(position), GET_Y_LPARAM(position)});
        if (item == nullptr) return false;
        m_tree.Select(item);
        ShowProperties();
        result = TRUE; // no expanding or collapsing as the pane opens
        return true;
    }
    default:
        return false;
    }
}

HTREEITEM TreeInspector::SelectedNode()
{
    const HTREEITEM item = m_tree.Selection();
    if (item == nullptr) Say(m_tree.Count() == 0 ? L"The tree is empty: scan first" : L"No node is selected");
    return item;
}

void TreeInspector::OpenFind()
{
    m_find.Open();
}

void TreeInspector::OnFindMessage(LPARAM lParam)
{
    if (const std::optional<FindQuery> query = m_find.OnMessage(lParam)) RunFind(*query);
}

void TreeInspector::FindAgain(bool down)
{
    if (!m_find.LastQuery()) {
        OpenFind();
        return;
    }
    FindQuery query = *m_find.LastQuery();
    query.down = down;
    RunFind(query);
}

void TreeInspector::RunFind(const FindQuery& query)
{
    if (m_tree.Count() == 0) {
        Say(L"The tree is empty: scan first");
        return;
    }
    const HTREEITEM selected = m_tree.Selection();
    const HTREEITEM found =
        m_arranged ? m_tree.ItemOfKey(FindNodeKey(*m_arranged, query,
                                                  selected != nullptr ? SubjectOf(m_tree, selected) : NodeSubject{}))
                   : FindNode(m_tree, query);
    if (found == nullptr) {
        Say(L"Not found: \"" + query.text + L"\"");
        return;
    }
    m_tree.Select(found);
    // Found the node it started on: no selection change tells the facts again.
    Say(SummaryFacts(SubjectOf(m_tree, found)));
}

void TreeInspector::ShowProperties()
{
    const HTREEITEM item = SelectedNode();
    if (item == nullptr) return;
    const NodeSubject subject = SubjectOf(m_tree, item);
    if (subject.kind != NodeSubject::Kind::None && m_properties) m_properties(subject, true);
}

void TreeInspector::Highlight()
{
    const HTREEITEM item = SelectedNode();
    if (item == nullptr) return;
    const NodeSubject subject = SubjectOf(m_tree, item);
    if (subject.kind != NodeSubject::Kind::Window) {
        Say(KindText(subject) + std::wstring(L" has no rectangle: select one of its windows to highlight"));
        return;
    }
    const std::wstring why = m_highlight.Start(WindowOf(subject));
    Say(why.empty() ? SummaryFacts(subject) : why);
}

void TreeInspector::Copy()
{
    if (const HTREEITEM item = SelectedNode()) CopyText(m_tree.Text(item), 1);
}

void TreeInspector::CopyWithChildren()
{
    const HTREEITEM item = SelectedNode();
    if (item == nullptr) return;
    std::wstring text = m_arranged ? SubtreeText(*m_arranged, SubjectOf(m_tree, item)) : std::wstring();
    if (text.empty()) text = SubtreeText(m_tree, item);
    CopyText(text, 1 + static_cast<size_t>(std::count(text.begin(), text.end(), L'\n')));
}

void TreeInspector::CopyText(const std::wstring& text, size_t lines)
{
    if (!CopyTextToClipboard(m_owner, text)) {
        Say(L"The clipboard is in use by another program: nothing was copied");
        return;
    }
    Say(lines == 1 ? L"Copied 1 line" : L"Copied " + std::to_wstring(lines) + L" lines");
}

bool TreeInspector::PrepareContextMenu(LPARAM position, POINT& at)
{
    if (position == -1) {
        const HTREEITEM item = m_tree.Selection();
        if (item == nullptr) {
            RECT tree = {};
            GetWindowRect(m_tree.hWnd(), &tree);
            at = POINT{tree.left + 8, tree.top + 8};
            return false;
        }
        const RECT label = m_tree.LabelScreenRect(item);
        at = POINT{label.left, label.bottom};
        return true;
    }
    at = POINT{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    const HTREEITEM item = m_tree.HitTest(at);
    if (item == nullptr) return false;
    m_tree.Select(item);
    return true;
}

bool TreeInspector::SelectWindow(HWND window)
{
    const HTREEITEM item = m_tree.ItemOfKey(WindowNodeKey(static_cast<LONG>(reinterpret_cast<INT_PTR>(window))));
    if (item == nullptr) return false;
    m_tree.Select(item);
    // Selecting the node already selected tells nothing by itself.
    Say(SummaryFacts(SubjectOf(m_tree, item)));
    return true;
}

HWND TreeInspector::SelectedWindow()
{
    const HTREEITEM item = SelectedNode();
    if (item == nullptr) return nullptr;
    const NodeSubject subject = SubjectOf(m_tree, item);
    if (subject.kind != NodeSubject::Kind::Window) {
        Say(KindText(subject) + std::wstring(L" has no messages: select one of its windows"));
        return nullptr;
    }
    if (!IsWindow(WindowOf(subject))) {
        Say(GoneText(subject));
        return nullptr;
    }
    return WindowOf(subject);
}
