// The inventory module: the process list from scripted snapshots (process sets the real platform
// cannot be made to show) and the real one, the top-level window pass on the real desktop, and
// the fill of a real tree view and progress bar, its message box answered as a person would.
#include "inventory/APi.h"
#include "platform/ProcessSnapshot.h"
#include "support/MessageBoxCloser.h"
#include "support/TestWindows.h"
#include "support/TreeReader.h"
#include "window_model/ScreenWindowInfo.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// What the scripted snapshot delivers, and what it saw.
struct Script {
    bool fails = false;
    std::vector<std::pair<DWORD, std::string>> entries; // names in ANSI bytes, as the platform writes them
    size_t next = 0;
    int closes = 0;
    DWORD sizeAtFirst = 0;
    bool nameZeroAtFirst = false;
} g_script;

BOOL WINAPI Deliver(HANDLE, ProcessEntryRecord* entry)
{
    if (g_script.next >= g_script.entries.size()) return FALSE;
    const auto& [processId, name] = g_script.entries[g_script.next++];
    entry->th32ProcessID = processId;
    std::memcpy(entry->szExeFile, name.c_str(), name.size() + 1); // like the platform: name and NUL only
    return TRUE;
}

HANDLE WINAPI CreateScripted(DWORD, DWORD)
{
    return g_script.fails ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(0x5150);
}

BOOL WINAPI DeliverFirst(HANDLE snapshot, ProcessEntryRecord* entry)
{
    g_script.sizeAtFirst = entry->dwSize;
    const char zeros[sizeof entry->szExeFile] = {};
    g_script.nameZeroAtFirst = std::memcmp(entry->szExeFile, zeros, sizeof zeros) == 0;
    return Deliver(snapshot, entry);
}

BOOL WINAPI CloseScripted(HANDLE)
{
    ++g_script.closes;
    return TRUE;
}

const ToolhelpApi kScripted = {CreateScripted, DeliverFirst, Deliver, CloseScripted};

std::wstring FromAnsi(const char* text)
{
    wchar_t wide[64] = {};
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64);
    return wide;
}

ComPtr<IScreenWindowInfo> ObjectFor(HWND window)
{
    ComPtr<IScreenWindowInfo> object;
    EXPECT_EQ(S_OK, ScreenWindowInfo::Create(object.put()));
    EXPECT_EQ(S_OK, object->put_hWnd(HandleValue(window)));
    return object;
}

std::vector<LONG> HandlesOf(const ProcessRecord& record)
{
    std::vector<LONG> handles;
    for (const ComPtr<IScreenWindowInfo>& window : record.Windows.value_or(std::vector<ComPtr<IScreenWindowInfo>>{})) {
        handles.emplace_back();
        window->get_hWnd(&handles.back());
    }
    return handles;
}

TEST(BuildProcessListTest, ScriptedSnapshotsGiveEveryEntryButTheFirstOrThePlaceholder)
{
    const struct {
        const char* name;
        Script script;
        std::vector<std::pair<LONG, std::wstring>> records;
    } cases[] = {
        {"order kept", {false, {{100, "a.exe"}, {200, "b.exe"}, {300, "c.exe"}}}, {{200, L"b.exe"}, {300, L"c.exe"}}},
        {"short name after a long one", {false, {{1, "first.exe"}, {2, "a-rather-long-name.exe"}, {3, "s.exe"}}},
         {{2, L"a-rather-long-name.exe"}, {3, L"s.exe"}}},
        {"ANSI name", {false, {{1, "first.exe"}, {2, "caf\xE9 \xA5.exe"}}}, {{2, FromAnsi("caf\xE9 \xA5.exe")}}},
        {"only the first entry", {false, {{100, "only.exe"}}}, {{0, L""}}},
        {"failing snapshot", {true, {}}, {{0, L""}}},
    };
    UniqueWindow top = CreateTopWindow(L"held by the previous scan");
    UniqueWindow child = CreateChildWindow(top.get());
    const LONG before = WindowObjectCount;
    for (const auto& scanned : cases) {
        SCOPED_TRACE(scanned.name);
        ProcessList.assign(1, ProcessRecord{});
        ProcessList[0].Windows.emplace().push_back(ObjectFor(top.get()));
        g_script = scanned.script;
        {
            const ScopedToolhelpReplacement replacement(kScripted);
            BuildProcessList();
        }
        EXPECT_EQ(before, WindowObjectCount) << "the previous scan's objects are released";
        std::vector<std::pair<LONG, std::wstring>> records;
        for (const ProcessRecord& record : ProcessList) {
            records.emplace_back(record.ProcessId, record.ExeName);
            EXPECT_FALSE(record.Windows.has_value());
        }
        EXPECT_EQ(scanned.records, records);
        EXPECT_EQ(scanned.script.fails ? 0 : 1, g_script.closes);
        if (!scanned.script.fails) {
            EXPECT_EQ(1060u, g_script.sizeAtFirst);
            EXPECT_TRUE(g_script.nameZeroAtFirst);
        }
    }
}

