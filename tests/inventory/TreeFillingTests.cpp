// FillWindowTree and AddWindowNode into a real tree view and progress bar, with the real
// message box closed as a person would close it.
#include "inventory/APi.h"
#include "platform/MessageBox.h"
#include "support/MessageBoxCloser.h"
#include "support/TestWindows.h"
#include "support/TreeReader.h"
#include "window_model/ScreenWindowInfo.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

TEST(FormatHandleHexTest, EightUppercaseDigitsAndH)
{
    EXPECT_EQ(L"00001A2Bh", FormatHandleHex(0x1A2B));
    EXPECT_EQ(L"00000000h", FormatHandleHex(0));
    EXPECT_EQ(L"000A0B2Ch", FormatHandleHex(0x000A0B2C));
    EXPECT_EQ(L"FFFFFFFFh", FormatHandleHex(-1));
    EXPECT_EQ(L"80000000h", FormatHandleHex(-2147483647 - 1));
    EXPECT_EQ(L"7FFFFFFFh", FormatHandleHex(2147483647));
}

TEST(NodeKeyTest, WindowAndProcessKeysNeverMeet)
{
    EXPECT_EQ(L"HWND658220", WindowNodeKey(658220));
    EXPECT_EQ(L"HWND-5", WindowNodeKey(-5));
    EXPECT_NE(WindowNodeKey(1234), ProcessNodeKey(1234));
}

// Progress-bar messages as the control receives them.
struct ProgressLog {
    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;
    std::vector<LONG> countsAtPosition; // live window objects at each position
};

