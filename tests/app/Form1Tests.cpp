// Form1 in this process: its window, controls and font at this display's DPI and laid out again
// at another, the progress bar docked through resizing, and the scan with its boxes.
#include "Form1Test.h"

namespace {
using namespace form1_tests;

TEST_F(Form1Test, WindowControlsAndFontStandAsDesigned)
{
    // Rerun at another DPI (scripts/wine-at-dpi), the display must be at it.
    if (const char* dpi = std::getenv("WINDOWINVENTORY_DPI")) {
        ASSERT_EQ(std::atoi(dpi), DisplayDpi());
    }
    wchar_t text[32] = {};
    GetWindowTextW(m_form->hWnd(), text, 32);
    EXPECT_STREQ(L"Form1", text);
    EXPECT_EQ(Tree(), GetFocus()) << "the keyboard is the tree's from the start";
    const HMENU menu = GetMenu(m_form->hWnd());
    ASSERT_EQ(1, GetMenuItemCount(menu));
    GetMenuStringW(menu, 0, text, 32, MF_BYPOSITION);
    EXPECT_STREQ(L"ClickHere(&C)", text);
    EXPECT_EQ(nullptr, GetSubMenu(menu, 0)) << "the command sits on the bar itself";
    RECT client;
    GetClientRect(m_form->hWnd(), &client);
    EXPECT_EQ((RECT{0, 0, Pixels(10365), Pixels(7725)}), client);
    EXPECT_NE(0, GetWindowLongW(m_form->hWnd(), GWL_STYLE) & WS_THICKFRAME);
    // The caption's and the taskbar's icons are the program's own (this executable has them too).
    for (const int icon : {GCLP_HICON, GCLP_HICONSM}) {
        const auto shown = reinterpret_cast<HICON>(GetClassLongPtrW(m_form->hWnd(), icon));
        EXPECT_TRUE(shown != nullptr && shown != LoadIconW(nullptr, IDI_APPLICATION)) << icon;
    }

    // Four panels of the designed widths while the bar is wide enough for all of them.
    ASSERT_EQ(4, SendMessageW(StatusBar(), SB_GETPARTS, 0, 0));
    int right = 0;
    for (const auto& [panel, width] : {std::pair{1, 7335}, std::pair{2, 1685}, std::pair{3, 540}, std::pair{4, 450}}) {
        right += Pixels(width);
        EXPECT_NEAR(right, Panel(panel).right, 2) << "panel " << panel;
    }
    ExpectLayout();

    const auto font = reinterpret_cast<HFONT>(SendMessageW(Tree(), WM_GETFONT, 0, 0));
    LOGFONTW logFont = {};
    ASSERT_NE(0, GetObjectW(font, sizeof logFont, &logFont));
    EXPECT_STREQ(L"\x5B8B\x4F53", logFont.lfFaceName);
    EXPECT_EQ(GB2312_CHARSET, logFont.lfCharSet);
    EXPECT_EQ(FW_NORMAL, logFont.lfWeight);
    EXPECT_EQ(-Pixels(9 * 20), logFont.lfHeight) << "9 points";
    // Rows 5 pixels taller than an identical tree, left as the control sets itself up, chose
    // (as the control takes it: it may round the height).
    UniqueWindow host = CreateTopWindow(L"reference");
    TreeViewControl reference(host.get(), 1, RECT{0, 0, 100, 100});
    reference.SetFont(font);
    const int chosen = reference.ItemHeight();
    reference.SetItemHeight(chosen + 5);
    EXPECT_EQ(reference.ItemHeight(), m_form->TreeView1().ItemHeight());
    EXPECT_GT(m_form->TreeView1().ItemHeight(), chosen);
}

LONG TreeFontHeight(HWND tree)
{
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(tree, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
}

// Wine keeps every window at the display's DPI: the move to a monitor of another DPI is the
// message alone, and the form must go by what it says.
TEST_F(Form1Test, AChangeOfDpiTakesTheSuggestedRectangleAndLaysTheDesignOutAgain)
{
    RECT designed;
    GetWindowRect(m_form->hWnd(), &designed);
    const int rowHeight = m_form->TreeView1().ItemHeight();
    const struct {
        int dpi;
        RECT suggested;
        RECT tree;          // 45, 45, 10230 by 7260 twips
        int panelRights[4]; // 7335, 1685, 540 and 450 twips wide
        LONG fontHeight;    // 9 points
    } steps[] = {{144, {designed.left, designed.top, designed.left + (designed.right - designed.left) * 3 / 2,
                        designed.top + (designed.bottom - designed.top) * 3 / 2},
                  {5, 5, 1028, 731}, {734, 903, 957, 1002}, -18},
                 {96, designed, {3, 3, 685, 487}, {489, 601, 637, 667}, -12}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.dpi);
        SendMessageW(m_form->hWnd(), WM_DPICHANGED, MAKEWPARAM(step.dpi, step.dpi),
                     reinterpret_cast<LPARAM>(&step.suggested));
        PumpMessages();
        RECT window;
        GetWindowRect(m_form->hWnd(), &window);
        EXPECT_EQ(step.suggested, window);
        EXPECT_EQ(step.tree, RectInParent(Tree()));
        for (int panel = 1; panel <= 4; ++panel) EXPECT_NEAR(step.panelRights[panel - 1], Panel(panel).right, 2) << panel;
        ExpectLayout(step.dpi);
        EXPECT_EQ(step.fontHeight, TreeFontHeight(Tree()));
        // Rows for the new font: taller at 144 dpi, and as they were once back at 96.
        if (step.dpi == 144) {
            EXPECT_GT(m_form->TreeView1().ItemHeight(), rowHeight);
        } else {
            EXPECT_EQ(rowHeight, m_form->TreeView1().ItemHeight());
        }
    }
}

TEST_F(Form1Test, ResizingMinimizingAndRestoringKeepTheBarDockedAndTheTreeInPlace)
{
    RECT window;
    GetWindowRect(m_form->hWnd(), &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int panel2 = Panel(2).left;
    const struct {
        const char* name;
        int command; // a ShowWindow command, or 0 to size the window
        int width, height;
    } steps[] = {{"wider", 0, width + 200, height + 120}, {"narrower than the panels", 0, width - 250, height - 100},
                 {"minimized", SW_MINIMIZE, 0, 0},       {"restored", SW_RESTORE, 0, 0},
                 {"as designed", 0, width, height}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.command != 0) {
            ShowWindow(m_form->hWnd(), step.command);
        } else {
            SetWindowPos(m_form->hWnd(), nullptr, 0, 0, step.width, step.height, SWP_NOMOVE | SWP_NOZORDER);
        }
        PumpMessages();
        if (step.command != SW_MINIMIZE) ExpectLayout();
        if (step.width == width - 250) {
            EXPECT_LT(Panel(2).left, panel2) << "panel 1 gives way";
        }
    }
}

TEST_F(Form1Test, EachScanShowsTheCountInAPlainBoxAndAFullNewInventory)
{
    UniqueWindow mine = CreateTopWindow(L"scan me");
    UniqueWindow child = CreateChildWindow(mine.get(), L"my child");
    UniqueWindow newer = CreateTopWindow(L"scan me too");
    const int itemHeight = m_form->TreeView1().ItemHeight();
    std::vector<ShownBox> boxes = Scan();
    const size_t firstRoots = Roots();
    boxes.push_back(Scan().at(0));
    // OK only, no icon, application-modal over the form, with the application's title.
    ASSERT_EQ(2u, boxes.size());
    for (const ShownBox& box : boxes) {
        EXPECT_STREQ(kApplicationTitle, box.title);
        EXPECT_EQ(1u << IDOK, box.buttons);
        EXPECT_EQ(nullptr, box.icon);
        EXPECT_EQ(m_form->hWnd(), box.owner);
        EXPECT_FALSE(box.topmost);
        EXPECT_GT(std::wcstol(box.text, nullptr, 10), 0);
    }
    EXPECT_EQ(ProcessList.size(), Roots()) << "one root per recorded process, none left from before";
    EXPECT_EQ(firstRoots, Roots());
    EXPECT_EQ(0, WindowObjectCount) << "every object of the scan is released";
    EXPECT_EQ(itemHeight, m_form->TreeView1().ItemHeight()) << "scans leave the row height alone";
    const std::vector<std::wstring> lines =
        Beneath(ReadTree(Tree()), L"app_tests.exe [PID:" + std::to_wstring(GetCurrentProcessId()) + L"]");
    for (const std::wstring& window : lines) { // this process's windows only
        DWORD processId = GetCurrentProcessId();
        if (window[0] != L' ') GetWindowThreadProcessId(reinterpret_cast<HWND>(std::wcstoul(&window[6], nullptr, 16)), &processId);
        EXPECT_EQ(GetCurrentProcessId(), processId) << ::testing::PrintToString(window);
    }
    const auto line = [&](HWND window, const std::wstring& indent) {
        const std::wstring start = indent + L"hWnd: " + HandleText(window);
        return std::find_if(lines.begin(), lines.end(), [&](const std::wstring& l) { return l.rfind(start, 0) == 0; }) -
               lines.begin();
    };
    // In the platform's order, the newest window on top; the child right under its parent.
    EXPECT_LT(line(newer.get(), L""), line(mine.get(), L""));
    EXPECT_EQ(line(mine.get(), L"") + 1, line(child.get(), L"  "));
}

TEST_F(Form1Test, AFailingScanIsReportedWithTheErrorIconAndTheNextScanWorks)
{
    UniqueWindow mine = CreateTopWindow(L"object that cannot be counted");
    const LONG saved = WindowObjectCount;
    WindowObjectCount = 2147483647;
    const std::vector<ShownBox> boxes = Scan();
    WindowObjectCount = saved;
    ASSERT_EQ(1u, boxes.size()) << "the error box, and no count box";
    EXPECT_STREQ(L"Run-time error '6': Overflow", boxes[0].text);
    EXPECT_STREQ(kApplicationTitle, boxes[0].title);
    EXPECT_EQ(LoadIconW(nullptr, IDI_ERROR), boxes[0].icon);
    EXPECT_EQ(m_form->hWnd(), boxes[0].owner);
    EXPECT_TRUE(IsWindowEnabled(m_form->hWnd()));
    EXPECT_GT(ScanExpectingCount(), 0);
    EXPECT_EQ(ProcessList.size(), Roots());
}

LRESULT CALLBACK RefuseProgressBars(int code, WPARAM wParam, LPARAM lParam)
{
    wchar_t name[64] = {};
    GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64);
    if (code == HCBT_CREATEWND && std::wcsstr(name, L"progress") != nullptr) return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(Form1MissingControlTest, AScanWithoutItsProgressBarIsReportedInsteadOfRun)
{
    MessageBoxCloser closer;
    Form1 form;
    const HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseProgressBars, nullptr, GetCurrentThreadId());
    form.Show(SW_SHOWNORMAL);
    UnhookWindowsHookEx(hook);
    form.meu_File_Click();
    ProcessList.clear();
    ASSERT_EQ(2u, closer.Boxes().size()) << "the failed creation, then the click";
    EXPECT_STREQ(L"Run-time error '91': Object variable or With block variable not set", closer.Boxes()[1].text);
}

