// Form1's scan under stress on Wine: many scans in a row, windows of another process that vanish
// mid-walk or never answer, a chain deep enough for the objects to multiply, and memory that
// runs out in each stage of a scan.
#include "Form1Fixture.h"
#include "app/Form1.h"
#include "inventory/APi.h"
#include "platform/MessageBox.h"
#include "support/MessageBoxCloser.h"
#include "support/SyntheticDesktopProcess.h"
#include "support/TestWindows.h"
#include "support/TreeReader.h"
#include "window_model/ScreenWindowInfo.h"

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include "CountingAllocator.h"

#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {
using AllocationFault = CountingAllocator::Fault;

// ---------------------------------------------------------------------------------------------
// What a process holds: USER and GDI objects, private bytes, blocks from operator new.

BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
    ++*reinterpret_cast<long*>(count);
    return TRUE;
}

// This process's windows, every level: the USER objects a scan could leave behind.
BOOL CALLBACK CountOwnWindows(HWND window, LPARAM count)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<long*>(count);
    EnumChildWindows(window, CountWindow, count);
    return TRUE;
}

// Wine answers GetGuiResources with 0 and ERROR_CALL_NOT_IMPLEMENTED. There, GDI objects are
// counted in the process's GDI handle table, which the PEB points to (24-byte entries, the
// object type in byte 14, cleared when the object is deleted) - but only once creating and
// deleting a pen has moved that count by exactly one each way.
long CountGdiTableEntries()
{
    using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (query == nullptr || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) {
        return -1;
    }
    const auto* peb = reinterpret_cast<const unsigned char*>(basic.PebBaseAddress);
    const auto* table = *reinterpret_cast<const unsigned char* const*>(peb + 0x94);
    if (table == nullptr) return -1;
    long count = 0;
    for (size_t entry = 0; entry < 0x10000; ++entry) count += table[entry * 24 + 14] != 0;
    return count;
}

struct GuiCounter {
    enum class Source { GetGuiResources, OwnWindows, GdiHandleTable, Unavailable };
    Source user = Source::Unavailable;
    Source gdi = Source::Unavailable;

    GuiCounter()
    {
        SetLastError(0);
        const bool implemented = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS) != 0 ||
                                 GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
        if (implemented) {
            user = gdi = Source::GetGuiResources;
            return;
        }
        user = Source::OwnWindows;
        const long before = CountGdiTableEntries();
        const HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
        const long with = CountGdiTableEntries();
        DeleteObject(pen);
        const long after = CountGdiTableEntries();
        if (before >= 0 && with == before + 1 && after == before) gdi = Source::GdiHandleTable;
    }

    long User() const
    {
        if (user == Source::GetGuiResources) return static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
        long windows = 0;
        EnumWindows(CountOwnWindows, reinterpret_cast<LPARAM>(&windows));
        return windows;
    }
    long Gdi() const
    {
        if (gdi == Source::GetGuiResources) return static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
        if (gdi == Source::GdiHandleTable) return CountGdiTableEntries();
        return -1;
    }
};

// Private bytes; Wine leaves PrivateUsage at 0 and keeps the same figure in PagefileUsage, as
// Windows does too.
SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

