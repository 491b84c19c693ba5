// The inventory module: the process list from scripted snapshots (process sets the real platform
// cannot be made to show) and the fill of a real tree view and progress bar, its message box
// answered as a person would. The window pass on the real desktop is tested through Form1's scan.
#include "inventory/APi.h"
#include "inventory/NodeText.h"
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

// What the scripted snapshot delivers (names in ANSI bytes, as the platform writes them).
bool g_snapshotFails = false;
std::vector<std::pair<DWORD, std::string>> g_entries;
size_t g_next = 0;
int g_closes = 0;

HANDLE WINAPI CreateScripted(DWORD, DWORD)
{
    g_next = 0;
    return g_snapshotFails ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(0x5150);
}

BOOL WINAPI Deliver(HANDLE, ProcessEntryRecord* entry)
{
    if (g_next >= g_entries.size()) return FALSE;
    entry->th32ProcessID = g_entries[g_next].first;
    const std::string& name = g_entries[g_next++].second;
    std::memcpy(entry->szExeFile, name.c_str(), name.size() + 1); // like the platform: name and NUL only
    return TRUE;
}

BOOL WINAPI CloseScripted(HANDLE)
{
    return ++g_closes, TRUE;
}

std::wstring FromAnsi(const char* text)
{
    wchar_t wide[64] = {};
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64);
    return wide;
}

// The one spelling of every name, for values the platform would never hand a test.
TEST(NodeTextTest, NamesAreSpelledAsTheTreeShowsThem)
{
    EXPECT_EQ(L"hWnd: 000A0B2Ch  \x3010Save As\x3011  [Class:#32770]", WindowNodeText(0x000A0B2C, L"Save As", L"#32770"));
    EXPECT_EQ(L"hWnd: 000A0B2Ch  \x3010INVALID\x3011  [Class:#32770]", WindowNodeText(0x000A0B2C, L"", L"#32770"));
    EXPECT_EQ(L"hWnd: FFFFFFFEh  \x3010x\x3011  [Class:]", WindowNodeText(-2, L"x", L""));
    EXPECT_EQ(L"explorer.exe [PID:1234]", ProcessNodeText(L"explorer.exe", 1234));
    EXPECT_EQ(L" [PID:0]", ProcessNodeText(L"", 0));
    EXPECT_EQ(L"HWND658220", WindowNodeKey(658220));
    EXPECT_EQ(L"HWND-2", WindowNodeKey(-2));
    EXPECT_EQ(L"PID1234", ProcessNodeKey(1234));
}

TEST(BuildProcessListTest, ScriptedSnapshotsGiveEveryEntryButTheFirstOrThePlaceholder)
{
    const struct {
        const char* name;
        bool fails;
        std::vector<std::pair<DWORD, std::string>> entries;
        std::vector<std::pair<LONG, std::wstring>> records;
    } cases[] = {
        {"order kept", false, {{100, "a.exe"}, {200, "b.exe"}, {300, "c.exe"}}, {{200, L"b.exe"}, {300, L"c.exe"}}},
        {"short name after a long one", false, {{1, "first.exe"}, {2, "a-rather-long-name.exe"}, {3, "s.exe"}},
         {{2, L"a-rather-long-name.exe"}, {3, L"s.exe"}}},
        {"ANSI name", false, {{1, "first.exe"}, {2, "caf\xE9 \xA5.exe"}}, {{2, FromAnsi("caf\xE9 \xA5.exe")}}},
        {"only the first entry", false, {{100, "only.exe"}}, {{0, L""}}},
        {"failing snapshot", true, {}, {{0, L""}}},
    };
    static const ToolhelpApi scripted = {CreateScripted, Deliver, Deliver, CloseScripted};
    const ScopedToolhelpReplacement replacement(scripted);
    for (const auto& scanned : cases) {
        g_snapshotFails = scanned.fails;
        g_entries = scanned.entries;
        g_closes = 0;
        BuildProcessList();
        std::vector<std::pair<LONG, std::wstring>> records;
        for (const ProcessRecord& record : ProcessList) {
            records.emplace_back(record.ProcessId, record.ExeName);
            EXPECT_FALSE(record.Windows.has_value());
        }
        EXPECT_EQ(scanned.records, records) << scanned.name;
        EXPECT_EQ(scanned.fails ? 0 : 1, g_closes) << scanned.name;
    }
}

