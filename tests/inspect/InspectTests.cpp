// The inspection commands on a scanned desktop that holds windows of this test: find, the facts
// in panel 1, properties, highlight, copy, the context menu and F5.
#include "support/Form1Fixture.h"
#include "inspect/NodeFacts.h"
#include "platform/MessageBox.h"
#include "support/MessageBoxCloser.h"
#include "support/TreeReader.h"

#include <commctrl.h>
#include <dlgs.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
constexpr DWORD kTopStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | 0x5;

class InspectTest : public Form1Fixture {
protected:
    void SetUp() override
    {
        Form1Fixture::SetUp();
        m_top.reset(CreateWindowExW(WS_EX_TOOLWINDOW, TestWindowClass(), L"Qx7 Needle top \x263A", kTopStyle, 40, 50,
                                    320, 200, nullptr, nullptr, nullptr, nullptr));
        m_child = CreateChildWindow(m_top.get(), L"qx7 needle child");
        m_grand = CreateChildWindow(m_child.get(), L"Qx7 grand");
        m_hidden = CreateTopWindow(L"Qx7 hidden");
        m_gone = CreateTopWindow(L"Qx7 gone");
        UpdateWindow(m_top.get());
    }
    void Scan()
    {
        MessageBoxCloser closer(kApplicationTitle);
        m_form->meu_File_Click();
    }
    TreeViewControl& Tree() { return m_form->TreeView1(); }
    HTREEITEM Node(const std::wstring& key)
    {
        for (HTREEITEM item = Tree().FirstInOrder(); item != nullptr; item = Tree().NextInOrder(item)) {
            if (Tree().Key(item) == key) return item;
        }
        return nullptr;
    }
    HTREEITEM Node(HWND window) { return Node(WindowNodeKey(HandleValue(window))); }
    HTREEITEM OwnProcessNode() { return Node(ProcessNodeKey(static_cast<LONG>(GetCurrentProcessId()))); }
    std::wstring Panel1()
    {
        wchar_t text[512] = {};
        SendMessageW(m_form->sBar1().hWnd(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    // A key as the message loop sees it, with the modifiers down in this thread's key state.
    void Press(WORD key, BYTE modifiers = 0)
    {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_CONTROL] = (modifiers & FCONTROL) ? 0x80 : 0;
        state[VK_SHIFT] = (modifiers & FSHIFT) ? 0x80 : 0;
        SetKeyboardState(state);
        MSG message = {};
        message.hwnd = Tree().hWnd();
        message.message = key == VK_F10 ? WM_SYSKEYDOWN : WM_KEYDOWN; // F10 is a system key
        message.wParam = key;
        EXPECT_TRUE(m_form->TranslateFormMessage(message)) << key;
        state[VK_CONTROL] = state[VK_SHIFT] = 0;
        SetKeyboardState(state);
    }
    std::wstring Clipboard()
    {
        std::wstring text;
        if (!OpenClipboard(nullptr)) return L"(clipboard busy)";
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text;
    }

    UniqueWindow m_top, m_child, m_grand, m_hidden, m_gone;
};

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

// Whether the node is on a row the tree shows now: parents expanded, scrolled into view.
bool Shown(HWND tree, HTREEITEM item)
{
    RECT rect = {};
    std::memcpy(&rect, &item, sizeof item);
    RECT client = {};
    GetClientRect(tree, &client);
    return SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)) && rect.top >= 0 &&
           rect.bottom <= client.bottom;
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
        {0, 0, Top, FormatHandleHex(HandleValue(m_grand.get())), false, true, m_grand.get()},
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
}

