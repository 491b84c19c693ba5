// The inspection commands on a scanned desktop that holds windows of this test: find, the facts
// in panel 1, properties, highlight (on a 32-bit and a 64-bit helper's window too), copy, the
// context menu and F5; the form's About and keys.
#include "InspectFixture.h"
#include "app/AboutBox.h"
#include "inspect/NodeFacts.h"
#include "inspect/OverlayFrame.h"
#include "support/FormDriver.h"
#include "support/ScreenCapture.h"
#include "support/SyntheticDesktopProcess.h"
#include "support/TreeReader.h"

#include <dlgs.h>

#include <algorithm>
#include <regex>
#include <vector>

namespace {
using namespace inspect_tests;

// The tree as text with siblings sorted: a scan lists windows in z-order, which activation changes.
std::wstring Outline(const std::vector<TreeViewControl::NodeContent>& nodes, size_t depth = 0)
{
    std::vector<std::wstring> parts;
    for (const TreeViewControl::NodeContent& node : nodes) parts.push_back(std::wstring(depth, L' ') + node.text + L"\n" + Outline(node.children, depth + 1));
    std::sort(parts.begin(), parts.end());
    std::wstring text;
    for (const std::wstring& part : parts) text += part;
    return text;
}

TEST_F(InspectTest, FindWalksTheWholeTreeBothWaysWrapsAndTellsWhatItMissed)
{
    const auto findNext = [&](const std::wstring& text, bool matchCase, bool down) {
        Press('F', FCONTROL);
        const HWND dialog = m_form->Inspector().Find().hWnd();
        ASSERT_TRUE(IsWindowVisible(dialog));
        SetDlgItemTextW(dialog, edt1, text.c_str());
        CheckDlgButton(dialog, chx2, matchCase ? BST_CHECKED : BST_UNCHECKED);
        CheckRadioButton(dialog, rad1, rad2, down ? rad2 : rad1);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    };
    findNext(L"qx7", false, true);
    EXPECT_EQ(L"The tree is empty: scan first", Panel1());
    Scan(); // with the dialog open: the next search runs on the new tree

    enum From { Process, Top, Child };
    const struct Case {
        WORD key; // 0: the dialog's Find Next; F3 repeats the previous row's search
        BYTE modifiers;
        From from;
        std::wstring text;
        bool matchCase, down;
        HWND expected; // nullptr: not found, the selection stays
    } cases[] = {
        {0, 0, Process, L"qx7 needle", false, true, m_top.get()},
        {0, 0, Top, L"qx7 needle", false, true, m_child.get()},  // inside a collapsed node
        {0, 0, Child, L"QX7 NEEDLE", false, true, m_top.get()},  // wraps around the end
        {0, 0, Child, L"qx7 needle", false, false, m_top.get()},
        {0, 0, Top, L"qx7 needle", false, false, m_child.get()}, // wraps around the start
        {0, 0, Process, L"qx7 needle", true, true, m_child.get()},
        {VK_F3, 0, Child, L"", false, false, m_child.get()},     // only itself matches
        {VK_F3, FSHIFT, Top, L"", false, false, m_child.get()},
        {0, 0, Top, HandleText(m_grand.get()), false, true, m_grand.get()},
        {0, 0, Top, L"qx7 nowhere", false, true, nullptr},
        {0, 0, Process, L"top \x263A", true, true, m_top.get()}, // the caption in Unicode, not as shown
    };
    const HTREEITEM from[] = {OwnProcessNode(), Node(m_top.get()), Node(m_child.get())};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + L" from " + std::to_wstring(c.from));
        Tree().Select(from[c.from]);
        if (c.key == 0) {
            findNext(c.text, c.matchCase, c.down);
        } else {
            Press(c.key, c.modifiers);
        }
        const HTREEITEM expected = c.expected ? Node(c.expected) : from[c.from];
        EXPECT_EQ(expected, Tree().Selection());
        EXPECT_TRUE(Shown(Tree().hWnd(), expected));
        EXPECT_EQ(c.expected ? SummaryFacts({NodeSubject::Kind::Window, HandleValue(c.expected)})
                             : L"Not found: \"" + c.text + L"\"",
                  Panel1());
    }
    EXPECT_TRUE(IsWindowVisible(m_form->Inspector().Find().hWnd()));

    // While the dialog has the focus the selection keeps the colours of a focused one.
    SetFocus(m_form->Inspector().Find().hWnd());
    RedrawWindow(Tree().hWnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT label = Tree().LabelScreenRect(Tree().Selection());
    MapWindowPoints(nullptr, Tree().hWnd(), reinterpret_cast<POINT*>(&label), 2);
    const HDC tree = GetDC(Tree().hWnd());
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), GetPixel(tree, label.left + 1, label.top + 1));
    ReleaseDC(Tree().hWnd(), tree);
}

