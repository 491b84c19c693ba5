// The properties pane: one modeless window beside the form that shows every fact of a window
// or a process, in groups, and follows what the user looks at: the tree's selection (a click,
// Find, a link), the window point to find frames while pointing, and, when asked, the window
// under the mouse pointer with what lies there (PointerFacts.h). Its parent, owner, first child
// and sibling links select that window in the tree. Its keys work once the message loop hands
// them to TranslatePaneMessage.
#pragma once
#include "controls/LinkControl.h"
#include "controls/TextBoxControl.h"
#include "inspect/NodeFacts.h"
#include "platform/ActivationFocus.h"
#include "platform/UniqueHandles.h"
#include "platform/WindowPlaceStore.h"

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class PropertiesPane {
public:
    // What the pane asks of the form: selecting a window's node, and the change dialog for a window
    // over the pane.
    using Select = std::function<void(HWND window)>;
    using Change = std::function<void(HWND pane, HWND window)>;
    PropertiesPane(HWND owner, Select select, Change change) noexcept;
    // The pane's own keys, one "key\twhat it does" a line, for the form's list of keys.
    static constexpr const wchar_t* kKeys =
        L"Alt+P, Alt+O, Alt+C\tIn the properties pane: select the parent, owner, first child in the tree\r\n"
        L"Alt+V, Alt+N\tIn the properties pane: select the previous, next window in the tree\r\n"
        L"F5, Esc\tIn the properties pane: read again, close\r\n";
    ~PropertiesPane();
    PropertiesPane(const PropertiesPane&) = delete;
    PropertiesPane& operator=(const PropertiesPane&) = delete;

    // Enter, a double-click, the context menu: the pane on `subject`, opened or brought forward,
    // with the keyboard.
    void Open(const NodeSubject& subject);
    // The tree's selection changed: an open pane shows it.
    void ShowSelection(const NodeSubject& subject);
    // Point to find frames `window` while `pointing`; once it ends the pane shows the selection again.
    void ShowPointed(HWND window, bool pointing);

    // Following the mouse opens the pane where it was closed, leaving the keyboard where it is.
    // Returns what it did, in words.
    std::wstring SetFollowMouse(bool follow);
    bool FollowsMouse() const noexcept { return m_following; }
    // The follow timer's work, 20 times a second: when the pointer has moved, Ctrl is up and the
    // pointer is not over one of this program's windows, reads what lies under it and shows it;
    // the full facts of a window the pointer moved onto are read once it comes to rest (or Ctrl
    // freezes it). True when it read.
    bool FollowTick();
    // Readings since the pane was made, under the pointer and of the facts: the benchmark's count.
    size_t Reads() const noexcept { return m_reads; }

    // The script line (PointerFacts.h) of the window shown, or of the selected one while the
    // pane is closed, onto the clipboard; returns what happened in words.
    std::wstring CopyForScript();

    bool IsOpen() const noexcept { return static_cast<bool>(m_window); }
    HWND hWnd() const noexcept { return m_window.get(); }
    const NodeSubject& Subject() const noexcept { return m_subject; }
    // What the boxes show, as the user reads them.
    const std::wstring& FactsText() const noexcept;
    const std::wstring& PointerText() const noexcept { return m_pointerText; }
    const std::wstring& StatusText() const noexcept { return m_status; }
    // The link of a relation, for the tests to click.
    enum Relation { kParent, kOwner, kFirstChild, kPrevious, kNext, kRelations };
    HWND LinkWindow(Relation relation) const noexcept;
    // Where the swatch shows the colour under the pointer, in screen coordinates.
    RECT SwatchScreenRect() const noexcept;

    // What the message loop must ask before it dispatches a message: the pane's keys, and Tab,
    // the mnemonics and Esc among its controls. True when the message was used.
    bool TranslatePaneMessage(MSG& message) noexcept;

private:
    enum : UINT {
        kFollowId = 100, kCopyId, kChangeId, kRefreshId, kFactsId, kPointerLabelsId, kPointerValuesId,
        kPointerHeadingId, kStatusId,
        kLinkLabelId, // kRelations labels from here
        kLinkId = kLinkLabelId + kRelations, // kRelations links from here
    };
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Create(bool activate);
    void CreateControls();
    void Layout();
    int Scaled(int pixelsAt96) const noexcept;
    void ApplyFont();
    void PaintSwatch(HDC dc) const;

    void OnCommand(UINT id, UINT code);
    // Reads `subject` and shows it; `keepPlace` keeps the facts box scrolled where it was.
    void Show(const NodeSubject& subject, bool keepPlace);
    void ShowLinks();
    void FollowLink(Relation relation);
    void ShowFrozen(bool frozen);
    void ShowPointerText(const std::wstring& text);
    // The full facts of the window the pointer moved onto, if they wait.
    void ShowPending();
    void Say(const std::wstring& text);

    HWND m_owner;
    WindowPlaceStore m_place{L"Properties pane"};
    Select m_select;
    Change m_change;
    UniqueFont m_font; // released after the window whose controls show it
    UniqueWindow m_window;
    UniqueAccelerators m_keys;
    int m_dpi = 96;
    // The pointer's facts change with every move: two plain columns, labels and values, cost a
    // fraction of what a text box's line layout does.
    HWND m_followBox = nullptr, m_copy = nullptr, m_changeButton = nullptr, m_pointerHeading = nullptr,
         m_pointerLabels = nullptr, m_pointerValues = nullptr, m_statusLine = nullptr;
    std::array<HWND, kRelations> m_linkLabels = {};
    std::array<std::unique_ptr<LinkControl>, kRelations> m_links;
    std::array<HWND, kRelations> m_related = {};
    std::unique_ptr<TextBoxControl> m_facts;
    ActivationFocus m_focus; // the control that had the keyboard when the window was left

    NodeSubject m_selection; // the tree's, as last told
    NodeSubject m_subject;   // shown now
    bool m_pointing = false;
    bool m_following = false;
    bool m_frozen = false;
    std::optional<POINT> m_lastPointer; // where the pointer was at the last look
    HWND m_pending = nullptr; // under the pointer, its full facts not read yet
    std::optional<COLORREF> m_colour;
    std::wstring m_pointerText;
    size_t m_reads = 0;
    std::wstring m_status;
};
