// The tree's other arrangements of one scan, on real windows: in z-order from the desktop after
// the test raises its windows, and by thread for a helper with two GUI threads; switching keeps
// the selection, shows no count box, and find, facts, properties, copy and the marks of what is
// new work on every arrangement.
#include "InspectFixture.h"
#include "support/SyntheticDesktopProcess.h"
#include "support/TreeReader.h"

#include <dlgs.h>

#include <algorithm>
#include <vector>

namespace {
using namespace inspect_tests;

// The lines of the tree that hold `marker`: the test's own windows among everyone's.
std::vector<std::wstring> LinesWith(const std::vector<std::wstring>& lines, const std::wstring& marker)
{
    std::vector<std::wstring> found;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
                 [&](const std::wstring& line) { return line.find(marker) != std::wstring::npos; });
    return found;
}

class ArrangementTest : public InspectTest {
protected:
    std::wstring SelectedKey() { return Tree().Selection() ? Tree().Key(Tree().Selection()) : L""; }
    bool Bold(HTREEITEM item)
    {
        return (SendMessageW(Tree().hWnd(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_BOLD) & TVIS_BOLD) != 0;
    }
    // Switches by key and tells whether a box showed meanwhile.
    bool ArrangeShowingABox(WORD key)
    {
        MessageBoxCloser boxes;
        Press(key, FCONTROL);
        return !boxes.Texts().empty();
    }
    void FindDown(const std::wstring& text)
    {
        Press('F', FCONTROL);
        const HWND dialog = m_form->Inspector().Find().hWnd();
        SetDlgItemTextW(dialog, edt1, text.c_str());
        CheckRadioButton(dialog, rad1, rad2, rad2);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
};

TEST_F(ArrangementTest, InZOrderTheDesktopTopsTheTreeARaisedWindowComesFirstAndARescanKeepsTheArrangement)
{
    const UniqueWindow lower = CreateTopWindow(L"Qz lower", WS_POPUP | WS_VISIBLE);
    const UniqueWindow upper = CreateTopWindow(L"Qz upper", WS_POPUP | WS_VISIBLE);
    const UniqueWindow upperChild = CreateChildWindow(upper.get(), L"Qz upper child");
    const auto raise = [](HWND window) {
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    };
    raise(upper.get());
    Scan();
    Tree().Select(Node(m_grand.get()));

    EXPECT_FALSE(ArrangeShowingABox('2'));
    std::vector<std::wstring> lines = ReadTree(Tree().hWnd());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(L"Desktop  hWnd: " + HandleText(GetDesktopWindow()), lines[0]);
    EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(), [](const std::wstring& line) { return line[0] != L' '; }));
    EXPECT_EQ(TVIS_EXPANDED, SendMessageW(Tree().hWnd(), TVM_GETITEMSTATE,
                                          reinterpret_cast<WPARAM>(Tree().FirstInOrder()), TVIS_EXPANDED))
        << "the desktop open";
    EXPECT_EQ((std::vector<std::wstring>{L"  " + NodeTextOf(upper.get(), L"Qz upper"),
                                         L"    " + NodeTextOf(upperChild.get(), L"Qz upper child"),
                                         L"  " + NodeTextOf(lower.get(), L"Qz lower")}),
              LinesWith(lines, L"\x3010Qz "));
    EXPECT_EQ(KeyOf(m_grand.get()), SelectedKey());
    EXPECT_TRUE(Shown(Tree().hWnd(), Tree().Selection()));
    // Copy with children of the desktop is every window, one line each.
    Tree().Select(Tree().FirstInOrder());
    Press('C', FCONTROL | FSHIFT);
    const std::wstring all = Clipboard();
    EXPECT_EQ(lines.size(), 1 + static_cast<size_t>(std::count(all.begin(), all.end(), L'\n')));
    Press('C', FCONTROL);
    EXPECT_EQ(lines[0], Clipboard());

    // Raised, the other comes first; the rescan shows the count box and keeps the arrangement,
    // marking what is new.
    const UniqueWindow newcomer = CreateTopWindow(L"Qz newcomer");
    raise(lower.get());
    Tree().Select(Node(upperChild.get()));
    {
        MessageBoxCloser closer(kApplicationTitle);
        Press(VK_F5);
        EXPECT_EQ(1u, closer.Texts().size());
    }
    lines = ReadTree(Tree().hWnd());
    EXPECT_EQ(L"Desktop  hWnd: " + HandleText(GetDesktopWindow()), lines[0]);
    const std::vector<std::wstring> ours = LinesWith(lines, L"\x3010Qz ");
    ASSERT_EQ(4u, ours.size());
    EXPECT_EQ(L"  " + NodeTextOf(lower.get(), L"Qz lower"), ours[0]);
    EXPECT_EQ(KeyOf(upperChild.get()), SelectedKey());
    EXPECT_TRUE(Bold(Node(newcomer.get())));
    EXPECT_FALSE(Bold(Node(lower.get())));

