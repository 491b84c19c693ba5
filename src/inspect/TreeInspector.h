// The tree's inspection commands: find, the selected node's facts in status panel 1, opening
// its properties, highlighting its window and copying its text. The form routes its keys,
// notifications and the Find dialog's messages here; every word for the user goes to panel 1.
#pragma once
#include "controls/StatusBarControl.h"
#include "controls/TreeViewControl.h"
#include "inspect/FindDialog.h"
#include "inspect/NodeFacts.h"
#include "inspect/TreeArrangement.h"
#include "inspect/WindowHighlight.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>

class TreeInspector {
public:
    TreeInspector(HWND owner, TreeViewControl& tree, StatusBarControl& status) noexcept;
    TreeInspector(const TreeInspector&) = delete;
    TreeInspector& operator=(const TreeInspector&) = delete;

    // The message loop's routing of the Find dialog's messages.
    bool RouteDialogMessage(MSG& message) noexcept { return m_find.RouteMessage(message); }
    // The tree's WM_NOTIFY; true when handled, with the answer in `result`.
    bool OnTreeNotify(NMHDR& header, LRESULT& result);
    // The owner's FindDialog::Message().
    void OnFindMessage(LPARAM lParam);

    void OpenFind();
    // Repeats the last search downwards or upwards; opens the dialog when there was none.
    void FindAgain(bool down);
    // Enter and the double-click: the properties of the selected node, through SetPropertiesView.
    void ShowProperties();
    void Highlight();
    void Copy();
    void CopyWithChildren();
    // Where a WM_CONTEXTMENU's menu goes: over the node under the mouse, which it selects, or
    // for the keyboard (position -1) beside the selected node. False when the menu is for no
    // node (empty tree space, nothing selected); `at` is set either way.
    bool PrepareContextMenu(LPARAM position, POINT& at);

    FindDialog& Find() noexcept { return m_find; }
    // The scan's record as the tree shows it; find and copy with children read it. Without one
    // (its facts still being read, or a tree filled by other means) they read the tree.
    void SetArrangement(std::shared_ptr<const TreeArrangement> arranged) noexcept { m_arranged = std::move(arranged); }

    // Selects the window's node, expanding its parents and scrolling it into view, and tells
    // its facts; false, saying nothing, when the tree has no node for it.
    bool SelectWindow(HWND window);
    // The window of the selected node; nullptr, said in panel 1, when a window is not selected.
    HWND SelectedWindow();
    void Say(const std::wstring& text);
    // Where the properties go: told every selection (open false) and asked to open on Enter
    // and the double-click (open true).
    using PropertiesView = std::function<void(const NodeSubject& subject, bool open)>;
    void SetPropertiesView(PropertiesView view) { m_properties = std::move(view); }

private:
    void RunFind(const FindQuery& query);
    // The selected node; says why there is none.
    HTREEITEM SelectedNode();
    void CopyText(const std::wstring& text, size_t lines);

    HWND m_owner;
    TreeViewControl& m_tree;
    StatusBarControl& m_status;
    FindDialog m_find;
    WindowHighlight m_highlight;
    // The selection as the tree last announced it. A clear announces every node it deletes,
    // and asking the tree for its selection at each costs more than deleting the node: on a
    // tree of 20,000 nodes the question alone made clearing it four times slower.
    HTREEITEM m_selected = nullptr;
    PropertiesView m_properties;
    std::shared_ptr<const TreeArrangement> m_arranged;
};
