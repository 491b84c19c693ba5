// Form1 in this process: its window, controls and font at this display's DPI and laid out again
// at another, the progress bar docked through resizing, and the scan with its boxes; then the scan under stress: fifty in a
// row, windows of another process that vanish mid-walk or never answer, chains deep enough for
// the objects to multiply, and memory that runs out anywhere in a scan.
#include "CountingAllocator.h"
#include "app/Form1.h"
#include "inventory/APi.h"
#include "platform/MessageBox.h"
#include "platform/ThunkAllocator.h"
#include "support/FormDriver.h"
#include "support/MessageBoxCloser.h"
#include "support/SyntheticDesktopProcess.h"
#include "support/TestWindows.h"
#include "support/TreeReader.h"
#include "window_model/ScreenWindowInfo.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <thread>

// Rectangles compared whole in the expectations.
bool operator==(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

namespace {
using AllocationFault = CountingAllocator::Fault;

int DisplayDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// The design's twips as whole pixels at a DPI (this display's unless said), worked out apart
// from the program's own.
int Pixels(double twips, int dpi = DisplayDpi())
{
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

RECT RectInParent(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// A shown Form1 for each test, and nothing of its scans left behind after it.
class Form1Test : public ::testing::Test {
protected:
    Form1Test()
    {
        m_form->Show(SW_SHOWNORMAL);
        PumpMessages();
    }
    ~Form1Test() override
    {
        m_form.reset();
        ProcessList.clear();
    }

    HWND Tree() const { return m_form->TreeView1().hWnd(); }
    size_t Roots() const
    {
        const std::vector<std::wstring> lines = ReadTree(Tree());
        return std::count_if(lines.begin(), lines.end(), [](const std::wstring& line) { return line[0] != L' '; });
    }
    HWND StatusBar() const { return m_form->sBar1().hWnd(); }
    RECT Panel(int panel) const
    {
        RECT rect = {};
        SendMessageW(StatusBar(), SB_GETRECT, static_cast<WPARAM>(panel - 1), reinterpret_cast<LPARAM>(&rect));
        return rect;
    }

    // The status bar along the client's bottom edge, the tree where it was designed, and the
    // progress bar inside the status bar over panel 2: at its left edge, 45 twips down, 60 twips
    // narrower than the panel and 60 twips lower than the status bar.
    void ExpectLayout(int dpi = DisplayDpi()) const
    {
        RECT client;
        GetClientRect(m_form->hWnd(), &client);
        const RECT status = RectInParent(StatusBar());
        EXPECT_EQ((RECT{0, client.bottom - (status.bottom - status.top), client.right, client.bottom}), status);
        const int top = Pixels(45, dpi);
        EXPECT_EQ((RECT{top, top, top + Pixels(10230, dpi), top + Pixels(7260, dpi)}), RectInParent(Tree()));
        EXPECT_EQ(Pixels(330, dpi), status.bottom - status.top);
        ASSERT_EQ(StatusBar(), GetParent(m_form->pBar1().hWnd()));
        const RECT panel = Panel(2);
        const RECT bar = RectInParent(m_form->pBar1().hWnd());
        EXPECT_EQ(panel.left, bar.left);
        EXPECT_EQ(top, bar.top);
        EXPECT_NEAR(panel.right - panel.left - Pixels(60, dpi), bar.right - bar.left, 1);
        EXPECT_NEAR(status.bottom - status.top - Pixels(60, dpi), bar.bottom - bar.top, 1);
    }

    // One click of the scan command; returns the boxes it showed. With `failAt`, the click's
    // allocation of that number fails, and `failed` tells whether it came.
    std::vector<ShownBox> Scan(LONG failAt = 0, bool* failed = nullptr)
    {
        MessageBoxCloser closer;
        const AllocationFault fault(failAt);
        m_form->meu_File_Click();
        if (failed != nullptr) *failed = AllocationFault::Failed();
        return closer.Boxes();
    }

    // A scan that must succeed: one box with the count, every object released after the fill.
    long ScanExpectingCount()
    {
        const std::vector<ShownBox> boxes = Scan();
        EXPECT_EQ(0, WindowObjectCount) << "objects left after the fill";
        const std::wstring text = boxes.size() == 1 ? boxes[0].text : L"none or several";
        EXPECT_EQ(std::wstring::npos, text.find_first_not_of(L"0123456789")) << "the scan said " << ::testing::PrintToString(text);
        return std::wcstol(text.c_str(), nullptr, 10);
    }

    std::unique_ptr<Form1> m_form = std::make_unique<Form1>();
};

TEST_F(Form1Test, WindowControlsAndFontStandAsDesigned)
{
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
        const std::wstring start = indent + L"hWnd: " + FormatHandleHex(HandleValue(window));
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

BOOL CALLBACK CountOwnWindows(HWND window, LPARAM count)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == GetCurrentProcessId()) {
        ++*reinterpret_cast<long long*>(count);
        EnumChildWindows(window, CountOwnWindows, count);
    }
    return TRUE;
}

// What this process holds itself, whatever runs it: under an emulator the process's own memory
// counters include the emulator's code cache, so committed private memory is walked region by
// region. Wine answers GetGuiResources with 0: there the process's windows stand for its USER
// objects, and the GDI handle table the PEB points to (24-byte entries, the type in byte 14,
// cleared when the object goes) gives its GDI objects.
// Generated code has pages of its own: committed private executable memory outside the thunk
// allocator's pages (the heap, a stray VirtualAlloc) is counted apart, and must stay at none.
// Mapped views are not ours: WoW64 maps executable code of its own into every 32-bit process.
const char* const kHeld[] = {"private bytes", "heap blocks", "heap bytes", "USER objects", "GDI objects",
                             "thunk pages", "stray executable bytes"};
using Held = std::array<long long, 7>;
Held Measure()
{
    Held held = {0, CountingAllocator::LiveBlocks(), CountingAllocator::LiveBytes(),
                 GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
                 static_cast<long long>(ThunkAllocator::Instance().ReservedBytes()), 0};
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) held[0] += region.RegionSize;
        const bool executable = (region.Protect & 0xF0) != 0; // the four PAGE_EXECUTE* values
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE && executable &&
            !ThunkAllocator::Instance().Holds(region.BaseAddress)) {
            held[6] += region.RegionSize;
        }
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize <= at) break;
        at = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    }
    if (held[3] == 0) EnumWindows(CountOwnWindows, reinterpret_cast<LPARAM>(&held[3]));
    if (held[4] == 0) {
        // Wine keeps the handle table in the PEB; under WoW64 in the 64-bit one, which the TEB's
        // WowTebOffset leads to (the 64-bit TEB's PEB pointer, then its GdiSharedHandleTable).
        const unsigned char* peb;
        const unsigned char* teb;
        asm("movl %%fs:0x30, %0" : "=r"(peb));
        asm("movl %%fs:0x18, %0" : "=r"(teb));
        const auto* table = *reinterpret_cast<const unsigned char* const*>(peb + 0x94);
        const LONG wowTebOffset = *reinterpret_cast<const LONG*>(teb + 0xFDC);
        if (table == nullptr && wowTebOffset != 0) {
            const auto peb64 = *reinterpret_cast<const UINT64*>(teb + wowTebOffset + 0x60);
            const auto table64 = peb64 != 0 && peb64 <= MAXDWORD ? *reinterpret_cast<const UINT64*>(static_cast<UINT_PTR>(peb64 + 0xF8)) : 0;
            if (table64 <= MAXDWORD) table = reinterpret_cast<const unsigned char*>(static_cast<UINT_PTR>(table64));
        }
        for (size_t entry = 0; table != nullptr && entry < 0x10000; ++entry) held[4] += table[entry * 24 + 14] != 0;
    }
    return held;
}

