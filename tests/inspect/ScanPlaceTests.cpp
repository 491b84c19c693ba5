// What a new user meets around a scan: the boxes and Find on the screen, the keyboard with the tree,
// the open and selected nodes kept across a rescan, and the list of what came and went.
#include "InspectFixture.h"
#include "support/FormDriver.h"
#include "support/MessageBoxCloser.h"
#include "support/ScreenCapture.h"

#include <commctrl.h>
#include <dlgs.h>

namespace {
using namespace inspect_tests;

// The dialog as the screen shows it (read from the screen, not asked to print itself): mostly the
// dialog face, with dark text on it.
bool LooksPainted(HWND dialog)
{
    RECT rect = {};
    GetClientRect(dialog, &rect);
    MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    const COLORREF button = GetSysColor(COLOR_BTNFACE);
    const DWORD buttonFace = GetRValue(button) << 16 | GetGValue(button) << 8 | GetBValue(button);
    long face = 0, dark = 0;
    const std::vector<DWORD> pixels = CaptureScreen(rect);
    for (const DWORD pixel : pixels) {
        face += pixel == buttonFace;
        dark += (pixel >> 16) + (pixel >> 8 & 0xFF) + (pixel & 0xFF) < 200;
    }
    return 2 * face > static_cast<long>(pixels.size()) && dark > 0;
}

// What the count box sees of the form while it is up (the scan is on, and says so), and whether
// the box itself shows, looked at from a timer of its modal loop until it does (10 s at most).
std::wstring g_panelDuringScan;
HCURSOR g_cursorDuringScan = nullptr;
HWND g_statusBar = nullptr;
bool g_boxPainted = false;
DWORD g_boxShownAt = 0;
void CALLBACK LookAtTheBox(HWND, UINT, UINT_PTR timer, DWORD) noexcept
{
    const HWND box = FindWindowW(L"#32770", kApplicationTitle);
    if (box == nullptr || !IsWindowVisible(box)) return;
    g_boxPainted = LooksPainted(box);
    if (!g_boxPainted && GetTickCount() - g_boxShownAt < 10000) return;
    KillTimer(nullptr, timer);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}
int WINAPI BoxThatLooksAtTheForm(HWND owner, LPCWSTR text, LPCWSTR title, UINT type)
{
    wchar_t panel[64] = {};
    SendMessageW(g_statusBar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(panel));
    g_panelDuringScan = panel;
    g_cursorDuringScan = GetCursor();
    g_boxShownAt = GetTickCount();
    SetTimer(nullptr, 0, 50, LookAtTheBox);
    return MessageBoxW(owner, text, title, type);
}

// Escape as a person presses it in the dialog, through the form's message loop.
void PressEscapeIn(Form1& form, HWND control)
{
    PostMessageW(control, WM_KEYDOWN, VK_ESCAPE, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (form.TranslateFormMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

TEST_F(InspectTest, TheBoxAndFindShowAndTheKeyboardIsTheTreesAfterStartScansAndDialogs)
{
    const HWND tree = Tree().hWnd();
    SetActiveWindow(m_form->hWnd()); // from the test's own windows, shown after the form
    EXPECT_EQ(tree, GetFocus()) << "on activation";
    g_statusBar = m_form->sBar1().hWnd();
    const MessageBoxFunction previous = ReplaceMessageBoxFunction(BoxThatLooksAtTheForm);
    m_form->meu_File_Click();
    ReplaceMessageBoxFunction(previous);
    EXPECT_TRUE(g_boxPainted) << "the count box on the screen";
    EXPECT_EQ(L"Scanning\x2026", g_panelDuringScan);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_WAIT), g_cursorDuringScan);
    EXPECT_NE(LoadCursorW(nullptr, IDC_WAIT), GetCursor());
    // The first node is selected and told about, so that the arrow keys move from the start.
    const HTREEITEM first = Tree().FirstInOrder();
    ASSERT_EQ(first, Tree().Selection());
    const std::wstring process = Tree().Key(first).substr(3); // "PID64"
    EXPECT_EQ(L"Process " + process + L": ", Panel1().substr(0, 10 + process.size())) << Panel1();
    SendMessageW(tree, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(first))),
              Tree().Selection());
    Scan();
    PumpMessages();
    EXPECT_EQ(tree, GetFocus()) << "after the count box";