TEST_F(InspectTest, Panel1TellsTheLiveFactsOfTheSelectedNode)
{
    Scan();
    EXPECT_EQ(L"", Panel1()) << "empty until something is selected";
    const HTREEITEM goneNode = Node(m_gone.get());
    const std::wstring gone = L"Window " + FormatHandleHex(HandleValue(m_gone.get()));
    m_gone.reset();
    const DWORD thread = GetCurrentThreadId();
    int ownWindows = 0;
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        ownWindows += process == GetCurrentProcessId();
    }
    const std::wstring top = L"Window " + FormatHandleHex(HandleValue(m_top.get()));
    const std::wstring hidden = L"Window " + FormatHandleHex(HandleValue(m_hidden.get()));
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
    const std::wstring lines[] = {
        L"Handle:\t" + FormatHandleHex(HandleValue(m_top.get())), L"Owner:\tnone", L"Caption:\tQx7 Needle top \x263A",
        L"Class:\tWindowInventoryTestWindow", L"Process:\t" + std::to_wstring(GetCurrentProcessId()),
        L"Thread:\t" + std::to_wstring(GetCurrentThreadId()), L"Window:\t(40, 50)-(360, 250), 320 x 200",
        L"Style:\t0x94C80005\r\n\tWS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS |\r\n\tWS_CAPTION | WS_SYSMENU | 0x00000005\r\n",
        L"WS_EX_TOOLWINDOW", L"Visible:\tyes", L"Minimized:\tno", L"Text:\tUnicode window"};
    for (const std::wstring& line : lines) {
        EXPECT_NE(std::wstring::npos, text.find(line)) << line << L" in\n" << text;
    }
    EXPECT_NE(std::wstring::npos,
              PropertiesText({NodeSubject::Kind::Window, HandleValue(m_grand.get())})
                  .find(L"WS_CHILD | WS_VISIBLE\r\n"));
    EXPECT_NE(std::wstring::npos, PropertiesText({NodeSubject::Kind::Process, static_cast<LONG>(GetCurrentProcessId())})
                                      .find(L"inspect_tests.exe\r\nParent process:\t"));

    // Enter opens the dialog on the selected node, with the same text, selectable.
    Tree().Select(Node(m_top.get()));
    MessageBoxCloser closer(L"Properties of window " + FormatHandleHex(HandleValue(m_top.get())));
    Press(VK_RETURN);
    ASSERT_EQ(1u, closer.Texts().size());
    std::wstring shown = closer.Texts()[0];
    EXPECT_EQ(text, shown);
}

TEST_F(InspectTest, HighlightInvertsAFrameAndRestoresTheScreenLeavingOrderAndFocus)
{
    Scan();
    RECT rect;
    GetWindowRect(m_top.get(), &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const auto capture = [&] {
        std::vector<DWORD> pixels(static_cast<size_t>(width * height));
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<const DWORD*>(bits)[i] & 0xFFFFFF;
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return pixels;
    };
    const auto zOrder = [] {
        std::vector<HWND> windows;
        for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) windows.push_back(window);
        return windows;
    };
    Tree().Select(Node(m_top.get()));
    SetFocus(Tree().hWnd());
    const std::vector<DWORD> before = capture();
    const std::vector<HWND> order = zOrder();
    const HWND focus = GetFocus(), active = GetActiveWindow(), foreground = GetForegroundWindow();
    int shownPauses = 0;
    m_form->Inspector().Highlight([&](bool shown) {
        if (!shown) return;
        ++shownPauses;
        const std::vector<DWORD> during = capture();
        for (int y = 0, i = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x, ++i) {
                const bool frame = x < 4 || y < 4 || x >= width - 4 || y >= height - 4;
                ASSERT_EQ(frame ? (~before[i] & 0xFFFFFF) : before[i], during[i]) << x << "," << y;
            }
        }
    });
    EXPECT_EQ(3, shownPauses);
    EXPECT_EQ(before, capture());
    EXPECT_EQ(order, zOrder());
    EXPECT_EQ(focus, GetFocus());
    EXPECT_EQ(active, GetActiveWindow());
    EXPECT_EQ(foreground, GetForegroundWindow());

    ShowWindow(m_child.get(), SW_MINIMIZE);
    const std::wstring gone = FormatHandleHex(HandleValue(m_gone.get()));
    const HTREEITEM goneNode = Node(m_gone.get());
    m_gone.reset();
    const std::pair<HTREEITEM, std::wstring> cases[] = {
        {Node(m_hidden.get()), L"Window " + FormatHandleHex(HandleValue(m_hidden.get())) + L" is hidden: nothing to highlight"},
        {Node(m_child.get()), L"Window " + FormatHandleHex(HandleValue(m_child.get())) + L" is minimized: nothing to highlight"},
        {goneNode, L"Window " + gone + L" no longer exists: nothing to highlight"},
        {OwnProcessNode(), L"A process has no rectangle: select one of its windows to highlight"},
    };
    for (const auto& [node, why] : cases) {
        Tree().Select(node);
        Press('H', FCONTROL);
        EXPECT_EQ(why, Panel1());
    }
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
    EXPECT_EQ(top + L"\r\n  " + child + L"\r\n    hWnd: " + FormatHandleHex(HandleValue(m_grand.get())) +
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
    SendMessageW(m_form->hWnd(), WM_COMMAND, Form1::kMeuFileId, 0);
    const std::wstring byMenu = Outline(Tree().ReadNodes());
    Tree().Select(OwnProcessNode());
    Press(VK_F5);
    EXPECT_NE(std::wstring::npos, Panel1().find(L" gone since the previous scan"))
        << "the rescan's summary, not the facts of a selection the new tree no longer has";
    EXPECT_EQ(2u, closer.Texts().size());
    EXPECT_EQ(closer.Texts()[0], closer.Texts()[1]);
    const std::wstring byKey = Outline(Tree().ReadNodes());
    EXPECT_GT(std::count(byKey.begin(), byKey.end(), L'\n'), 5);
    EXPECT_EQ(byMenu, byKey);
}
} // namespace