class RobustnessTest : public Form1Test {
protected:
    static std::wstring RootOf(const SyntheticDesktopProcess& helper)
    {
        return L"SyntheticDesktop.exe [PID:" + std::to_wstring(helper.ProcessId()) + L"]";
    }
    static void Start(SyntheticDesktopProcess& helper)
    {
        ASSERT_TRUE(helper.Started()) << ::testing::PrintToString(helper.Error());
        ASSERT_TRUE(helper.WaitReady(60000)) << "SyntheticDesktop did not report its windows";
    }
};

TEST_F(RobustnessTest, FiftyScansInARowReleaseEverythingAndHoldResourcesSteady)
{
    SyntheticDesktopProcess desktop(L"flat 10 5");
    Start(desktop);
    const long long gdiBefore = Measure()[4];
    const HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    ASSERT_EQ(gdiBefore + 1, Measure()[4]) << "GDI objects cannot be counted on this platform";
    DeleteObject(pen);
    std::vector<Held> held;
    held.reserve(50); // its own growth would show among the heap bytes
    for (int scan = 1; scan <= 50; ++scan) {
        ASSERT_GT(ScanExpectingCount(), 60) << "scan " << scan << ": the helper's 60 windows at least";
        held.push_back(Measure());
    }
    // The reference is the highest of scans 3 to 7: the first scans still grow caches (the box's
    // resources, the tree's key table, the heap's free lists). A leak of one object per scan
    // shows 43 times over by scan 50, beyond these allowances.
    const long long allowance[] = {256 * 1024, 8, 2048, 0, 4, 0, 0};
    EXPECT_EQ(0, held[0][6]) << "generated code outside the thunk allocator after the first scan";
    for (size_t k = 0; k < held[0].size(); ++k) {
        long long early = 0;
        for (size_t i = 2; i < 7; ++i) early = std::max(early, held[i][k]);
        for (size_t i = 7; i < held.size(); ++i) EXPECT_LE(held[i][k], early + allowance[k]) << kHeld[k] << ", scan " << i + 1;
        std::printf("[   INFO   ] %s: %lld early, %lld after scan 50\n", kHeld[k], early, held.back()[k]);
    }
}