TEST_F(InspectTest, Panel1TellsTheLiveFactsOfTheSelectedNode)
{
    Scan();
    const HTREEITEM goneNode = Node(m_gone.get());
    const std::wstring gone = L"Window " + HandleText(m_gone.get());
    m_gone.reset();
    const DWORD thread = GetCurrentThreadId();
    int ownWindows = 0;
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        ownWindows += process == GetCurrentProcessId();
    }
    const std::wstring top = L"Window " + HandleText(m_top.get());
    const std::wstring hidden = L"Window " + HandleText(m_hidden.get());
    const struct Case {
        HTREEITEM node;
        std::wstring expected;
    } cases[] = {
        {Node(m_top.get()), top + L": (40, 50)-(360, 250), 320 x 200, visible, thread " + std::to_wstring(thread)},
        {Node(m_hidden.get()), hidden + L": (10, 10)-(310, 210), 300 x 200, hidden, thread " + std::to_wstring(thread)},
        {goneNode, gone + L" no longer exists"},
        {OwnProcessNode(), L"Process " + std::to_wstring(GetCurrentProcessId()) + L": " +
                               std::to_wstring(ownWindows) + L" top-level windows"},
    };
    for (const Case& c : cases) {
        Tree().Select(c.node);
        EXPECT_EQ(c.expected, Panel1());
    }
}

TEST_F(InspectTest, PropertiesShowEveryFactWithDecodedFlagsAndTheUnicodeCaption)
{
    Scan();
    const std::wstring text = PropertiesText({NodeSubject::Kind::Window, HandleValue(m_top.get())});
    // In groups, each under its heading.
    const std::wstring lines[] = {
        L"General\r\nHandle:\t" + HandleText(m_top.get()) + L"\r\nCaption:\tQx7 Needle top \x263A\r\n",
        L"Owner:\tnone", L"Window:\t(40, 50)-(360, 250), 320 x 200", L"Visible:\tyes", L"Minimized:\tno",
        L"Text:\tUnicode window\r\n\r\nStyles\r\n"
        L"Style:\t0x94C80005\r\n\tWS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS |\r\n\tWS_CAPTION | WS_SYSMENU | 0x00000005\r\n",
        L"WS_EX_TOOLWINDOW\r\n\r\nClass\r\nClass:\tWindowInventoryTestWindow\r\n",
        L"\r\n\r\nProcess\r\nProcess:\t" + std::to_wstring(GetCurrentProcessId()),
        L"Thread:\t" + std::to_wstring(GetCurrentThreadId()) + L"\r\n"};
    for (const std::wstring& line : lines) {
        EXPECT_NE(std::wstring::npos, text.find(line)) << line << L" in\n" << text;
    }
    EXPECT_EQ(0u, text.find(L"General\r\n"));
    EXPECT_NE(std::wstring::npos,
              PropertiesText({NodeSubject::Kind::Window, HandleValue(m_grand.get())})
                  .find(L"WS_CHILD | WS_VISIBLE\r\n"));
    EXPECT_NE(std::wstring::npos, PropertiesText({NodeSubject::Kind::Process, static_cast<LONG>(GetCurrentProcessId())})
                                      .find(L"inspect_tests.exe\r\nBitness:\t32-bit\r\nParent process:\t"));

    // Enter opens the pane on the selected node, with the same text, and gives it the keyboard.
    Tree().Select(Node(m_top.get()));
    Press(VK_RETURN);
    ASSERT_TRUE(m_form->Pane().IsOpen());
    EXPECT_EQ(text, m_form->Pane().FactsText());
    EXPECT_EQ(m_form->Pane().hWnd(), GetActiveWindow());
}

