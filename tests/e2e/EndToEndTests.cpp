// WindowInventory.exe as a person meets it: started as a process of its own, driven through
// its menu bar and message box, its tree read back from outside and held against the test's
// own census of processes and windows, its window resized, minimized, restored and closed.
#include "OwnWindows.h"
#include "ProductProcess.h"
#include "WindowCensus.h"
#include "support/FormDriver.h"
#include "support/ScreenMetrics.h"
#include "support/TestWindows.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr DWORD kBoxTimeoutMs = 30000;
constexpr DWORD kFillTimeoutMs = 30000;
constexpr DWORD kStepTimeoutMs = 10000;
// A scan is repeated when the desktop changed while it ran (a process or window came or went),
// because then no census can say what the scan saw. Wine's desktop is static enough that the
// first attempt normally stands.
constexpr int kScanAttempts = 3;

// For the console: gtest's own messages are UTF-8 too.
std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], length, nullptr, nullptr);
    return result;
}

std::string Describe(const RECT& rect)
{
    char text[96];
    std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld) %ldx%ld", rect.left, rect.top, rect.right, rect.bottom,
                  rect.right - rect.left, rect.bottom - rect.top);
    return text;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

const TreeNode* RootOf(const std::vector<TreeNode>& roots, DWORD processId)
{
    const std::wstring tail = L" [PID:" + std::to_wstring(processId) + L"]";
    for (const TreeNode& root : roots) {
        if (EndsWith(root.text, tail)) return &root;
    }
    return nullptr;
}

const TreeNode* ChildOf(const TreeNode& parent, HWND window)
{
    const std::wstring prefix = WindowNodePrefix(window) + L" ";
    for (const TreeNode& child : parent.children) {
        if (child.text.compare(0, prefix.size(), prefix) == 0) return &child;
    }
    return nullptr;
}

size_t Occurrences(const std::vector<TreeNode>& nodes, HWND window)
{
    const std::wstring prefix = WindowNodePrefix(window) + L" ";
    size_t count = 0;
    for (const TreeNode& node : nodes) {
        if (node.text.compare(0, prefix.size(), prefix) == 0) ++count;
        count += Occurrences(node.children, window);
    }
    return count;
}

std::wstring OwnNodeText(HWND window, const std::wstring& shown)
{
    return WindowNodeText(window, shown, TestWindowClass());
}

// The census once two readings a moment apart agree: start-up settles before a scan is judged.
Census SettledCensus()
{
    Census last = TakeCensus();
    for (int i = 0; i < 25; ++i) {
        Sleep(200);
        Census next = TakeCensus();
        if (next == last) return next;
        last = std::move(next);
    }
    return last;
}

struct ScanOutcome {
    std::wstring boxText;
    Census census; // the desktop the scan saw: the same before and after it
    std::vector<TreeNode> tree;
    int attempts = 0;
    std::wstring discarded; // why earlier attempts did not count
};

class EndToEnd : public ::testing::Test {
public:
    static void SetUpTestSuite()
    {
        const DWORD start = GetTickCount();
        s_own = std::make_unique<OwnWindows>();
        if (!s_own->Created()) {
            s_setupError = L"the test's own windows could not be created";
            return;
        }
        s_product = std::make_unique<ProductProcess>();
        if (!s_product->Error().empty()) {
            s_setupError = L"starting WindowInventory: " + s_product->Error();
            return;
        }
        s_treeAtStart = RectIn(s_product->Tree(), s_product->Form());
        s_scan = std::make_unique<ScanOutcome>();
        s_setupError = Scan(*s_scan);
        if (!s_setupError.empty()) return;
        std::printf("[   e2e    ] box \"%s\" (census: %lld objects), %zu nodes, %zu roots, %d scan attempt(s), "
                    "%lu ms from start to filled tree\n",
                    Utf8(s_scan->boxText).c_str(), ExpectedObjectCount(s_scan->census), CountNodes(s_scan->tree),
                    s_scan->tree.size(), s_scan->attempts, GetTickCount() - start);
        if (!s_scan->discarded.empty()) std::printf("%s", Utf8(s_scan->discarded).c_str());
    }

    static void TearDownTestSuite()
    {
        s_scan.reset();
        s_product.reset();
        s_own.reset();
    }

protected:
    void SetUp() override { ASSERT_TRUE(s_setupError.empty()) << s_setupError; }

    static const ProductProcess& Product() { return *s_product; }
    static const OwnWindows& Own() { return *s_own; }
    static const ScanOutcome& Outcome() { return *s_scan; }