TEST_F(RobustnessTest, WindowsDestroyedWhileTheScanWalksThemNeverBreakIt)
{
    SyntheticDesktopProcess churn(L"churn 8 4");
    Start(churn);
    ASSERT_EQ(8u, churn.TopWindows().size());
    for (int scan = 1; scan <= 10; ++scan) {
        ScanExpectingCount();
        const std::vector<std::wstring> tree = ReadTree(Tree());
        EXPECT_EQ(ProcessList.size(), Roots()) << "scan " << scan;
        EXPECT_NE(tree.end(), std::find(tree.begin(), tree.end(), RootOf(churn))) << "scan " << scan;
    }
    EXPECT_TRUE(PollUntil(60000, [&] {
        return std::none_of(churn.TopWindows().begin(), churn.TopWindows().end(), IsWindow);
    })) << "the helper never churned";
}

TEST_F(RobustnessTest, AWindowThatNeverAnswersDoesNotHoldUpTheScan)
{
    SyntheticDesktopProcess hung(L"hung 3");
    Start(hung);
    ASSERT_EQ(1u, hung.TopWindows().size());
    const HWND top = hung.TopWindows()[0];
    DWORD_PTR answer = 0;
    ASSERT_EQ(0, SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer)) << "it still answers";
    // A scan that asks the window anything never returns: end the run with a word rather than
    // leave CTest waiting. The watching thread only waits, on its own stack.
    const UniqueHandle scanned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread watchdog([&] {
        if (WaitForSingleObject(scanned.get(), 120000) != WAIT_TIMEOUT) return;
        std::fprintf(stderr, "\n[  FAILED  ] the scan hangs on a window that never answers\n");
        TerminateProcess(GetCurrentProcess(), 3);
    });
    ScanExpectingCount();
    SetEvent(scanned.get());
    watchdog.join();
    const std::vector<std::wstring> tree = ReadTree(Tree());
    const std::wstring tail = L"\x3011  [Class:SyntheticDesktopWindow]";
    const std::wstring topText = L"hWnd: " + FormatHandleHex(HandleValue(top)) + L"  \x3010hung top" + tail;
    EXPECT_NE(tree.end(), std::find(tree.begin(), tree.end(), L"  " + topText)) << "read without asking the window";
    std::vector<std::wstring> captions;
    for (const std::wstring& line : Beneath(tree, topText)) captions.push_back(line.substr(line.find(L'\x3010')));
    EXPECT_EQ((std::vector<std::wstring>{L"\x3010hung child 0" + tail, L"\x3010hung child 1" + tail,
                                         L"\x3010hung child 2" + tail}), captions);
}