// ---------------------------------------------------------------------------------------------
// A scan that does not finish in time ends the whole run with a message, rather than leaving
// CTest waiting for ten minutes on a thread that will never return.
class Watchdog {
public:
    Watchdog(DWORD timeoutMs, std::string what)
        : m_done(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_thread([this, timeoutMs, what] {
              if (WaitForSingleObject(m_done.get(), timeoutMs) == WAIT_TIMEOUT) {
                  std::fprintf(stderr, "\n[  FAILED  ] %s did not finish within %lu s: the scan hangs\n", what.c_str(),
                               timeoutMs / 1000);
                  std::fflush(stderr);
                  std::fflush(stdout);
                  TerminateProcess(GetCurrentProcess(), 3);
              }
          })
    {
    }
    ~Watchdog()
    {
        SetEvent(m_done.get());
        m_thread.join();
    }

private:
    UniqueHandle m_done;
    std::thread m_thread;
};

// ---------------------------------------------------------------------------------------------
// The tree as a scan must leave it

bool IsWholeNumber(const std::wstring& text)
{
    return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

// Every root reads "<name> [PID:<n>]" for the records in order, and every node beneath reads
// "hWnd: XXXXXXXXh  【caption】  [Class:name]".
void ExpectEveryNodeInShape(const std::vector<TreeNode>& roots)
{
    static const std::wregex processText(L"^[\\s\\S]* \\[PID:([0-9]+)\\]$");
    static const std::wregex windowText(L"^hWnd: [0-9A-F]{8}h  \x3010[\\s\\S]+\x3011  \\[Class:[^\\]]*\\]$");
    EXPECT_EQ(ProcessList.size(), roots.size());
    std::vector<const TreeNode*> pending;
    for (size_t i = 0; i < roots.size(); ++i) {
        std::wsmatch match;
        if (!std::regex_match(roots[i].text, match, processText)) {
            ADD_FAILURE() << "process node " << i << " reads \"" << ::testing::PrintToString(roots[i].text) << "\"";
        } else if (i < ProcessList.size()) {
            EXPECT_EQ(std::to_wstring(ProcessList[i].ProcessId), match[1].str()) << "root " << i;
        }
        for (const TreeNode& child : roots[i].children) pending.push_back(&child);
    }
    while (!pending.empty()) {
        const TreeNode* node = pending.back();
        pending.pop_back();
        if (!std::regex_match(node->text, windowText)) {
            ADD_FAILURE() << "window node reads \"" << ::testing::PrintToString(node->text) << "\"";
        }
        for (const TreeNode& child : node->children) pending.push_back(&child);
    }
}

const TreeNode* RootOf(const std::vector<TreeNode>& roots, DWORD processId)
{
    const std::wstring suffix = L" [PID:" + std::to_wstring(processId) + L"]";
    for (const TreeNode& root : roots) {
        if (root.text.size() >= suffix.size() &&
            root.text.compare(root.text.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return &root;
        }
    }
    return nullptr;
}

std::wstring CaptionOf(const std::wstring& nodeText)
{
    const size_t open = nodeText.find(L'\x3010');
    const size_t close = nodeText.rfind(L'\x3011');
    return open == std::wstring::npos || close == std::wstring::npos ? L"" : nodeText.substr(open + 1, close - open - 1);
}

std::wstring ClassOf(const std::wstring& nodeText)
{
    const size_t start = nodeText.rfind(L"[Class:");
    return start == std::wstring::npos ? L"" : nodeText.substr(start + 7, nodeText.size() - start - 8);
}

// ---------------------------------------------------------------------------------------------
// The duplication rule, computed from the windows themselves: a window k levels below its
// top-level window is held by 2^(k-1) objects, so a top-level window costs 1 plus that sum.
long long PredictedObjects(HWND window, int depth)
{
    long long objects = depth == 0 ? 1 : (1LL << (depth - 1));
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        objects += PredictedObjects(child, depth + 1);
    }
    return objects;
}

struct Prediction {
    std::set<DWORD> processes;
    long long objects = 0;
};

BOOL CALLBACK PredictTop(HWND window, LPARAM context)
{
    auto* prediction = reinterpret_cast<Prediction*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (prediction->processes.count(processId) != 0) prediction->objects += PredictedObjects(window, 0);
    return TRUE;
}

// The objects a window pass over the desktop as it is now builds for the processes of the
// last process list.
long long PredictObjectsForRecordedProcesses()
{
    Prediction prediction;
    for (const ProcessRecord& record : ProcessList) prediction.processes.insert(static_cast<DWORD>(record.ProcessId));
    EnumWindows(PredictTop, reinterpret_cast<LPARAM>(&prediction));
    return prediction.objects;
}

// ---------------------------------------------------------------------------------------------

class RobustnessTest : public Form1Fixture {
protected:
    // One click of the scan command; returns the texts of the message boxes it showed. With
    // `failAt`, the click's allocation of that number fails, and `failed` tells whether it came.
    std::vector<std::wstring> Scan(LONG failAt = 0, bool* failed = nullptr)
    {
        MessageBoxCloser closer(kApplicationTitle);
        if (failAt > 0) {
            const AllocationFault fault(failAt);
            m_form->meu_File_Click();
            *failed = AllocationFault::Failed();
        } else {
            m_form->meu_File_Click();
        }
        return closer.Texts();
    }

    // A scan that must succeed: one box with the count, every object released after the fill.
    long ScanExpectingCount()
    {
        const std::vector<std::wstring> texts = Scan();
        EXPECT_EQ(1u, texts.size());
        if (texts.size() != 1 || !IsWholeNumber(texts[0])) {
            ADD_FAILURE() << "the scan said: " << (texts.empty() ? "nothing" : ::testing::PrintToString(texts[0]));
            return -1;
        }
        EXPECT_EQ(0, WindowObjectCount) << "objects left after the fill";
        return std::stol(texts[0]);
    }

    std::vector<TreeNode> Tree() const { return ReadTree(m_form->TreeView1().hWnd()); }

    // How many allocations each stage of a scan makes on this thread, counted over the same
    // stages called one by one; the fill's box is answered as usual.
    struct StageAllocations {
        LONG processList = 0, windowPass = 0, fill = 0;
    };
    StageAllocations CountStageAllocations()
    {
        StageAllocations counts;
        const AllocationFault counting(0);
        BuildProcessList();
        counts.processList = AllocationFault::Seen();
        EnumWindows(EnumTopWindowProc, 0);
        EXPECT_EQ(S_OK, TakeTopWindowFailure());
        counts.windowPass = AllocationFault::Seen() - counts.processList;
        MessageBoxCloser closer(kApplicationTitle);
        const LONG beforeFill = AllocationFault::Seen();
        FillWindowTree(m_form->TreeView1(), m_form->pBar1());
        counts.fill = AllocationFault::Seen() - beforeFill;
        return counts;
    }

    static void StartHelper(SyntheticDesktopProcess& helper)
    {
        ASSERT_TRUE(helper.Started()) << ::testing::PrintToString(helper.Error());
        ASSERT_TRUE(helper.WaitReady(60000)) << "SyntheticDesktop did not build its windows";
    }
};

TEST_F(RobustnessTest, FiftyScansInARowReleaseEverythingAndHoldResourcesSteady)
{
    SyntheticDesktopProcess desktop(L"flat 10 5");
    StartHelper(desktop);
    const GuiCounter gui;
    if (gui.gdi == GuiCounter::Source::Unavailable) {
        std::printf("[   NOTE   ] GDI objects cannot be counted on this platform; their check is left out\n");
    }

    struct Held {
        long user, gdi, blocks;
        SIZE_T privateBytes;
    };
    std::vector<Held> held;
    held.reserve(50);
    for (int scan = 1; scan <= 50; ++scan) {
        const long count = ScanExpectingCount();
        ASSERT_GT(count, 60) << "scan " << scan << ": the helper's 60 windows at least";
        ASSERT_EQ(0, WindowObjectCount) << "scan " << scan;
        ASSERT_EQ(ProcessList.size(), Tree().size()) << "scan " << scan;
        held.push_back(Held{gui.User(), gui.Gdi(), CountingAllocator::LiveBlocks(), PrivateBytes()});
    }

    // The reference is the highest of scans 3 to 7: the first scans still grow caches (the
    // box's resources, the tree's key table, the heap's free lists), and a single reading can
    // dip while the box's drawing objects are still being let go. A leak of one object per
    // scan shows 43 times over by scan 50, well beyond these allowances.
    constexpr long kGdiSlack = 4;
    constexpr long kBlockSlack = 8;
    constexpr SIZE_T kPrivateSlack = 512 * 1024;
    Held early = held[2];
    for (size_t i = 3; i < 7; ++i) {
        early.user = std::max(early.user, held[i].user);
        early.gdi = std::max(early.gdi, held[i].gdi);
        early.blocks = std::max(early.blocks, held[i].blocks);
        early.privateBytes = std::max(early.privateBytes, held[i].privateBytes);
    }
    for (size_t i = 7; i < held.size(); ++i) {
        const Held& now = held[i];
        EXPECT_LE(now.user, early.user) << "USER objects after scan " << i + 1;
        if (gui.gdi != GuiCounter::Source::Unavailable) {
            EXPECT_LE(now.gdi, early.gdi + kGdiSlack) << "GDI objects after scan " << i + 1;
        }
        EXPECT_LE(now.blocks, early.blocks + kBlockSlack) << "heap blocks after scan " << i + 1;
        EXPECT_LE(now.privateBytes, early.privateBytes + kPrivateSlack) << "private bytes after scan " << i + 1;
    }
    const char* const sources[] = {"GetGuiResources", "own windows", "GDI handle table", "unavailable"};
    std::printf("[   INFO   ] early / scan 50: USER %ld/%ld (%s), GDI %ld/%ld (%s), blocks %ld/%ld, private %lu/%lu KB\n",
                early.user, held.back().user, sources[static_cast<int>(gui.user)], early.gdi, held.back().gdi,
                sources[static_cast<int>(gui.gdi)], early.blocks, held.back().blocks,
                static_cast<unsigned long>(early.privateBytes / 1024),
                static_cast<unsigned long>(held.back().privateBytes / 1024));
}

TEST_F(RobustnessTest, WindowsDestroyedWhileTheScanWalksThemNeverBreakIt)
{
    SyntheticDesktopProcess churn(L"churn 8 4");
    StartHelper(churn);
    const std::vector<HWND> first = churn.TopWindows();
    ASSERT_EQ(8u, first.size());

    const Watchdog watchdog(180000, "scanning a churning desktop");
    const std::wregex topCaption(L"^churn [0-9]+$");
    size_t churnNodes = 0;
    size_t vanished = 0;
    for (int scan = 1; scan <= 15; ++scan) {
        ScanExpectingCount();
        const std::vector<TreeNode> roots = Tree();
        ExpectEveryNodeInShape(roots);
        const TreeNode* helper = RootOf(roots, churn.ProcessId());
        ASSERT_NE(nullptr, helper) << "scan " << scan;
        // The helper's own windows: each under its real parent, or gone by the time it was read.
        std::vector<std::pair<const TreeNode*, std::wstring>> pending;
        for (const TreeNode& top : helper->children) pending.emplace_back(&top, L"");
        while (!pending.empty()) {
            const auto [node, parentCaption] = pending.back();
            pending.pop_back();
            const std::wstring caption = CaptionOf(node->text);
            const std::wstring className = ClassOf(node->text);
            if (className == SyntheticDesktopProcess::kWindowClass || className.empty()) {
                ++churnNodes;
                if (caption == L"INVALID") {
                    ++vanished;
                } else if (!parentCaption.empty() && parentCaption != L"INVALID") {
                    EXPECT_EQ(0u, caption.find(parentCaption + L".")) << ::testing::PrintToString(caption)
                                                                      << " under " << ::testing::PrintToString(parentCaption);
                } else if (parentCaption.empty()) {
                    EXPECT_TRUE(std::regex_match(caption, topCaption))
                        << ::testing::PrintToString(caption);
                }
            }
            for (const TreeNode& child : node->children) pending.emplace_back(&child, caption);
        }
    }

    // The helper really churned: none of its first windows outlived the scans.
    for (HWND window : first) EXPECT_FALSE(IsWindow(window));
    EXPECT_GT(churnNodes, 0u) << "the scans never saw the helper's windows";
    std::printf("[   INFO   ] %zu of the helper's window nodes over 15 scans, %zu read after they were gone\n",
                churnNodes, vanished);
}

TEST_F(RobustnessTest, AWindowThatNeverAnswersDoesNotHoldUpTheScan)
{
    SyntheticDesktopProcess hung(L"hung 3");
    StartHelper(hung);
    const std::vector<HWND> windows = hung.TopWindows();
    ASSERT_EQ(1u, windows.size());
    DWORD_PTR answer = 0;
    ASSERT_EQ(0, SendMessageTimeoutW(windows[0], WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 1000, &answer))
        << "the helper still answers messages";

    const Watchdog watchdog(60000, "scanning a desktop with a hung window");
    ScanExpectingCount();

    const std::vector<TreeNode> roots = Tree();
    ExpectEveryNodeInShape(roots);
    const TreeNode* helper = RootOf(roots, hung.ProcessId());
    ASSERT_NE(nullptr, helper);
    const std::wstring topText = L"hWnd: " + FormatHandleHex(HandleValue(windows[0])) + L"  \x3010hung top\x3011  [Class:" +
                                 SyntheticDesktopProcess::kWindowClass + L"]";
    const TreeNode* top = FindNode(helper->children, topText);
    ASSERT_NE(nullptr, top) << "the hung window is in the tree with its caption, read without asking it";
    ASSERT_EQ(3u, top->children.size());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(L"hung child " + std::to_wstring(i), CaptionOf(top->children[i].text));
}

TEST_F(RobustnessTest, AChainSixteenDeepBuildsTheObjectsTheDuplicationRulePredicts)
{
    const Watchdog watchdog(300000, "scanning a chain 16 windows deep");
    const long without = ScanExpectingCount();
    const long long predictedWithout = PredictObjectsForRecordedProcesses();
    EXPECT_EQ(predictedWithout, without) << "the rule holds for the desktop as it is";

    SyntheticDesktopProcess chain(L"chain 16");
    StartHelper(chain);
    const std::vector<HWND> tops = chain.TopWindows();
    ASSERT_EQ(1u, tops.size());
    EXPECT_EQ(1LL << 16, PredictedObjects(tops[0], 0)) << "a chain of 16: 1 + 1 + 2 + ... + 2^15 objects";

    const long with = ScanExpectingCount();
    EXPECT_EQ(PredictObjectsForRecordedProcesses(), with) << "the rule holds with the chain too";
    EXPECT_GE(with - without, 1L << 16) << "the chain's objects came on top of the rest";

    // The tree keeps each window of the chain once, under its real parent.
    const std::vector<TreeNode> roots = Tree();
    const TreeNode* root = RootOf(roots, chain.ProcessId());
    ASSERT_NE(nullptr, root);
    const TreeNode* node = FindNode(root->children, L"hWnd: " + FormatHandleHex(HandleValue(tops[0])));
    ASSERT_NE(nullptr, node);
    for (int level = 1; level <= 16; ++level) {
        ASSERT_EQ(1u, node->children.size()) << "level " << level;
        node = &node->children[0];
        EXPECT_EQ(L"chain " + std::to_wstring(level), CaptionOf(node->text));
    }
    EXPECT_TRUE(node->children.empty());
}

TEST_F(RobustnessTest, RunningOutOfMemoryInEachStageIsReportedAndTheNextScanIsWhole)
{
    SyntheticDesktopProcess desktop(L"flat 4 3");
    StartHelper(desktop);
    const long reference = ScanExpectingCount();
    const std::vector<TreeNode> referenceTree = Tree();
    ASSERT_GT(reference, 16);

    const StageAllocations counts = CountStageAllocations();
    ASSERT_EQ(0, WindowObjectCount);
    ASSERT_GT(counts.processList, 4);
    ASSERT_GT(counts.windowPass, reference) << "each object needs a block or more";
    const LONG processListAllocations = counts.processList;
    const LONG windowPassAllocations = counts.windowPass;
    // Each case starts from a whole scan's records and tree, which its recovery must return to.
    ASSERT_EQ(reference, ScanExpectingCount());

    enum class Stage { ProcessList, WindowPass, Fill };
    struct Case {
        const char* name;
        Stage stage;
        LONG failAt;
        bool someObjectsBuilt;
    };
    const Case cases[] = {
        {"the process list's first record", Stage::ProcessList, 2, false},
        {"the middle of the process list", Stage::ProcessList, processListAllocations / 2, false},
        {"the window pass's first object", Stage::WindowPass, processListAllocations + 1, false},
        {"the middle of the window pass", Stage::WindowPass, processListAllocations + windowPassAllocations / 2, true},
        {"the window pass's last allocation", Stage::WindowPass, processListAllocations + windowPassAllocations, true},
        {"the start of the fill", Stage::Fill, processListAllocations + windowPassAllocations + 1, true},
    };
    for (const Case& failure : cases) {
        SCOPED_TRACE(failure.name);
        const LONG blocksBefore = CountingAllocator::LiveBlocks();
        {
            bool failed = false;
            const std::vector<std::wstring> texts = Scan(failure.failAt, &failed);
            ASSERT_TRUE(failed) << "allocation " << failure.failAt << " never came";
            ASSERT_EQ(1u, texts.size());
            EXPECT_EQ(L"Run-time error '7': Out of memory", texts[0]);
        }
        ASSERT_TRUE(IsWindow(m_form->hWnd()));
        ASSERT_TRUE(IsWindowEnabled(m_form->hWnd())) << "the box has let go of its owner";

        switch (failure.stage) {
        case Stage::ProcessList:
            EXPECT_EQ(0, WindowObjectCount) << "no window pass ran";
            EXPECT_EQ(referenceTree.size(), Tree().size()) << "the last scan's tree stays until a fill";
            break;
        case Stage::WindowPass:
            // The objects built so far wait in their records for the next scan to release them.
            EXPECT_EQ(failure.someObjectsBuilt, WindowObjectCount > 0) << WindowObjectCount;
            EXPECT_LE(WindowObjectCount, reference);
            EXPECT_EQ(referenceTree.size(), Tree().size());
            break;
        case Stage::Fill:
            EXPECT_EQ(reference, WindowObjectCount) << "every object was built and none released yet";
            EXPECT_TRUE(Tree().empty()) << "the fill had cleared the tree";
            break;
        }

        // The next scan releases whatever the failed one left and fills the whole tree again.
        EXPECT_EQ(reference, ScanExpectingCount());
        {
            const std::vector<TreeNode> tree = Tree();
            EXPECT_EQ(CountNodes(referenceTree), CountNodes(tree));
            const TreeNode* helper = RootOf(tree, desktop.ProcessId());
            const TreeNode* helperBefore = RootOf(referenceTree, desktop.ProcessId());
            ASSERT_NE(nullptr, helper);
            ASSERT_NE(nullptr, helperBefore);
            EXPECT_EQ(CountNodes(helperBefore->children), CountNodes(helper->children));
        }
        EXPECT_EQ(blocksBefore, CountingAllocator::LiveBlocks()) << "blocks left over from the failed scan";
    }
}

// Most of the fill's allocations happen while window nodes are built, where a failing step is
// skipped because a repeated copy of a window fails on its key. Running out of memory there must
// still be reported: otherwise a node, and every node beneath it, would go missing unannounced.
TEST_F(RobustnessTest, RunningOutOfMemoryWhileWindowNodesAreBuiltIsReportedToo)
{
    SyntheticDesktopProcess desktop(L"flat 4 3");
    StartHelper(desktop);
    ScanExpectingCount();
    const size_t whole = CountNodes(Tree());
    const StageAllocations counts = CountStageAllocations();
    const LONG fillStart = counts.processList + counts.windowPass;
    int reports = 0;
    for (LONG k = 2; k <= counts.fill; k += std::max<LONG>(1, counts.fill / 16)) {
        bool failed = false;
        const std::vector<std::wstring> texts = Scan(fillStart + k, &failed);
        const size_t nodes = CountNodes(Tree());
        const bool reported = !texts.empty() && texts.back() == L"Run-time error '7': Out of memory";
        reports += reported;
        EXPECT_TRUE(!failed || reported || nodes == whole)
            << "allocation " << k << " of " << counts.fill << " in the fill failed unreported; the tree shows "
            << nodes << " of " << whole << " nodes";
        ASSERT_TRUE(IsWindowEnabled(m_form->hWnd()));
        ScanExpectingCount();
        EXPECT_EQ(whole, CountNodes(Tree())) << "the scan after allocation " << k << " failed";
    }
    EXPECT_GE(reports, 8) << "the failures landed where nothing is built";
}

} // namespace