HWND g_form = nullptr;
LRESULT g_lengthWhileDestroyed = -1;

LRESULT CALLBACK AskTextLengthOnDestroy(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (sent->hwnd == g_form && sent->message == WM_DESTROY) g_lengthWhileDestroyed = SendMessageW(g_form, WM_GETTEXTLENGTH, 0, 0);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Form1Test, MessagesWhileTheWindowIsDestroyedAreAnsweredForThatWindow)
{
    g_form = m_form->hWnd();
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, AskTextLengthOnDestroy, nullptr, GetCurrentThreadId());
    m_form.reset();
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(5, g_lengthWhileDestroyed) << "the length of \"Form1\"";
}

std::vector<std::wstring> g_boxTexts;

// A box whose modal loop delivers one more click of the scan command while it is up.
int WINAPI BoxThatClicksOnce(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    g_boxTexts.push_back(text);
    if (g_boxTexts.size() == 1) SendMessageW(g_form, WM_COMMAND, Form1::kMeuFileId, 0);
    return IDOK;
}

TEST_F(Form1Test, AnErrorRaisedWhileAnErrorBoxIsUpIsShownAfterIt)
{
    g_form = m_form->hWnd();
    const MessageBoxFunction previous = ReplaceMessageBoxFunction(BoxThatClicksOnce);
    const LONG saved = std::exchange(WindowObjectCount, 2147483647);
    m_form->meu_File_Click();
    WindowObjectCount = saved;
    ReplaceMessageBoxFunction(previous);
    EXPECT_EQ(std::vector<std::wstring>(2, L"Run-time error '6': Overflow"), g_boxTexts);
}

} // namespace