TEST_F(RobustnessTest, ChainsBuildTheObjectsTheDuplicationRulePredictsAndShowEachWindowOnce)
{
    for (const int depth : {6, 10}) {
        SCOPED_TRACE(depth);
        SyntheticDesktopProcess chain(L"chain " + std::to_wstring(depth));
        Start(chain);
        const LONG top = HandleValue(chain.TopWindows().at(0));
        const DWORD start = GetTickCount();
        BuildProcessList();
        EnumWindows(EnumTopWindowProc, 0);
        const DWORD passMs = GetTickCount() - start;
        ASSERT_EQ(S_OK, TakeTopWindowFailure());
        // Releasing the chain's top-level object takes its whole subtree: the top once, and a
        // window k levels down 2^(k-1) times, 2^depth objects in all.
        const LONG all = WindowObjectCount;
        for (ProcessRecord& record : ProcessList) {
            for (size_t i = 0; record.Windows && i < record.Windows->size(); ++i) {
                LONG handle = 0;
                (*record.Windows)[i]->get_hWnd(&handle);
                if (handle == top) (*record.Windows)[i].reset();
            }
        }
        EXPECT_EQ(1L << depth, all - WindowObjectCount);
        ProcessList.clear();
        std::printf("[   INFO   ] chain %d: the window pass built %ld objects in %lu ms\n", depth, all, passMs);

        ScanExpectingCount();
        const std::vector<std::wstring> lines =
            Beneath(ReadTree(Tree()), L"hWnd: " + FormatHandleHex(top) + L"  \x3010" L"chain top");
        ASSERT_EQ(static_cast<size_t>(depth), lines.size()) << "each window once";
        for (int level = 1; level <= depth; ++level) {
            const std::wstring& line = lines[level - 1];
            EXPECT_EQ(static_cast<size_t>(2 * level - 2), line.find(L"hWnd")) << "under its real parent: " << level;
            EXPECT_NE(std::wstring::npos, line.find(L"\x3010" L"chain " + std::to_wstring(level) + L"\x3011"));
        }
    }
}

TEST_F(RobustnessTest, RunningOutOfMemoryAnywhereInAScanIsReportedAndTheNextScanIsWhole)
{
    SyntheticDesktopProcess desktop(L"flat 4 3");
    Start(desktop);
    const long reference = ScanExpectingCount();
    const auto helperPart = [&] { return Beneath(ReadTree(Tree()), RootOf(desktop)); };
    const std::vector<std::wstring> whole = helperPart();
    ASSERT_EQ(16u + 1u, whole.size()) << "its 16 windows and its IME window";
    // Each stage's allocations, counted over the same stages called one by one.
    LONG processList = 0, windowPass = 0, fill = 0;
    {
        const AllocationFault counting(0);
        BuildProcessList();
        processList = AllocationFault::Seen();
        EnumWindows(EnumTopWindowProc, 0);
        ASSERT_EQ(S_OK, TakeTopWindowFailure());
        windowPass = AllocationFault::Seen() - processList;
        const MessageBoxCloser closer;
        FillWindowTree(m_form->TreeView1(), m_form->pBar1());
        fill = AllocationFault::Seen() - processList - windowPass;
    }
    ASSERT_GT(windowPass, reference) << "each object needs a block or more";
    std::vector<LONG> failures = {2, processList / 2, processList + 1, processList + windowPass / 2,
                                  processList + windowPass};
    // Most of the fill's allocations come while window nodes are built, where a failing step is
    // skipped: running out of memory there must still be reported, or nodes go missing unannounced.
    for (LONG quarter = 0; quarter < 4; ++quarter) failures.push_back(processList + windowPass + 1 + fill * quarter / 4);
    // The blocks held once the records and the form with its nodes and its memory of the last
    // scan are let go: independent of what other processes do to the desktop meanwhile (Wine's
    // explorer shows each box on its taskbar). A fresh form carries on.
    const auto settledBlocks = [&] {
        m_form.reset();
        ProcessList.clear();
        const LONG blocks = CountingAllocator::LiveBlocks();
        m_form = std::make_unique<Form1>();
        m_form->Show(SW_SHOWNORMAL);
        PumpMessages();
        return blocks;
    };
    for (const LONG failAt : failures) {
        SCOPED_TRACE("allocation " + std::to_string(failAt));
        const LONG blocks = settledBlocks();
        ScanExpectingCount(); // the failed scan starts from a whole scan's records and tree
        {
            bool failed = false;
            const std::vector<ShownBox> boxes = Scan(failAt, &failed);
            ASSERT_TRUE(failed && !boxes.empty()) << "it never came";
            EXPECT_STREQ(L"Run-time error '7': Out of memory", boxes.back().text);
        }
        ASSERT_TRUE(IsWindowEnabled(m_form->hWnd())) << "the box has let go of its owner";
        ScanExpectingCount();
        EXPECT_EQ(whole, helperPart()) << "the next scan fills the whole tree again";
        EXPECT_EQ(blocks, settledBlocks()) << "blocks left over from the failed scan";
    }
}

} // namespace