    static const TreeNode* OwnRoot() { return RootOf(Outcome().tree, GetCurrentProcessId()); }

    // Sizes go by message, not by a synchronous cross-process call that a hung product stalls.
    static bool ResizeTo(int width, int height)
    {
        const HWND form = Product().Form();
        SetWindowPos(form, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_ASYNCWINDOWPOS);
        return PollUntil(kStepTimeoutMs, [&] {
            RECT window;
            GetWindowRect(form, &window);
            return Product().Sync() && window.right - window.left == width && window.bottom - window.top == height;
        });
    }

    static bool Show(int command, bool iconic)
    {
        const HWND form = Product().Form();
        ShowWindowAsync(form, command);
        return PollUntil(kStepTimeoutMs, [&] { return Product().Sync() && (IsIconic(form) != FALSE) == iconic; });
    }

    // The status bar along the client's bottom edge, the tree where it was designed, and the
    // progress bar inside the status bar at panel 2: its left edge, 45 twips down, 60 twips
    // narrower than the panel and 60 twips lower than the status bar.
    static void ExpectLayout(RECT* panel2 = nullptr)
    {
        const HWND form = Product().Form();
        const HWND statusBar = Product().StatusBar();
        RECT client;
        ASSERT_TRUE(GetClientRect(form, &client));
        const RECT status = RectIn(statusBar, form);
        EXPECT_EQ(0, status.left) << "status bar " << Describe(status) << ", client " << Describe(client);
        EXPECT_EQ(client.right, status.right) << "status bar " << Describe(status) << ", client " << Describe(client);
        EXPECT_EQ(client.bottom, status.bottom) << "status bar " << Describe(status) << ", client " << Describe(client);

        const RECT tree = RectIn(Product().Tree(), form);
        EXPECT_TRUE(EqualRect(&s_treeAtStart, &tree)) << "tree " << Describe(tree) << ", at start "
                                                      << Describe(s_treeAtStart);

        const HWND bar = Product().ProgressBarInStatusBar();
        ASSERT_NE(nullptr, bar) << "no msctls_progress32 inside the status bar";
        EXPECT_EQ(statusBar, GetAncestor(bar, GA_PARENT));
        RECT panel = {};
        ASSERT_TRUE(Product().PanelRect(2, panel)) << "SB_GETRECT for panel 2";
        const RECT placed = RectIn(bar, statusBar);
        const double panelWidth = panel.right - panel.left;
        const double statusHeight = status.bottom - status.top;
        const std::string where = "bar " + Describe(placed) + ", panel 2 " + Describe(panel) + ", status bar height " +
                                  std::to_string(status.bottom - status.top);
        EXPECT_EQ(panel.left, placed.left) << where;
        EXPECT_EQ(PixelsY(45), placed.top) << where;
        EXPECT_EQ(std::lround(panelWidth - 60.0 * Dpi(LOGPIXELSX) / 1440.0), placed.right - placed.left) << where;
        EXPECT_EQ(std::lround(statusHeight - 60.0 * Dpi(LOGPIXELSY) / 1440.0), placed.bottom - placed.top) << where;
        if (panel2 != nullptr) *panel2 = panel;
    }

    static std::unique_ptr<OwnWindows> s_own;
    static std::unique_ptr<ProductProcess> s_product;
    static std::unique_ptr<ScanOutcome> s_scan;
    static std::wstring s_setupError;
    static RECT s_treeAtStart;

private:
    // Chooses the command, answers the box and reads the filled tree; empty on success.
    static std::wstring Scan(ScanOutcome& outcome)
    {
        const ProductProcess& product = *s_product;
        for (int attempt = 1; attempt <= kScanAttempts; ++attempt) {
            outcome.attempts = attempt;
            const Census before = SettledCensus();
            SetForegroundWindow(product.Form());
            ChooseScanCommand(product.Form());
            const HWND box = WaitForMessageBox(product.Form(), kBoxTimeoutMs);
            if (box == nullptr) return L"choosing ClickHere(&C) showed no \"Window Inventory\" message box";
            outcome.boxText = MessageBoxText(box);
            PressOk(box);
            if (IsWindow(box)) return L"the message box stayed after OK";
            if (!WaitForFilledTree()) return L"the tree was not filled after the message box";
            std::wstring error;
            if (!product.ReadTree(outcome.tree, error)) return L"reading the tree: " + error;
            // Settled again: the message box's own traces (a taskbar button in Wine's explorer)
            // come and go after the scan and say nothing about what it saw.
            const Census after = SettledCensus();
            if (before == after) {
                outcome.census = after;
                return {};
            }
            outcome.discarded += L"[   e2e    ] attempt " + std::to_wstring(attempt) +
                                 L" discarded, the desktop changed during the scan:\n" +
                                 DescribeDifference(before, after);
        }
        return L"the desktop changed during every scan:\n" + outcome.discarded;
    }