TEST(BuildProcessListTest, RealSnapshotRecordsEveryProcessButTheFirst)
{
    BuildProcessList();
    std::vector<DWORD> real;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        real.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    ASSERT_GE(real.size(), 2u);
    std::vector<DWORD> recorded;
    for (const ProcessRecord& record : ProcessList) {
        recorded.push_back(static_cast<DWORD>(record.ProcessId));
        if (recorded.back() == GetCurrentProcessId()) {
            EXPECT_EQ(L"inventory_tests.exe", record.ExeName);
        }
    }
    EXPECT_EQ(std::vector<DWORD>(real.begin() + 1, real.end()), recorded);
    ProcessList.clear();
}

BOOL CALLBACK CollectTop(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

TEST(TopWindowPassTest, EachWindowJoinsItsProcessRecordInEnumerationOrderWithItsChildTree)
{
    UniqueWindow first = CreateTopWindow(L"first");
    UniqueWindow second = CreateTopWindow(L"second");
    UniqueWindow third = CreateTopWindow(L"third");
    UniqueWindow child = CreateChildWindow(second.get());
    UniqueWindow grandchild = CreateChildWindow(child.get());
    ProcessList.assign(1, ProcessRecord{L"me.exe", static_cast<LONG>(GetCurrentProcessId()), std::nullopt});

    // Every window is answered "go on"; only this process's join its record, in platform order.
    std::vector<HWND> all;
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&all));
    std::vector<LONG> own;
    for (const HWND window : all) {
        EXPECT_EQ(TRUE, EnumTopWindowProc(window, 0));
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (processId == GetCurrentProcessId()) own.push_back(HandleValue(window));
    }
    EXPECT_GT(all.size(), own.size()) << "the desktop has windows of other processes";
    ASSERT_EQ(own, HandlesOf(ProcessList[0]));
    EXPECT_EQ((std::vector<LONG>{HandleValue(third.get()), HandleValue(second.get()), HandleValue(first.get())}),
              std::vector<LONG>(own.begin(), own.begin() + 3)) << "the newest window is on top";
    LONG count = -1;
    (*ProcessList[0].Windows)[1]->get_GetChildCount(&count);
    EXPECT_EQ(1, count) << "the second window holds its child and grandchild";

    // The placeholder record takes only windows whose process cannot be told.
    const HWND goneHandle = first.get();
    first.reset();
    ProcessList.assign(1, ProcessRecord{});
    EXPECT_EQ(TRUE, EnumTopWindowProc(second.get(), 0));
    EXPECT_FALSE(ProcessList[0].Windows.has_value());
    EXPECT_EQ(TRUE, EnumTopWindowProc(goneHandle, 0));
    EXPECT_EQ(std::vector<LONG>{HandleValue(goneHandle)}, HandlesOf(ProcessList[0]));
    ProcessList.clear();
}