LRESULT CALLBACK PlainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring Hex(const void* value)
{
    wchar_t text[16];
    wsprintfW(text, L"0x%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(value)));
    return text;
}

TEST_F(InspectTest, PropertiesNameControlStylesTheClassAndTheBitness)
{
    WNDCLASSW extra = {CS_GLOBALCLASS | CS_DBLCLKS | CS_VREDRAW, PlainProcedure, 8, 16, GetModuleHandleW(nullptr),
                       nullptr, nullptr, nullptr, nullptr, L"WindowInventoryExtraBytes"};
    const ATOM atom = RegisterClassW(&extra);
    wchar_t atomText[16];
    wsprintfW(atomText, L"0x%04X", atom);
    const auto child = [&](const wchar_t* className, DWORD style, int id) {
        return UniqueWindow(CreateWindowExW(0, className, L"x", WS_CHILD | WS_VISIBLE | style, 0, 0, 60, 20,
                                            m_top.get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                            GetModuleHandleW(nullptr), nullptr));
    };
    const UniqueWindow windows[] = {
        child(L"Button", BS_PUSHBUTTON, 1001),
        child(L"Button", BS_GROUPBOX, 1002),
        child(L"Button", BS_AUTORADIOBUTTON | BS_LEFTTEXT | BS_CENTER | BS_MULTILINE, 1003),
        child(L"Static", SS_WHITEFRAME | SS_NOTIFY, 1004), // the kind is a number: 9 is not 1 | 8
        child(L"Static", SS_ETCHEDHORZ | SS_PATHELLIPSIS, 1005),
        child(extra.lpszClassName, 0, 7),
    };
    const std::wstring own = L"Bitness:\t32-bit\r\n";
    const struct Case {
        HWND window;
        std::vector<std::wstring> lines;
    } cases[] = {
        {windows[0].get(), {L"Control ID:\t1001 (0x000003E9)\r\n", L"\tWS_CHILD | WS_VISIBLE | BS_PUSHBUTTON\r\n", own}},
        {windows[1].get(), {L"\tWS_CHILD | WS_VISIBLE | BS_GROUPBOX\r\n"}},
        {windows[2].get(), {L"\tWS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON |\r\n\tBS_CENTER | BS_LEFTTEXT | BS_MULTILINE\r\n"}},
        {windows[3].get(), {L"\tWS_CHILD | WS_VISIBLE | SS_WHITEFRAME |\r\n\tSS_NOTIFY\r\n"}},
        {windows[4].get(), {L"\tWS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ |\r\n\tSS_PATHELLIPSIS\r\n"}},
        {windows[5].get(),
         {L"Class style:\t0x00004009\r\n\tCS_GLOBALCLASS | CS_DBLCLKS | CS_VREDRAW\r\n",
          L"Class atom:\t" + std::wstring(atomText) + L"\r\nClass extra:\t8 bytes\r\nWindow extra:\t16 bytes\r\n",
          L"Control ID:\t7 (0x00000007)\r\nWindow proc:\t" + Hex(reinterpret_cast<const void*>(PlainProcedure)) +
              L"\r\nInstance:\t" + Hex(GetModuleHandleW(nullptr)) + L"\r\n",
          own}},
    };
    for (const Case& c : cases) {
        const std::wstring text = PropertiesText({NodeSubject::Kind::Window, HandleValue(c.window)});
        for (const std::wstring& line : c.lines) EXPECT_NE(std::wstring::npos, text.find(line)) << line << L" in\n" << text;
    }
}

TEST_F(InspectTest, SystemMenuTellsTheVersionF1TheKeysAndLogsCascade)
{
    wchar_t entry[64] = {};
    GetMenuStringW(GetSystemMenu(m_form->hWnd(), FALSE), kAboutCommand, entry, 64, MF_BYCOMMAND);
    EXPECT_STREQ(L"&About WindowInventory...", entry);
    const auto shown = [&](const wchar_t* title, const auto& open) {
        MessageBoxCloser closer(title);
        open();
        return closer.Texts().empty() ? std::wstring() : closer.Texts()[0];
    };
    const std::wstring about =
        shown(L"About WindowInventory", [&] { SendMessageW(m_form->hWnd(), WM_SYSCOMMAND, kAboutCommand, 0); });
    EXPECT_TRUE(std::regex_match(about, std::wregex(L"WindowInventory\r\nVersion \\d+\\.\\d+\\.\\d+\\.\\d+"))) << about;
    const std::wstring keys = shown(L"Keys", [&] { Press(VK_F1); });
    EXPECT_EQ(0u, keys.find(L"Alt+C\tClickHere: scan\r\nEnter\tProperties\r\n")) << keys;
    for (const wchar_t* line : {L"\nCtrl+Shift+C\tCopy with children\r\n", L"\nShift+F3\tFind previous\r\n",
                                L"\nMenu key\tContext menu\r\n", L"\nF1\tThis list of keys\r\n"}) {
        EXPECT_NE(std::wstring::npos, keys.find(line)) << line << L" in\n" << keys;
    }

    Scan();
    Tree().Select(Node(m_top.get()));
    Press('M', FCONTROL);
    Press('M', FCONTROL);
    ASSERT_EQ(2u, m_form->OpenLogs().size());
    RECT first = {}, second = {};
    GetWindowRect(m_form->OpenLogs()[0]->hWnd(), &first);
    GetWindowRect(m_form->OpenLogs()[1]->hWnd(), &second);
    const int step = GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(step, std::abs(second.left - first.left)) << "the second log cascades from the first";
    EXPECT_EQ(step, std::abs(second.top - first.top));
    // A log's keys reach it through the form's loop: Esc closes it.
    EXPECT_TRUE(PressKey(m_form->OpenLogs()[1]->hWnd(), VK_ESCAPE));
    PumpMessages();
    EXPECT_EQ(1u, m_form->OpenLogs().size());
}

TEST_F(InspectTest, CopyAndTheContextMenuPutNodeTextsOnTheClipboard)
{
    SetWindowTextW(m_grand.get(), L"two\r\nlines\t\x01");
    Scan();
    const std::wstring top = Tree().Text(Node(m_top.get()));
    const std::wstring child = Tree().Text(Node(m_child.get()));
    const std::wstring grand = Tree().Text(Node(m_grand.get()));
    Tree().Select(Node(m_top.get()));
    Press('C', FCONTROL);
    EXPECT_EQ(top, Clipboard());
    EXPECT_EQ(L"Copied 1 line", Panel1());
    Press('C', FCONTROL | FSHIFT);
    EXPECT_EQ(top + L"\r\n  " + child + L"\r\n    hWnd: " + HandleText(m_grand.get()) +
                  L"  \x3010two\\r\\nlines\\t\\x01\x3011  [Class:" + TestWindowClass() + L"]",
              Clipboard());

    // The menu's third item is Copy: right-click selects the node under the mouse, the keys
    // open it for the selection.
    for (const WORD key : {WORD(0), WORD(VK_F10), WORD(VK_APPS)}) {
        Tree().Select(Node(m_child.get())); // shown, for the mouse
        Tree().Select(Node(m_top.get()));
        for (int i = 0; i < 3; ++i) PostMessageW(m_form->hWnd(), WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(m_form->hWnd(), WM_CHAR, L'\r', 0);
        if (key == 0) {
            const RECT label = Tree().LabelScreenRect(Node(m_child.get()));
            SendMessageW(m_form->hWnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Tree().hWnd()),
                         MAKELPARAM(label.left + 5, (label.top + label.bottom) / 2));
        } else {
            Press(key, key == VK_F10 ? FSHIFT : 0);
        }
        EXPECT_EQ(key == 0 ? child : top, Clipboard()) << key;
    }
}

TEST_F(InspectTest, F5ScansExactlyAsTheMenuCommandDoes)
{
    MessageBoxCloser closer(kApplicationTitle);
    // Explorer's taskbar follows the windows of the cases before for a while after they are gone:
    // the pair is taken again until the desktop held still between its two scans.
    std::wstring byMenu, byKey;
    EXPECT_TRUE(PollUntil(20000, [&] {
        SendMessageW(m_form->hWnd(), WM_COMMAND, Form1::kMeuFileId, 0);
        byMenu = Outline(Tree().ReadNodes());
        Tree().Select(OwnProcessNode());
        Press(VK_F5);
        byKey = Outline(Tree().ReadNodes());
        return byMenu == byKey;
    })) << byMenu << L"\nby F5:\n" << byKey;
    EXPECT_NE(std::wstring::npos, Panel1().find(L" gone since the previous scan"))
        << "the rescan's summary, over the facts of the selection it restored";
    const std::vector<std::wstring> boxes = closer.Texts();
    ASSERT_EQ(0u, boxes.size() % 2);
    EXPECT_EQ(boxes[boxes.size() - 2], boxes.back());
    EXPECT_GT(std::count(byKey.begin(), byKey.end(), L'\n'), 5);
}

TEST_F(InspectTest, HighlightFlashesAFrameACaptureSeesAndLeavesScreenOrderAndFocus)
{
    SetWindowPos(m_form->hWnd(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const auto zOrder = [] {
        std::vector<HWND> windows;
        for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) windows.push_back(window);
        return windows;
    };
    for (const auto bits : SyntheticDesktopProcess::RunnableBits()) {
        SCOPED_TRACE(SyntheticDesktopProcess::ExeName(bits));
        SyntheticDesktopProcess helper(L"target", bits);
        ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
        const HWND target = helper.TopWindows().at(0);
        Scan();
        Tree().Select(Node(target));
        SetFocus(Tree().hWnd());
        RECT rect = {};
        GetWindowRect(target, &rect); // what DWM's frame bounds are on Wine
        const int width = rect.right - rect.left, height = rect.bottom - rect.top;
        const std::vector<DWORD> before = CaptureScreen(rect);
        const std::vector<HWND> order = zOrder();
        const HWND focus = GetFocus(), active = GetActiveWindow(), foreground = GetForegroundWindow();
        Press('H', FCONTROL);
        // Up: four red pixels deep along the edges, and inside nothing covered.
        EXPECT_TRUE(PollUntil(10000, [&] {
            PumpMessages();
            const std::vector<DWORD> during = CaptureScreen(rect);
            for (int y = 0, i = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x, ++i) {
                    const bool frame = x < 4 || y < 4 || x >= width - 4 || y >= height - 4;
                    if (during[i] != (frame ? 0xFF0000 : before[i])) return false;
                }
            }
            return true;
        }));
        EXPECT_TRUE(PollUntil(10000, [&] {
            PumpMessages();
            return FindWindowW(OverlayFrame::kWindowClass, nullptr) == nullptr && CaptureScreen(rect) == before;
        })) << "the frame is gone and the screen as it was";
        EXPECT_EQ(order, zOrder());
        EXPECT_EQ(focus, GetFocus());
        EXPECT_EQ(active, GetActiveWindow());
        EXPECT_EQ(foreground, GetForegroundWindow());
    }

    ShowWindow(m_child.get(), SW_MINIMIZE);
    const std::wstring gone = HandleText(m_gone.get());
    const HTREEITEM goneNode = Node(m_gone.get());
    m_gone.reset();
    const std::pair<HTREEITEM, std::wstring> cases[] = {
        {Node(m_hidden.get()), L"Window " + HandleText(m_hidden.get()) + L" is hidden: nothing to highlight"},
        {Node(m_child.get()), L"Window " + HandleText(m_child.get()) + L" is minimized: nothing to highlight"},
        {goneNode, L"Window " + gone + L" no longer exists: nothing to highlight"},
        {OwnProcessNode(), L"A process has no rectangle: select one of its windows to highlight"},
    };
    for (const auto& [node, why] : cases) {
        Tree().Select(node);
        Press('H', FCONTROL);
        EXPECT_EQ(why, Panel1());
    }
}
} // namespace