LRESULT CALLBACK RecordProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR log)
{
    auto* record = reinterpret_cast<ProgressLog*>(log);
    if (message == PBM_SETRANGE32) record->ranges.emplace_back(static_cast<int>(wParam), static_cast<int>(lParam));
    if (message == PBM_SETPOS) {
        record->positions.push_back(static_cast<int>(wParam));
        record->countsAtPosition.push_back(WindowObjectCount);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

class TreeFillingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX init = {sizeof init, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&init);
        m_host = CreateTopWindow(L"tree host", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        m_tree = std::make_unique<TreeViewControl>(m_host.get(), 1, RECT{0, 0, 280, 150});
        m_progress = std::make_unique<ProgressBarControl>(m_host.get(), 2, RECT{0, 155, 280, 170});
        SetWindowSubclass(m_progress->hWnd(), RecordProgress, 1, reinterpret_cast<DWORD_PTR>(&m_log));
    }

    void TearDown() override
    {
        RemoveWindowSubclass(m_progress->hWnd(), RecordProgress, 1);
        ProcessList.clear();
    }

    ComPtr<IScreenWindowInfo> ObjectFor(HWND window)
    {
        ComPtr<IScreenWindowInfo> object;
        EXPECT_EQ(S_OK, ScreenWindowInfo::Create(object.put()));
        EXPECT_EQ(S_OK, object->put_hWnd(HandleValue(window)));
        return object;
    }

    // Runs the fill and returns what the message box said.
    std::wstring Fill()
    {
        MessageBoxCloser closer(kApplicationTitle);
        FillWindowTree(*m_tree, *m_progress);
        const std::vector<std::wstring> texts = closer.Texts();
        EXPECT_EQ(1u, texts.size());
        return texts.empty() ? L"" : texts.front();
    }

    static std::wstring WindowText(HWND window, const std::wstring& caption)
    {
        return L"hWnd: " + FormatHandleHex(HandleValue(window)) + L"  \x3010" + caption + L"\x3011  [Class:" +
               TestWindowClass() + L"]";
    }

    UniqueWindow m_host;
    std::unique_ptr<TreeViewControl> m_tree;
    std::unique_ptr<ProgressBarControl> m_progress;
    ProgressLog m_log;
};

TEST_F(TreeFillingTest, EachWindowShowsOnceUnderItsParentWithExactTexts)
{
    UniqueWindow t = CreateTopWindow(L"Save As");
    UniqueWindow c = CreateChildWindow(t.get(), L"C");
    UniqueWindow g = CreateChildWindow(c.get(), L"");
    UniqueWindow w = CreateTopWindow(L"INVALID");

    const LONG before = WindowObjectCount;
    ProcessList.assign(1, ProcessRecord{L"explorer.exe", 1234, std::nullopt});
    ProcessList[0].Windows.emplace();
    ProcessList[0].Windows->push_back(ObjectFor(t.get()));
    ProcessList[0].Windows->push_back(ObjectFor(w.get()));
    ASSERT_EQ(before + 5, WindowObjectCount); // T holds C and G, C holds G, W

    EXPECT_EQ(std::to_wstring(before + 5), Fill());

    const std::vector<TreeNode> expected = {
        {L"explorer.exe [PID:1234]",
         {{WindowText(t.get(), L"Save As"), {{WindowText(c.get(), L"C"), {{WindowText(g.get(), L"INVALID"), {}}}}}},
          {WindowText(w.get(), L"INVALID"), {}}}}};
    const std::vector<TreeNode> actual = ReadTree(m_tree->hWnd());
    ASSERT_EQ(1u, actual.size());
    EXPECT_EQ(expected[0].text, actual[0].text);
    ASSERT_EQ(2u, actual[0].children.size());
    EXPECT_EQ(expected[0].children[0].text, actual[0].children[0].text);
    ASSERT_EQ(1u, actual[0].children[0].children.size());
    EXPECT_EQ(expected[0].children[0].children[0].text, actual[0].children[0].children[0].text);
    ASSERT_EQ(1u, actual[0].children[0].children[0].children.size());
    EXPECT_EQ(expected[0].children[0].children[0].children[0].text,
              actual[0].children[0].children[0].children[0].text);
    EXPECT_EQ(expected[0].children[1].text, actual[0].children[1].text);
    EXPECT_EQ(5u, CountNodes(actual));

    // Released, slot by slot; the record and its slots stay until the next scan.
    EXPECT_EQ(before, WindowObjectCount);
    ASSERT_TRUE(ProcessList[0].Windows.has_value());
    ASSERT_EQ(2u, ProcessList[0].Windows->size());
    EXPECT_FALSE((*ProcessList[0].Windows)[0]);
    EXPECT_FALSE((*ProcessList[0].Windows)[1]);
}

TEST_F(TreeFillingTest, PlaceholderOnlyGivesOneBareRootAndAZeroRange)
{
    ProcessList.assign(1, ProcessRecord{});
    Fill();
    const std::vector<TreeNode> actual = ReadTree(m_tree->hWnd());
    ASSERT_EQ(1u, actual.size());
    EXPECT_EQ(L" [PID:0]", actual[0].text);
    EXPECT_TRUE(actual[0].children.empty());
    EXPECT_EQ(0.0f, m_progress->Max());
    EXPECT_EQ(0.0f, m_progress->Min());
    EXPECT_EQ(0.0f, m_progress->Value());
}

TEST_F(TreeFillingTest, ProgressAdvancesPerProcessWhileObjectsAreReleased)
{
    UniqueWindow a = CreateTopWindow(L"a");
    UniqueWindow aChild = CreateChildWindow(a.get());
    UniqueWindow b = CreateTopWindow(L"b");
    m_progress->put_Max(50);
    m_progress->put_Value(50); // left over from a larger earlier scan

    ProcessList.assign(3, ProcessRecord{});
    ProcessList[0] = ProcessRecord{L"one.exe", 11, std::nullopt};
    ProcessList[1] = ProcessRecord{L"two.exe", 22, std::nullopt};
    ProcessList[1].Windows.emplace().push_back(ObjectFor(a.get()));
    ProcessList[2] = ProcessRecord{L"three.exe", 33, std::nullopt};
    ProcessList[2].Windows.emplace().push_back(ObjectFor(b.get()));
    const LONG before = WindowObjectCount;
    m_log = ProgressLog{};

    Fill();
    ASSERT_FALSE(m_log.ranges.empty());
    EXPECT_EQ(std::make_pair(0, 2), m_log.ranges.back());
    ASSERT_GE(m_log.positions.size(), 3u);
    const std::vector<int> tail(m_log.positions.end() - 3, m_log.positions.end());
    EXPECT_EQ((std::vector<int>{0, 1, 2}), tail);
    // At process 1 nothing is released yet; at 2, process 1's two objects are gone.
    const std::vector<LONG> counts(m_log.countsAtPosition.end() - 3, m_log.countsAtPosition.end());
    EXPECT_EQ((std::vector<LONG>{before, before, before - 2}), counts);
    EXPECT_EQ(before - 3, WindowObjectCount);

    const std::vector<TreeNode> actual = ReadTree(m_tree->hWnd());
    ASSERT_EQ(3u, actual.size());
    EXPECT_TRUE(actual[0].children.empty()) << "a process without windows is a bare root";
    EXPECT_EQ(1u, actual[1].children.size());
    EXPECT_EQ(1u, actual[1].children[0].children.size());
}

TEST_F(TreeFillingTest, WindowHandleEqualToAnEarlierProcessIdStillGetsItsNode)
{
    UniqueWindow w = CreateTopWindow(L"collides");
    UniqueWindow child = CreateChildWindow(w.get(), L"under it");
    const LONG handle = HandleValue(w.get());

    ProcessList.assign(2, ProcessRecord{});
    ProcessList[0] = ProcessRecord{L"early.exe", handle, std::nullopt};
    ProcessList[1] = ProcessRecord{L"owner.exe", 4321, std::nullopt};
    ProcessList[1].Windows.emplace().push_back(ObjectFor(w.get()));
    Fill();

    const std::vector<TreeNode> actual = ReadTree(m_tree->hWnd());
    ASSERT_EQ(2u, actual.size());
    EXPECT_TRUE(actual[0].children.empty());
    ASSERT_EQ(1u, actual[1].children.size());
    EXPECT_EQ(WindowText(w.get(), L"collides"), actual[1].children[0].text);
    ASSERT_EQ(1u, actual[1].children[0].children.size());
    EXPECT_EQ(WindowText(child.get(), L"under it"), actual[1].children[0].children[0].text);
}

TEST_F(TreeFillingTest, ProcessIdEqualToAnEarlierWindowHandleStillGetsItsNodeAndTheFillGoesOn)
{
    UniqueWindow w = CreateTopWindow(L"first");
    const LONG handle = HandleValue(w.get());

    ProcessList.assign(3, ProcessRecord{});
    ProcessList[0] = ProcessRecord{L"owner.exe", 4321, std::nullopt};
    ProcessList[0].Windows.emplace().push_back(ObjectFor(w.get()));
    ProcessList[1] = ProcessRecord{L"clash.exe", handle, std::nullopt};
    ProcessList[2] = ProcessRecord{L"later.exe", 99, std::nullopt};
    Fill();

    const std::vector<TreeNode> actual = ReadTree(m_tree->hWnd());
    ASSERT_EQ(3u, actual.size());
    EXPECT_EQ(L"clash.exe [PID:" + std::to_wstring(handle) + L"]", actual[1].text);
    EXPECT_EQ(L"later.exe [PID:99]", actual[2].text);
}

TEST_F(TreeFillingTest, SecondFillReplacesTheFirst)
{
    ProcessList.assign(2, ProcessRecord{});
    ProcessList[0] = ProcessRecord{L"a.exe", 1, std::nullopt};
    ProcessList[1] = ProcessRecord{L"b.exe", 2, std::nullopt};
    Fill();
    ProcessList.assign(1, ProcessRecord{L"c.exe", 3, std::nullopt});
    Fill();
    const std::vector<TreeNode> actual = ReadTree(m_tree->hWnd());
    ASSERT_EQ(1u, actual.size());
    EXPECT_EQ(L"c.exe [PID:3]", actual[0].text);
}

TEST_F(TreeFillingTest, AFailingStepCostsOnlyThatStep)
{
    UniqueWindow t = CreateTopWindow(L"parent");
    UniqueWindow c = CreateChildWindow(t.get(), L"child");
    ComPtr<IScreenWindowInfo> object = ObjectFor(t.get());
    m_tree->AddRoot(L"root", L"root");

    // An unknown parent key: the window's own node fails, its children are still walked
    // (and fail the same way); nothing leaves AddWindowNode.
    AddWindowNode(*m_tree, object.get(), L"no such key");
    AddWindowNode(*m_tree, nullptr, L"root");
    EXPECT_EQ(1u, m_tree->Count());

    AddWindowNode(*m_tree, object.get(), L"root");
    EXPECT_EQ(3u, m_tree->Count());
}

} // namespace