    // The fill runs in the product's thread without pumping: once the count stops changing
    // between answers, the fill is over.
    static bool WaitForFilledTree()
    {
        long last = -1;
        int steady = 0;
        return PollUntil(kFillTimeoutMs, [&] {
            const long count = s_product->TreeCount();
            steady = (count > 0 && count == last) ? steady + 1 : 0;
            last = count;
            if (steady < 3) Sleep(80);
            return steady >= 3;
        });
    }
};

std::unique_ptr<OwnWindows> EndToEnd::s_own;
std::unique_ptr<ProductProcess> EndToEnd::s_product;
std::unique_ptr<ScanOutcome> EndToEnd::s_scan;
std::wstring EndToEnd::s_setupError;
RECT EndToEnd::s_treeAtStart;

TEST_F(EndToEnd, MessageBoxReportsEveryWindowObjectTheScanBuilt)
{
    const std::wstring& text = Outcome().boxText;
    ASSERT_FALSE(text.empty());
    ASSERT_EQ(std::wstring::npos, text.find_first_not_of(L"0123456789")) << "not a decimal count: " << text;
    const long long expected = ExpectedObjectCount(Outcome().census);
    // The chain alone: its top once, A once, B twice, C four times.
    EXPECT_GE(expected, 8);
    EXPECT_EQ(expected, std::stoll(text)) << "the box's count against the census of the same moment";
}

TEST_F(EndToEnd, RootsAreTheRecordedProcessesInSnapshotOrder)
{
    const std::vector<CensusProcess>& snapshot = Outcome().census.snapshot;
    ASSERT_GE(snapshot.size(), 3u);
    EXPECT_NE(GetCurrentProcessId(), snapshot.front().id) << "a holder process must start the Wine session";
    EXPECT_NE(Product().Id(), snapshot.front().id);

    std::vector<std::wstring> expected;
    for (const TreeNode& root : ExpectedTree(Outcome().census)) expected.push_back(root.text);
    std::vector<std::wstring> roots;
    for (const TreeNode& root : Outcome().tree) roots.push_back(root.text);
    EXPECT_EQ(expected, roots);
    EXPECT_NE(nullptr, RootOf(Outcome().tree, GetCurrentProcessId()));
    EXPECT_NE(nullptr, RootOf(Outcome().tree, Product().Id()));
}

TEST_F(EndToEnd, ChainOfChildWindowsIsNestedUnderItsOwnParents)
{
    const TreeNode* own = OwnRoot();
    ASSERT_NE(nullptr, own) << FormatTree(Outcome().tree);
    const OwnWindows& windows = Own();

    const TreeNode* top = ChildOf(*own, windows.chainTop);
    ASSERT_NE(nullptr, top) << "the chain's top-level window under the test's process\n" << FormatTree({*own});
    EXPECT_EQ(OwnNodeText(windows.chainTop, L"E2E chain top"), top->text);
    ASSERT_EQ(1u, top->children.size()) << FormatTree({*top});
    const TreeNode* a = ChildOf(*top, windows.chainA);
    ASSERT_NE(nullptr, a) << FormatTree({*top});
    EXPECT_EQ(OwnNodeText(windows.chainA, L"E2E chain A"), a->text);
    ASSERT_EQ(1u, a->children.size()) << FormatTree({*top});
    const TreeNode* b = ChildOf(*a, windows.chainB);
    ASSERT_NE(nullptr, b) << FormatTree({*top});
    EXPECT_EQ(OwnNodeText(windows.chainB, L"E2E chain B"), b->text);
    ASSERT_EQ(1u, b->children.size()) << FormatTree({*top});
    const TreeNode* c = ChildOf(*b, windows.chainC);
    ASSERT_NE(nullptr, c) << FormatTree({*top});
    EXPECT_EQ(OwnNodeText(windows.chainC, L"E2E chain C"), c->text);
    EXPECT_TRUE(c->children.empty());

    // Eight objects hold these four windows; the tree shows each exactly once.
    for (HWND window : {windows.chainTop, windows.chainA, windows.chainB, windows.chainC}) {
        EXPECT_EQ(1u, Occurrences(Outcome().tree, window)) << WindowNodePrefix(window);
    }
}