    Press('F', FCONTROL);
    const HWND find = m_form->Inspector().Find().hWnd();
    ASSERT_TRUE(IsWindowVisible(find));
    EXPECT_TRUE(PollUntil(10000, [&] {
        PumpMessages();
        return LooksPainted(find);
    })) << "the Find dialog on the screen";
    SetFocus(GetDlgItem(find, edt1));
    PressEscapeIn(*m_form, GetDlgItem(find, edt1));
    EXPECT_FALSE(IsWindow(find));
    EXPECT_EQ(tree, GetFocus()) << "after Esc on Find";

    Tree().Select(Node(m_top.get()));
    Press(VK_RETURN);
    ASSERT_TRUE(m_form->Pane().IsOpen());
    PressEscapeIn(*m_form, GetFocus());
    EXPECT_FALSE(m_form->Pane().IsOpen());
    EXPECT_EQ(tree, GetFocus()) << "after Esc on the properties pane";
}

TEST_F(InspectTest, ARescanKeepsTheSelectedAndOpenNodesAndListsWhatCameAndWent)
{
    UniqueWindow closed = CreateTopWindow(L"Qx7 closed");
    UniqueWindow closedChild = CreateChildWindow(closed.get(), L"Qx7 closed child");
    Scan();
    const std::wstring own = L"inspect_tests.exe [PID:" + std::to_wstring(GetCurrentProcessId()) + L"]";
    const std::wstring tail = L"\x3011  [Class:WindowInventoryTestWindow]  " + own + L"\r\n";
    const std::wstring goneLine = L"  hWnd: " + HandleText(m_gone.get()) + L"  \x3010Qx7 gone" + tail;
    // Open nodes off the selection's path too: selecting a node opens its own path anyway.
    Tree().Expand(OwnProcessNode());
    Tree().Expand(Node(m_top.get()));
    Tree().Expand(Node(m_child.get()));
    Tree().Select(Node(m_hidden.get()));
    m_gone.reset();
    UniqueWindow newcomer = CreateTopWindow(L"Qx7 newcomer");
    {
        MessageBoxCloser closer(kApplicationTitle);
        Press(VK_F5);
    }
    const HTREEITEM selected = Tree().Selection();
    EXPECT_EQ(KeyOf(m_hidden.get()), Tree().Key(selected));
    EXPECT_TRUE(Shown(Tree().hWnd(), selected));
    const auto expanded = [&](HTREEITEM item) {
        return (SendMessageW(Tree().hWnd(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    };
    EXPECT_TRUE(expanded(OwnProcessNode()));
    EXPECT_TRUE(expanded(Node(m_top.get())));
    EXPECT_TRUE(expanded(Node(m_child.get())));
    EXPECT_FALSE(expanded(Node(closed.get()))) << "opened by nobody";

    MessageBoxCloser closer(L"Changes since the previous scan");
    Press('D', FCONTROL);
    ASSERT_EQ(1u, closer.Texts().size());
    const std::wstring listing = closer.Texts()[0];
    const std::wstring newLine = L"  hWnd: " + HandleText(newcomer.get()) + L"  \x3010Qx7 newcomer" + tail;
    const size_t gone = listing.find(L"Gone windows: ");
    EXPECT_EQ(0u, listing.find(L"New windows: ")) << ::testing::PrintToString(listing);
    EXPECT_LT(listing.find(newLine), gone) << ::testing::PrintToString(listing);
    const size_t goneAt = listing.find(goneLine);
    EXPECT_TRUE(goneAt != std::wstring::npos && goneAt > gone) << ::testing::PrintToString(listing);
}
} // namespace