    // By thread the mark stays; back by process, the tree is the scan's own.
    EXPECT_FALSE(ArrangeShowingABox('3'));
    EXPECT_TRUE(Bold(Node(newcomer.get())));
    EXPECT_EQ(KeyOf(upperChild.get()), SelectedKey());
    Tree().Select(Node(m_grand.get()));
    raise(upper.get());
    EXPECT_FALSE(ArrangeShowingABox('1'));
    EXPECT_EQ(KeyOf(m_grand.get()), SelectedKey());
    Scan();
    const std::vector<std::wstring> scanned = ReadTree(Tree().hWnd());
    EXPECT_FALSE(ArrangeShowingABox('2'));
    EXPECT_FALSE(ArrangeShowingABox('1'));
    EXPECT_EQ(scanned, ReadTree(Tree().hWnd()));
}

TEST_F(ArrangementTest, ByThreadAProcessShowsItsThreadsWithTheirWindowsAndAChildOfAnotherThreadUnderItsOwn)
{
    SyntheticDesktopProcess helper(L"threads");
    ASSERT_TRUE(helper.Started()) << helper.Error();
    ASSERT_TRUE(helper.WaitReady(30000));
    const HWND one = helper.TopWindows().at(0), two = helper.TopWindows().at(1);
    const HWND oneChild = FindWindowExW(one, nullptr, nullptr, L"one child");
    const HWND twoInOne = FindWindowExW(one, nullptr, nullptr, L"two in one");
    const DWORD first = GetWindowThreadProcessId(one, nullptr), second = GetWindowThreadProcessId(two, nullptr);
    ASSERT_EQ(second, GetWindowThreadProcessId(twoInOne, nullptr));
    Scan();
    Tree().Select(Node(twoInOne));
    EXPECT_FALSE(ArrangeShowingABox('3'));
    EXPECT_EQ(KeyOf(twoInOne), SelectedKey());

    // Each thread once, by identifier; beneath it its windows, under their parents where those
    // are of the same thread (Wine's own windows of the threads left out).
    const std::wstring process = L"SyntheticDesktop.exe [PID:" + std::to_wstring(helper.ProcessId()) + L"]";
    const std::vector<std::wstring> lines = Beneath(ReadTree(Tree().hWnd()), process);
    const auto window = [](const wchar_t* indent, HWND handle, const wchar_t* caption) {
        return indent + NodeTextOf(handle, caption, SyntheticDesktopProcess::kWindowClass);
    };
    const std::vector<std::wstring> firstThread = {window(L"", one, L"thread one"), window(L"  ", oneChild, L"one child")};
    std::vector<std::wstring> secondThread = {window(L"", two, L"thread two"), window(L"", twoInOne, L"two in one")};
    const std::wstring firstText = L"Thread " + std::to_wstring(first), secondText = L"Thread " + std::to_wstring(second);
    EXPECT_EQ(first < second ? (std::vector<std::wstring>{firstText, secondText})
                             : (std::vector<std::wstring>{secondText, firstText}),
              LinesWith(lines, L"Thread "));
    EXPECT_EQ(firstThread, LinesWith(Beneath(lines, firstText), SyntheticDesktopProcess::kWindowClass));
    std::vector<std::wstring> shown = LinesWith(Beneath(lines, secondText), SyntheticDesktopProcess::kWindowClass);
    // The two are in the order the platform stacks the top-level windows they are in.
    std::sort(shown.begin(), shown.end());
    std::sort(secondThread.begin(), secondThread.end());
    EXPECT_EQ(secondThread, shown);

    // A thread's node: found by its text, told of in panel 1 and the pane, copied with its windows.
    Tree().Select(Node(KeyOfProcess(helper.ProcessId())));
    FindDown(L"thread " + std::to_wstring(second));
    EXPECT_EQ(L"TID" + std::to_wstring(second), SelectedKey());
    const std::wstring facts = L"Thread " + std::to_wstring(second) + L" of process " +
                               std::to_wstring(helper.ProcessId()) + L": ";
    EXPECT_EQ(facts, Panel1().substr(0, facts.size())) << Panel1();
    Press(VK_RETURN);
    const std::wstring properties = L"Thread\r\nThread:\t" + std::to_wstring(second) + L"\r\nProcess:\t" +
                                    std::to_wstring(helper.ProcessId()) + L"\r\nExecutable:\t";
    EXPECT_EQ(properties, m_form->Pane().FactsText().substr(0, properties.size()));
    Press('H', FCONTROL);
    EXPECT_EQ(L"A thread has no rectangle: select one of its windows to highlight", Panel1());
    Tree().Select(Node(L"TID" + std::to_wstring(first)));
    Press('C', FCONTROL | FSHIFT);
    // Wine's own window of the thread ("Default IME") may follow.
    const std::wstring copied = firstText + L"\r\n  " + firstThread[0] + L"\r\n  " + firstThread[1];
    EXPECT_EQ(copied, Clipboard().substr(0, copied.size()));
    FindDown(L"two in one");
    EXPECT_EQ(KeyOf(twoInOne), SelectedKey());
}
} // namespace
