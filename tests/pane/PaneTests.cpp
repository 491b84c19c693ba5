// The properties pane on real windows: it follows the selection and point to find, its links and
// keys select the windows they name; following the mouse reads coordinates in physical pixels at
// any DPI, the colour under the pointer, the controls of a 32-bit and a 64-bit helper by class
// and instance, their texts (a hung window's too) and the line for a script.
#include "inspect/InspectFixture.h"
#include "support/FormDriver.h"
#include "support/MouseInput.h"
#include "support/SyntheticDesktopProcess.h"

#include <cstdlib>
#include <string>

namespace {
using namespace inspect_tests;
using Bits = SyntheticDesktopProcess::Bits;

std::wstring Hex(HWND window, const wchar_t* format = L"%08Xh")
{
    wchar_t text[16];
    wsprintfW(text, format, static_cast<unsigned>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

POINT CenterOf(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

class PaneTest : public InspectTest {
protected:
    void SetUp() override
    {
        InspectTest::SetUp();
        // Out of the way of the windows pointed at, which the pane would not follow over the form,
        // at 144 dpi too.
        SetWindowPos(m_form->hWnd(), nullptr, -600, 480, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    PropertiesPane& Pane() { return m_form->Pane(); }
    void PlacePane() { SetWindowPos(Pane().hWnd(), nullptr, 700, 0, 500, 600, SWP_NOZORDER | SWP_NOACTIVATE); }
    // Alt and a letter typed into the pane, as the message loop sees it.
    bool PressAlt(WORD key)
    {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_MENU] = 0x80;
        SetKeyboardState(state);
        MSG message = {Pane().hWnd(), WM_SYSKEYDOWN, key, 1 | (1 << 29), 0, {}};
        const bool taken = m_form->TranslateFormMessage(message);
        state[VK_MENU] = 0;
        SetKeyboardState(state);
        return taken;
    }
    // The pointer to `at` until the pane has read there and, the pointer at rest, shows the full
    // facts of `window`: Wine may still move the pointer back to where an earlier move put it,
    // once it handles that move's X event.
    void PointAt(POINT at, HWND window)
    {
        wchar_t screen[32];
        wsprintfW(screen, L"Screen:\t(%ld, %ld)\r\n", at.x, at.y);
        EXPECT_TRUE(PollUntil(10000, [&] {
            SetCursorPos(at.x, at.y);
            PumpMessages();
            Pane().FollowTick();
            return Pane().PointerText().find(screen) == 0 && Pane().FactsText().find(Shows(window)) == 0;
        })) << "the pane did not read " << ::testing::PrintToString(std::wstring(screen)) << " but showed "
            << ::testing::PrintToString(Pane().PointerText()) << " and " << ::testing::PrintToString(Pane().FactsText());
    }
    std::wstring SelectedKey() { return Tree().Selection() ? Tree().Key(Tree().Selection()) : L""; }
    static std::wstring Shows(HWND window) { return L"General\r\nHandle:\t" + Hex(window) + L"\r\n"; }
};

TEST_F(PaneTest, ThePaneFollowsTheSelectionAndPointingAndItsLinksAndKeysSelectTheWindowsTheyName)
{
    UniqueWindow sibling = CreateChildWindow(m_top.get(), L"Qx7 sibling");
    UniqueWindow owned(CreateWindowExW(0, TestWindowClass(), L"Qx7 owned", WS_POPUP, 0, 0, 10, 10, m_top.get(), nullptr,
                                       GetModuleHandleW(nullptr), nullptr));
    Scan();
    Tree().Select(Node(m_grand.get()));
    Press(VK_RETURN);
    ASSERT_TRUE(Pane().IsOpen());
    EXPECT_EQ(0u, Pane().FactsText().find(Shows(m_grand.get()) + L"Caption:\tQx7 grand\r\nParent:\t" + Hex(m_child.get()) +
                                          L"\r\nOwner:\tnone\r\n"))
        << Pane().FactsText();
    wchar_t title[64] = {};
    GetWindowTextW(Pane().hWnd(), title, 64);
    EXPECT_EQ(L"Properties of window " + Hex(m_grand.get()), title);

    // A click on the parent link selects the parent, and the pane follows the selection.
    RECT link = {};
    GetWindowRect(Pane().LinkWindow(PropertiesPane::kParent), &link);
    const POINT onLink = {link.left + 8, (link.top + link.bottom) / 2};
    MouseAt(onLink, MOUSEEVENTF_LEFTDOWN);
    MouseAt(onLink, MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(PollUntil(10000, [&] {
        PumpMessages();
        return SelectedKey() == KeyOf(m_child.get());
    }));
    EXPECT_EQ(0u, Pane().FactsText().find(Shows(m_child.get()))) << Pane().FactsText();

    // The keys of the links, from the pane; a relation that is not there leaves the selection.
    const struct {
        HWND from;
        WORD key;
        HWND expected;
    } cases[] = {
        {m_grand.get(), 'P', m_child.get()}, {m_child.get(), 'C', m_grand.get()}, {m_child.get(), 'N', sibling.get()},
        {sibling.get(), 'V', m_child.get()}, {owned.get(), 'O', m_top.get()},     {m_child.get(), 'V', m_child.get()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(1, c.key) + L" from " + Hex(c.from));
        Tree().Select(Node(c.from));
        EXPECT_EQ(0u, Pane().FactsText().find(Shows(c.from)));
        EXPECT_TRUE(PressAlt(c.key));
        EXPECT_EQ(KeyOf(c.expected), SelectedKey());
        EXPECT_EQ(0u, Pane().FactsText().find(Shows(c.expected))) << Pane().FactsText();
    }

    // Point to find shows the window it frames, and the selection again once it ends.
    Tree().Select(OwnProcessNode());
    EXPECT_EQ(0u, Pane().FactsText().find(L"Process\r\nProcess:\t" + std::to_wstring(GetCurrentProcessId()) + L"\r\n"));
    Press('P', FCONTROL);
    ASSERT_TRUE(PollUntil(10000, [&] {
        SetCursorPos(100, 150); // m_top's client area, where it has no child
        PumpMessages();
        return m_form->Pointer().Framed() == m_top.get();
    }));
    EXPECT_EQ(0u, Pane().FactsText().find(Shows(m_top.get())));
    EXPECT_TRUE(PressKey(m_form->Pointer().Finder().hWnd(), VK_ESCAPE));
    EXPECT_EQ(0u, Pane().FactsText().find(L"Process\r\n"));
}

// The test's own window: its client area inset from the frame by a margin it chooses at the
// display's DPI, the left half painted #1E90FF and the right half #FFA500.
int Scale(int pixelsAt96)
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return MulDiv(pixelsAt96, dpi, 96);
}

LRESULT CALLBACK PaintedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCALCSIZE) {
        RECT& client = *reinterpret_cast<RECT*>(lParam);
        client.left += Scale(10);
        client.top += Scale(30);
        return 0;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window, &paint);
        RECT client = {};
        GetClientRect(window, &client);
        const HBRUSH blue = CreateSolidBrush(RGB(0x1E, 0x90, 0xFF)), orange = CreateSolidBrush(RGB(0xFF, 0xA5, 0x00));
        const RECT left = {0, 0, client.right / 2, client.bottom}, right = {client.right / 2, 0, client.right, client.bottom};
        FillRect(dc, &left, blue);
        FillRect(dc, &right, orange);
        DeleteObject(blue);
        DeleteObject(orange);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(PaneTest, FollowingTheMouseTellsPhysicalCoordinatesAndColourReadsNothingWhileStillAndCtrlFreezesIt)
{
    const WNDCLASSW painted = {0, PaintedProcedure, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr,
                               L"WindowInventoryPaintedTestWindow"};
    RegisterClassW(&painted);
    const UniqueWindow window(CreateWindowExW(0, painted.lpszClassName, L"painted", WS_POPUP | WS_VISIBLE, Scale(100),
                                              Scale(100), Scale(300), Scale(200), nullptr, nullptr,
                                              GetModuleHandleW(nullptr), nullptr));
    ShowWindow(m_top.get(), SW_HIDE); // over a part of it
    UpdateWindow(window.get());
    SetActiveWindow(m_form->hWnd());
    Press('U', FCONTROL);
    ASSERT_TRUE(Pane().IsOpen() && Pane().FollowsMouse());
    EXPECT_EQ(Tree().hWnd(), GetFocus()) << "following leaves the keyboard with the tree";
    PlacePane();

    // Two points of the client area, designed at 96 dpi: spelled out at 96 and 144 dpi, worked
    // out from the design at any other.
    const POINT design[] = {{40, 50}, {200, 100}};
    const std::wstring rest = L"\r\nControl:\tnone: the top-level window itself\r\nWindow text:\t\r\n";
    std::wstring expected[2];
    const int dpi = Scale(96);
    RecordProperty("dpi", dpi);
    // Rerun at another DPI (scripts/wine-at-dpi), the display must be at it.
    if (const char* told = std::getenv("WINDOWINVENTORY_DPI")) {
        ASSERT_EQ(std::atoi(told), dpi);
    }
    if (dpi == 96) {
        expected[0] = L"Screen:\t(150, 180)\r\nWindow:\t(50, 80)\r\nClient:\t(40, 50)\r\nColour:\t#1E90FF" + rest;
        expected[1] = L"Screen:\t(310, 230)\r\nWindow:\t(210, 130)\r\nClient:\t(200, 100)\r\nColour:\t#FFA500" + rest;
    } else if (dpi == 144) {
        expected[0] = L"Screen:\t(225, 270)\r\nWindow:\t(75, 120)\r\nClient:\t(60, 75)\r\nColour:\t#1E90FF" + rest;
        expected[1] = L"Screen:\t(465, 345)\r\nWindow:\t(315, 195)\r\nClient:\t(300, 150)\r\nColour:\t#FFA500" + rest;
    } else {
        for (int i = 0; i < 2; ++i) {
            wchar_t text[160];
            const int x = Scale(design[i].x), y = Scale(design[i].y);
            wsprintfW(text, L"Screen:\t(%d, %d)\r\nWindow:\t(%d, %d)\r\nClient:\t(%d, %d)\r\nColour:\t%s", Scale(110) + x,
                      Scale(130) + y, Scale(10) + x, Scale(30) + y, x, y, i == 0 ? L"#1E90FF" : L"#FFA500");
            expected[i] = text + rest;
        }
    }
    POINT at[2];
    for (int i = 0; i < 2; ++i) {
        at[i] = POINT{Scale(110 + design[i].x), Scale(130 + design[i].y)};
    }
    PointAt(at[0], window.get());
    EXPECT_EQ(expected[0], Pane().PointerText());
    // The swatch beside it shows the colour, once the pane is on the screen.
    const RECT swatch = Pane().SwatchScreenRect();
    EXPECT_TRUE(PollUntil(10000, [&] {
        PumpMessages();
        const HDC screen = GetDC(nullptr);
        const COLORREF shown = GetPixel(screen, (swatch.left + swatch.right) / 2, (swatch.top + swatch.bottom) / 2);
        ReleaseDC(nullptr, screen);
        return shown == RGB(0x1E, 0x90, 0xFF);
    }));

    // A pointer that holds still is not read again.
    const size_t reads = Pane().Reads();
    EXPECT_FALSE(Pane().FollowTick());
    EXPECT_EQ(reads, Pane().Reads());

    // Held Ctrl freezes what the pane shows; released, the pane reads where the pointer is. Wine
    // takes the modifiers back from the X server as it handles a move of the pointer, so the
    // pointer goes to the second point while the pane does not follow, and Ctrl goes down (again)
    // until the moves are handled.
    const auto control = [](DWORD flags) {
        INPUT key = {};
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = VK_CONTROL;
        key.ki.dwFlags = flags;
        SendInput(1, &key, sizeof key);
    };
    Pane().SetFollowMouse(false);
    ASSERT_TRUE(PollUntil(10000, [&] {
        SetCursorPos(at[1].x, at[1].y);
        control(0);
        PumpMessages();
        POINT now = {};
        return GetCursorPos(&now) && now.x == at[1].x && now.y == at[1].y && GetAsyncKeyState(VK_CONTROL) < 0;
    }));
    Pane().SetFollowMouse(true);
    EXPECT_FALSE(Pane().FollowTick());
    ASSERT_LT(GetAsyncKeyState(VK_CONTROL), 0);
    EXPECT_EQ(expected[0], Pane().PointerText());
    control(KEYEVENTF_KEYUP);
    ASSERT_TRUE(PollUntil(10000, [&] { return GetAsyncKeyState(VK_CONTROL) >= 0; }));
    Pane().FollowTick();
    EXPECT_EQ(expected[1], Pane().PointerText());

    Press('U', FCONTROL);
    EXPECT_FALSE(Pane().FollowsMouse());
}

TEST_F(PaneTest, UnderThePointerControlsReadTheirInstanceIdAndTextsAndCopyForAScriptNamesThem)
{
    // A hung window's texts are read as the system keeps them, without waiting for it.
    ShowWindow(m_top.get(), SW_HIDE); // over the hung window
    SyntheticDesktopProcess hung(L"hung 2");
    ASSERT_TRUE(hung.WaitReady(20000)) << hung.Error();
    Press('U', FCONTROL);
    PlacePane();
    for (const Bits bits : SyntheticDesktopProcess::RunnableBits()) {
        SCOPED_TRACE(SyntheticDesktopProcess::ExeName(bits));
        SyntheticDesktopProcess helper(L"controls", bits);
        ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
        const HWND top = helper.TopWindows().at(0);
        // By ID: an edit control keeps its text to itself, where FindWindowEx does not look.
        const HWND panel = GetDlgItem(top, 300);
        const std::wstring visible = L"Window text:\talpha\r\n\tApply\r\n\tpanel\r\n\tbeta\r\n\tgamma\r\n\tClose\r\n";
        const struct {
            HWND control;
            std::wstring expected;
        } cases[] = {
            {GetDlgItem(top, 101), L"Control:\tEdit1\r\nControl ID:\t101 (0x00000065)\r\nText:\talpha\r\n"},
            {GetDlgItem(panel, 102), L"Control:\tEdit2\r\nControl ID:\t102 (0x00000066)\r\nText:\tbeta\r\n"},
            {GetDlgItem(top, 103), L"Control:\tEdit3\r\nControl ID:\t103 (0x00000067)\r\nText:\tgamma\r\n"},
            {GetDlgItem(top, 201), L"Control:\tButton1\r\nControl ID:\t201 (0x000000C9)\r\nText:\tApply\r\n"},
            {GetDlgItem(top, 202), L"Control:\tButton2\r\nControl ID:\t202 (0x000000CA)\r\nText:\tClose\r\n"},
        };
        for (const auto& c : cases) {
            ASSERT_NE(nullptr, c.control) << c.expected;
            PointAt(CenterOf(c.control), c.control);
            const std::wstring& shown = Pane().PointerText();
            EXPECT_NE(std::wstring::npos, shown.find(L"\r\n" + c.expected + visible)) << shown;
        }
        // The last one read is the pane's for Ctrl+K: the second Edit's line.
        PointAt(CenterOf(cases[1].control), cases[1].control);
        ASSERT_TRUE(PressKey(Pane().hWnd(), 'K', FCONTROL));
        EXPECT_EQ(L"title=\"controls\" class=\"SyntheticDesktopControls\" exe=\"" +
                      std::wstring(SyntheticDesktopProcess::ExeName(bits)) + L"\" control=\"Edit2\" id=102 hwnd=" +
                      Hex(cases[1].control, L"0x%08X"),
                  Clipboard());
    }
    const HWND hungChild = FindWindowExW(hung.TopWindows().at(0), nullptr, nullptr, L"hung child 0");
    PointAt(CenterOf(hungChild), hungChild);
    EXPECT_NE(std::wstring::npos, Pane().PointerText().find(L"\r\nControl:\tSyntheticDesktopWindow1\r\nControl ID:\t0 "
                                                            L"(0x00000000)\r\nText:\thung child 0\r\nWindow text:\t"
                                                            L"hung child 0\r\n\thung child 1\r\n"))
        << Pane().PointerText();
}

// Moved to a monitor at 192 dpi, the pane takes the suggested rectangle and doubles what it was
// designed with at 96: its controls, the swatch and its font; back at 96 all is as before.
TEST_F(PaneTest, ThePaneLaysItselfOutAgainAtTheDpiItIsTold)
{
    Press('U', FCONTROL);
    ASSERT_TRUE(Pane().IsOpen());
    if (Scale(96) != 96) GTEST_SKIP() << "designed at 96 dpi, the display is at " << Scale(96);
    const HWND follow = FindWindowExW(Pane().hWnd(), nullptr, L"Button", L"Follow the mo&use (Ctrl+U)");
    const auto fontHeight = [&] {
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(follow, WM_GETFONT, 0, 0)), sizeof font, &font);
        return font.lfHeight;
    };
    const LONG designedFont = fontHeight();
    RECT designed;
    GetWindowRect(Pane().hWnd(), &designed);
    const RECT larger = {designed.left, designed.top, designed.left + 1000, designed.top + 900}; // as the screen allows
    for (const auto& [dpi, suggested, followRect, swatch, font] :
         {std::tuple{192, larger, RECT{12, 12, 392, 60}, 96L, 2 * designedFont},
          std::tuple{96, designed, RECT{6, 6, 196, 30}, 48L, designedFont}}) {
        SCOPED_TRACE(dpi);
        SendMessageW(Pane().hWnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT window, box;
        GetWindowRect(Pane().hWnd(), &window);
        EXPECT_TRUE(EqualRect(&suggested, &window));
        GetWindowRect(follow, &box);
        MapWindowPoints(nullptr, Pane().hWnd(), reinterpret_cast<POINT*>(&box), 2);
        EXPECT_TRUE(EqualRect(&followRect, &box)) << box.left << ", " << box.top << ", " << box.right << ", " << box.bottom;
        const RECT shown = Pane().SwatchScreenRect();
        EXPECT_EQ(swatch, shown.right - shown.left);
        EXPECT_EQ(font, fontHeight());
    }
}
} // namespace