TEST_F(EndToEnd, CaptionsShowAsTheScanReadsThem)
{
    const TreeNode* own = OwnRoot();
    ASSERT_NE(nullptr, own) << FormatTree(Outcome().tree);
    const OwnWindows& windows = Own();

    const TreeNode* untitled = ChildOf(*own, windows.noCaption);
    ASSERT_NE(nullptr, untitled) << FormatTree({*own});
    EXPECT_EQ(WindowNodePrefix(windows.noCaption) + L"  \x3010INVALID\x3011  [Class:WindowInventoryTestWindow]",
              untitled->text);

    const std::wstring caption = OwnWindows::LongCaption();
    ASSERT_GT(caption.size(), 254u);
    const TreeNode* cut = ChildOf(*own, windows.longCaption);
    ASSERT_NE(nullptr, cut) << FormatTree({*own});
    EXPECT_EQ(OwnNodeText(windows.longCaption, caption.substr(0, 254)), cut->text);

    for (HWND window : {windows.noCaption, windows.longCaption}) {
        EXPECT_EQ(1u, Occurrences(Outcome().tree, window)) << WindowNodePrefix(window);
    }
}

TEST_F(EndToEnd, CaptionOutsideTheAnsiCodePageShowsItsAnsiRendering)
{
    const std::wstring caption = OwnWindows::ForeignCaption();
    const std::wstring rendering = AnsiRendering(caption, 254);
    if (rendering == caption) GTEST_SKIP() << "ANSI code page " << GetACP() << " holds every character of the caption";
    const TreeNode* own = OwnRoot();
    ASSERT_NE(nullptr, own) << FormatTree(Outcome().tree);
    const TreeNode* node = ChildOf(*own, Own().foreignCaption);
    ASSERT_NE(nullptr, node) << FormatTree({*own});
    EXPECT_EQ(OwnNodeText(Own().foreignCaption, rendering), node->text) << "ANSI code page " << GetACP();
}

TEST_F(EndToEnd, TreeHoldsEveryWindowOnceUnderItsOwnParent)
{
    const std::vector<TreeNode> expected = ExpectedTree(Outcome().census);
    const std::wstring difference = FirstDifference(expected, Outcome().tree);
    EXPECT_TRUE(difference.empty()) << difference << "\n--- the tree read from the program:\n"
                                    << FormatTree(Outcome().tree);
    EXPECT_EQ(CountNodes(expected), CountNodes(Outcome().tree));
}

TEST_F(EndToEnd, TreeStandsWhereDesigned)
{
    EXPECT_EQ(PixelsX(45), s_treeAtStart.left);
    EXPECT_EQ(PixelsY(45), s_treeAtStart.top);
    EXPECT_EQ(PixelsX(10230), s_treeAtStart.right - s_treeAtStart.left);
    EXPECT_EQ(PixelsY(7260), s_treeAtStart.bottom - s_treeAtStart.top);
}

TEST_F(EndToEnd, ResizingMinimizingAndRestoringKeepTheBarDockedInPanel2)
{
    const HWND form = Product().Form();
    RECT window;
    ASSERT_TRUE(GetWindowRect(form, &window));
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    {
        SCOPED_TRACE("as started");
        ExpectLayout();
    }
    RECT widePanel = {};
    {
        SCOPED_TRACE("wider");
        ASSERT_TRUE(ResizeTo(width + 200, height + 120));
        ExpectLayout(&widePanel);
    }
    {
        SCOPED_TRACE("narrower than the panels");
        ASSERT_TRUE(ResizeTo(width - 250, height - 100));
        RECT narrowPanel = {};
        ExpectLayout(&narrowPanel);
        EXPECT_LT(narrowPanel.left, widePanel.left) << "panel 1 gives way, so panel 2 and the bar move left";
    }
    {
        SCOPED_TRACE("minimized");
        ASSERT_TRUE(Show(SW_MINIMIZE, true));
        ExpectLayout();
    }
    {
        SCOPED_TRACE("restored");
        ASSERT_TRUE(Show(SW_RESTORE, false));
        ASSERT_TRUE(GetWindowRect(form, &window));
        EXPECT_EQ(width - 250, window.right - window.left);
        ExpectLayout();
    }
}

// Last, because the program the cases share goes with it.
TEST_F(EndToEnd, ClosingEndsTheProgramWithExitCodeZero)
{
    ASSERT_TRUE(PostMessageW(Product().Form(), WM_CLOSE, 0, 0));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(Product().Process(), 20000)) << "still running after WM_CLOSE";
    DWORD exitCode = STILL_ACTIVE;
    ASSERT_TRUE(GetExitCodeProcess(Product().Process(), &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_FALSE(IsWindow(Product().Form()));
}

} // namespace