class TreeFillingTest : public ::testing::Test {
protected:
    TreeFillingTest() { ProcessList.clear(); }
    ~TreeFillingTest() override { ProcessList.clear(); }

    void AddRecord(const wchar_t* name, LONG processId, std::vector<HWND> windows = {})
    {
        ProcessList.push_back(ProcessRecord{name, processId, std::nullopt});
        if (!windows.empty()) ProcessList.back().Windows.emplace();
        for (const HWND window : windows) ProcessList.back().Windows->push_back(ObjectFor(window));
    }

    // Runs the fill and returns the tree it left as an outline; `boxText` gets the box's text.
    std::vector<std::wstring> Fill(std::wstring* boxText = nullptr)
    {
        MessageBoxCloser closer;
        FillWindowTree(m_tree, m_progress);
        const std::vector<ShownBox> boxes = closer.Boxes();
        EXPECT_EQ(1u, boxes.size());
        if (boxText != nullptr && !boxes.empty()) *boxText = boxes[0].text;
        return ReadTree(m_tree.hWnd());
    }

    static bool InitControls()
    {
        const INITCOMMONCONTROLSEX init = {sizeof init, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
        return InitCommonControlsEx(&init);
    }

    const bool m_controls = InitControls();
    UniqueWindow m_host = CreateTopWindow(L"tree host", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    TreeViewControl m_tree{m_host.get(), 1, RECT{0, 0, 280, 150}};
    ProgressBarControl m_progress{m_host.get(), 2, RECT{0, 155, 280, 170}};
};

TEST_F(TreeFillingTest, EachWindowShowsOnceUnderItsParentAndEveryObjectIsReleased)
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
    m_progress.put_Max(50);
    m_progress.put_Value(50); // left over from a larger earlier scan

    std::wstring box;
    EXPECT_EQ((std::vector<std::wstring>{
                  L"idle.exe [PID:11]", L"explorer.exe [PID:1234]", L"  " + NodeTextOf(t.get(), L"Save As"),
                  L"    " + NodeTextOf(c.get(), L"C"), L"      " + NodeTextOf(g.get(), L"INVALID"),
                  L"  " + NodeTextOf(w.get(), L"INVALID"), L"other.exe [PID:33]", L"  " + NodeTextOf(other.get(), L"other")}),
              Fill(&box));
    EXPECT_EQ(std::to_wstring(before + 6), box);
    EXPECT_EQ(2.0f, m_progress.Max()) << "one step per process";
    EXPECT_EQ(2.0f, m_progress.Value());
    EXPECT_EQ(before, WindowObjectCount);
    // The records and their slots stay until the next scan, empty.
    ASSERT_EQ(2u, ProcessList[1].Windows->size());
    EXPECT_FALSE((*ProcessList[1].Windows)[0]);
}

TEST_F(TreeFillingTest, WindowHandlesAndProcessIdsThatCollideStillGetTheirNodes)
{
    UniqueWindow w = CreateTopWindow(L"collides");
    UniqueWindow child = CreateChildWindow(w.get(), L"under it");
    // A process whose identifier equals a later window's handle, and one equal to an earlier one's.
    AddRecord(L"early.exe", HandleValue(w.get()));
    AddRecord(L"owner.exe", 4321, {w.get()});
    AddRecord(L"clash.exe", HandleValue(child.get()));
    EXPECT_EQ((std::vector<std::wstring>{L"early.exe [PID:" + std::to_wstring(HandleValue(w.get())) + L"]",
                                         L"owner.exe [PID:4321]", L"  " + NodeTextOf(w.get(), L"collides"),
                                         L"    " + NodeTextOf(child.get(), L"under it"),
                                         L"clash.exe [PID:" + std::to_wstring(HandleValue(child.get())) + L"]"}),
              Fill());
}

} // namespace