LRESULT CALLBACK RecordProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR log)
{
    // Each position in its range, with the window objects still alive at that moment.
    if (message == PBM_SETPOS) {
        reinterpret_cast<std::vector<std::string>*>(log)->push_back(
            "at " + std::to_string(wParam) + " of " + std::to_string(SendMessageW(window, PBM_GETRANGE, FALSE, 0)) +
            ", objects " + std::to_string(WindowObjectCount));
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

class TreeFillingTest : public ::testing::Test {
protected:
    TreeFillingTest()
    {
        INITCOMMONCONTROLSEX init = {sizeof init, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&init);
        m_tree = std::make_unique<TreeViewControl>(m_host.get(), 1, RECT{0, 0, 280, 150});
        m_progress = std::make_unique<ProgressBarControl>(m_host.get(), 2, RECT{0, 155, 280, 170});
        SetWindowSubclass(m_progress->hWnd(), RecordProgress, 1, reinterpret_cast<DWORD_PTR>(&m_progressLog));
    }
    ~TreeFillingTest() override { ProcessList.clear(); }

    void AddRecord(const wchar_t* name, LONG processId, std::vector<HWND> windows = {})
    {
        ProcessList.push_back(ProcessRecord{name, processId, std::nullopt});
        if (!windows.empty()) ProcessList.back().Windows.emplace();
        for (const HWND window : windows) ProcessList.back().Windows->push_back(ObjectFor(window));
    }

    // Runs the fill and returns the tree it left; the box's text goes to `boxText`.
    std::vector<std::wstring> Fill(std::wstring* boxText = nullptr)
    {
        MessageBoxCloser closer;
        FillWindowTree(*m_tree, *m_progress);
        EXPECT_EQ(1u, closer.Texts().size());
        if (boxText != nullptr && !closer.Texts().empty()) *boxText = closer.Texts()[0];
        return Outline(ReadTree(m_tree->hWnd()));
    }

    static std::wstring NodeText(HWND window, const std::wstring& caption)
    {
        return L"hWnd: " + FormatHandleHex(HandleValue(window)) + L"  \x3010" + caption + L"\x3011  [Class:" +
               TestWindowClass() + L"]";
    }

    UniqueWindow m_host = CreateTopWindow(L"tree host", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    std::unique_ptr<TreeViewControl> m_tree;
    std::unique_ptr<ProgressBarControl> m_progress;
    std::vector<std::string> m_progressLog;
};

TEST_F(TreeFillingTest, EachWindowShowsOnceUnderItsParentAndIsReleasedWithItsTopLevelWindow)
{
    UniqueWindow t = CreateTopWindow(L"Save As");
    UniqueWindow c = CreateChildWindow(t.get(), L"C");
    UniqueWindow g = CreateChildWindow(c.get(), L"");
    UniqueWindow w = CreateTopWindow(L"");
    UniqueWindow other = CreateTopWindow(L"other");
    const LONG before = WindowObjectCount;
    AddRecord(L"idle.exe", 11);
    AddRecord(L"explorer.exe", 1234, {t.get(), w.get()}); // t holds c and g, c holds g: 4 objects and w
    AddRecord(L"other.exe", 33, {other.get()});
    m_progress->put_Max(50);
    m_progress->put_Value(50); // left over from a larger earlier scan
    m_progressLog.clear();

    std::wstring box;
    EXPECT_EQ((std::vector<std::wstring>{
                  L"idle.exe [PID:11]", L"explorer.exe [PID:1234]", L"  " + NodeText(t.get(), L"Save As"),
                  L"    " + NodeText(c.get(), L"C"), L"      " + NodeText(g.get(), L"INVALID"),
                  L"  " + NodeText(w.get(), L"INVALID"), L"other.exe [PID:33]", L"  " + NodeText(other.get(), L"other")}),
              Fill(&box));
    EXPECT_EQ(std::to_wstring(before + 6), box);
    // One position per process, reached once the objects of the processes before it are released.
    const auto objects = [&](LONG extra) { return " of 2, objects " + std::to_string(before + extra); };
    ASSERT_GE(m_progressLog.size(), 3u);
    EXPECT_EQ((std::vector<std::string>{"at 0" + objects(6), "at 1" + objects(6), "at 2" + objects(1)}),
              std::vector<std::string>(m_progressLog.end() - 3, m_progressLog.end()));
    EXPECT_EQ(before, WindowObjectCount);
    // The records and their slots stay until the next scan, empty.
    ASSERT_EQ(2u, ProcessList[1].Windows->size());
    EXPECT_FALSE((*ProcessList[1].Windows)[0]);
}

TEST_F(TreeFillingTest, WindowHandlesAndProcessIdsThatCollideStillGetTheirNodes)
{
    UniqueWindow w = CreateTopWindow(L"collides");
    UniqueWindow child = CreateChildWindow(w.get(), L"under it");
    const std::wstring handle = std::to_wstring(HandleValue(w.get()));
    const std::wstring childHandle = std::to_wstring(HandleValue(child.get()));
    // A process whose identifier equals a later window's handle, and one equal to an earlier one's.
    AddRecord(L"early.exe", HandleValue(w.get()));
    AddRecord(L"owner.exe", 4321, {w.get()});
    AddRecord(L"clash.exe", HandleValue(child.get()));
    AddRecord(L"later.exe", 99);
    EXPECT_EQ((std::vector<std::wstring>{L"early.exe [PID:" + handle + L"]", L"owner.exe [PID:4321]",
                                         L"  " + NodeText(w.get(), L"collides"),
                                         L"    " + NodeText(child.get(), L"under it"),
                                         L"clash.exe [PID:" + childHandle + L"]", L"later.exe [PID:99]"}),
              Fill());
}

TEST_F(TreeFillingTest, AFailingStepCostsOnlyThatStep)
{
    UniqueWindow t = CreateTopWindow(L"parent");
    UniqueWindow c = CreateChildWindow(t.get(), L"child");
    const ComPtr<IScreenWindowInfo> object = ObjectFor(t.get());
    ASSERT_EQ(S_OK, m_tree->AddRoot(L"root", L"root"));
    // An unknown parent key: the window's node fails, its children are still walked (and fail
    // the same way); nothing leaves AddWindowNode.
    AddWindowNode(*m_tree, object.get(), L"no such key");
    AddWindowNode(*m_tree, nullptr, L"root");
    EXPECT_EQ(1u, m_tree->Count());
    AddWindowNode(*m_tree, object.get(), L"root");
    EXPECT_EQ(3u, m_tree->Count());
}

} // namespace
