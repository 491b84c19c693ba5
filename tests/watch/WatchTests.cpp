// The message log on a helper process's windows, through the hook DLL: names, parameters and
// answers in order, an exact count of what a full ring drops, the end of a destroyed window's
// log, the hook gone from the helper's thread afterwards, and the log laid out at another DPI.
#include "support/FormDriver.h"
#include "support/SyntheticDesktopProcess.h"
#include "support/TestWindows.h"
#include "inventory/APi.h"
#include "watch/MessageLogWindow.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <tuple>

namespace {
class WatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_helper.WaitReady(20000)) << m_helper.Error();
        m_top = FindWindowW(L"SyntheticDesktopTarget", L"target");
        m_left = FindWindowExW(m_top, nullptr, SyntheticDesktopProcess::kWindowClass, L"left");
        m_inner = FindWindowExW(m_left, nullptr, SyntheticDesktopProcess::kWindowClass, L"left inner");
        const HWND right = FindWindowExW(m_top, nullptr, SyntheticDesktopProcess::kWindowClass, L"right");
        m_hidden = FindWindowExW(right, nullptr, SyntheticDesktopProcess::kWindowClass, L"right hidden");
        ASSERT_TRUE(m_top && m_inner && m_hidden);
    }
    template <class Condition>
    bool Await(Condition condition)
    {
        return PollUntil(20000, [&] {
            PumpMessages();
            return condition();
        });
    }

    SyntheticDesktopProcess m_helper{L"target"};
    HWND m_top = nullptr, m_left = nullptr, m_inner = nullptr, m_hidden = nullptr;
};

LRESULT CALLBACK Answering(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return message == WM_APP + 1 ? static_cast<LRESULT>(wParam + lParam) : DefWindowProcW(window, message, wParam, lParam);
}

// Wine 8.0 hands WH_CALLWNDPROCRET a zero lResult when the message came from another process
// (the answer itself arrives intact): answers are checked on a window of this thread, names,
// parameters and order on both.
TEST_F(WatchTest, TheLogShowsSentAndPostedMessagesWithNamesParametersAndAnswersInOrder)
{
    WNDCLASSW answering = {};
    answering.lpfnWndProc = Answering;
    answering.lpszClassName = L"WatchTestAnswering";
    RegisterClassW(&answering);
    UniqueWindow own(CreateWindowW(L"WatchTestAnswering", L"target", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    const UINT registered = RegisterWindowMessageW(L"WindowInventory.WatchTest");
    for (const HWND window : {own.get(), m_top}) {
        SCOPED_TRACE(window == m_top ? "another process" : "this thread");
        MessageLogWindow log(nullptr, window);
        ASSERT_TRUE(log.Watching()) << log.StatusText();
        EXPECT_EQ(12, SendMessageW(window, WM_APP + 1, 5, 7));
        EXPECT_EQ(6, SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)); // "target"
        PostMessageW(window, WM_APP + 2, 0xBEEF, 0x12345678);
        PostMessageW(window, registered, 1, 2);
        ASSERT_TRUE(Await([&] {
            log.Poll();
            return log.Log().Rows() >= 4 && log.CellText(log.Log().Rows() - 1, 2) == L"WindowInventory.WatchTest";
        }));
        const wchar_t* expected[][5] = {
            {L"sent", L"WM_APP+0x1", L"00000005", L"00000007", L"0000000C"},
            {L"sent", L"WM_GETTEXTLENGTH", L"00000000", L"00000000", L"00000006"},
            {L"posted", L"WM_APP+0x2", L"0000BEEF", L"12345678", L""},
            {L"posted", L"WindowInventory.WatchTest", L"00000001", L"00000002", L""},
        };
        // Messages the system sends meanwhile (activation, painting) may come between; ours keep order.
        size_t next = 0;
        for (size_t row = 0; row < log.Log().Rows() && next < 4; ++row) {
            if (log.CellText(row, 2) != expected[next][1]) continue;
            const int columns = window == m_top ? 4 : 5;
            for (int column = 1; column <= columns; ++column) EXPECT_EQ(expected[next][column - 1], log.CellText(row, column));
            EXPECT_NE(L"\x2026", log.CellText(row, 5)) << "answered";
            ++next;
        }
        EXPECT_EQ(4u, next) << log.StatusText();

        log.SetFilter(L"timer");
        EXPECT_EQ(0u, log.Log().Rows());
        log.SetFilter(L"app+");
        EXPECT_EQ(2u, log.Log().Rows());
    }
}

TEST_F(WatchTest, AFullRingDropsWhatDoesNotFitAndCountsItExactly)
{
    WatchSession session(m_hidden, 4096); // hidden: nothing but what is posted here arrives
    ASSERT_TRUE(session.Watching()) << session.Problem();
    for (UINT i = 0; i < 10000; ++i) ASSERT_TRUE(PostMessageW(m_hidden, WM_APP + 2, i, 0));
    ASSERT_TRUE(Await([&] { return session.Pending() >= 10000; })) << session.Pending();
    std::vector<watch_ring::Record> records;
    EXPECT_EQ(10000u - 4096u, session.Take(records));
    ASSERT_EQ(4096u, records.size());
    for (uint32_t i = 0; i < records.size(); ++i) ASSERT_EQ(i, records[i].wParam);
    // Taken, the ring has room again.
    SendMessageW(m_hidden, WM_APP + 3, 0, 0);
    // The answer's record is written on the helper's thread, maybe after the sender has its reply.
    ASSERT_TRUE(Await([&] { return session.Pending() >= 2; })) << session.Pending();
    records.clear();
    EXPECT_EQ(0u, session.Take(records));
    EXPECT_EQ(2u, records.size()); // sent and answered
}

TEST_F(WatchTest, ADestroyedWindowEndsItsLogAndTheHookLeavesTheThread)
{
    MessageLogWindow log(nullptr, m_inner);
    ASSERT_TRUE(log.Watching()) << log.StatusText();
    // One log per thread: a second is refused in words.
    WatchSession second(m_top);
    EXPECT_FALSE(second.Watching());
    EXPECT_NE(std::wstring::npos, second.Problem().find(L"Another message log already watches")) << second.Problem();

    PostMessageW(m_inner, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Await([&] {
        log.Poll();
        return !log.Watching();
    }));
    EXPECT_EQ(0u, log.StatusText().find(L"Window " + FormatHandleHex(HandleValue(m_inner)) +
                                        L" was destroyed: the log has stopped"));
    EXPECT_EQ(L"WM_NCDESTROY", log.CellText(log.Log().Rows() - 1, 2));

    // The thread's ring is free again; once this watch stops too, no hook of ours runs there.
    WatchSession again(m_top);
    ASSERT_TRUE(again.Watching()) << again.Problem();
    const uint32_t before = again.HookCalls();
    SendMessageW(m_top, WM_APP + 1, 1, 1);
    EXPECT_GT(again.HookCalls(), before) << "the hook runs while set";
    again.Stop();
    // A sent message has passed every hook of the thread by the time its answer is back: the
    // first finishes whatever the thread was in, the second shows that no hook runs any more.
    SendMessageW(m_top, WM_APP + 1, 1, 1);
    const uint32_t calls = again.HookCalls();
    SendMessageW(m_top, WM_APP + 1, 1, 1);
    EXPECT_EQ(calls, again.HookCalls());
}

// Moved to a monitor at 192 dpi, the log takes the suggested rectangle and doubles what it was
// designed with at 96: its controls, its columns and its font; back at 96 all is as before.
TEST_F(WatchTest, TheLogLaysItselfOutAgainAtTheDpiItIsTold)
{
    MessageLogWindow log(nullptr, m_inner);
    const HWND pause = GetDlgItem(log.hWnd(), 1);
    const HWND list = FindWindowExW(log.hWnd(), nullptr, WC_LISTVIEWW, nullptr);
    const auto fontHeight = [&] {
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(pause, WM_GETFONT, 0, 0)), sizeof font, &font);
        return font.lfHeight;
    };
    const LONG designedFont = fontHeight();
    RECT designed;
    GetWindowRect(log.hWnd(), &designed);
    const RECT doubled = {designed.left, designed.top, designed.left + 1200, designed.top + 900};
    for (const auto& [dpi, suggested, pauseRect, timeColumn, font] :
         {std::tuple{192, doubled, RECT{12, 12, 172, 60}, 192, 2 * designedFont},
          std::tuple{96, designed, RECT{6, 6, 86, 30}, 96, designedFont}}) {
        SCOPED_TRACE(dpi);
        SendMessageW(log.hWnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT window, button;
        GetWindowRect(log.hWnd(), &window);
        EXPECT_TRUE(EqualRect(&suggested, &window));
        GetWindowRect(pause, &button);
        MapWindowPoints(nullptr, log.hWnd(), reinterpret_cast<POINT*>(&button), 2);
        EXPECT_TRUE(EqualRect(&pauseRect, &button)) << button.left << ", " << button.top;
        EXPECT_EQ(timeColumn, SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
        EXPECT_EQ(font, fontHeight());
    }
}
} // namespace

namespace {
TEST(MessageNamesTest, StandardControlRegisteredAndUnknownMessagesAreNamedAndGrouped)
{
    const UINT registered = RegisterWindowMessageW(L"WindowInventory.NameTest");
    const struct {
        const wchar_t* windowClass;
        UINT message;
        const wchar_t* name;
        const wchar_t* group;
    } cases[] = {
        {L"Button", WM_SIZE, L"WM_SIZE", L"window"},
        {L"Button", WM_NCMOUSEMOVE, L"WM_NCMOUSEMOVE", L"mouse"},
        {L"Button", WM_SYSKEYDOWN, L"WM_SYSKEYDOWN", L"keyboard"},
        {L"Button", WM_ERASEBKGND, L"WM_ERASEBKGND", L"paint"},
        {L"Button", WM_NOTIFY, L"WM_NOTIFY", L"command"},
        {L"Button", BM_SETCHECK, L"BM_SETCHECK", L"control"},
        {L"SysTreeView32", TVM_INSERTITEMW, L"TVM_INSERTITEMW", L"control"},
        {L"msctls_statusbar32", WM_USER + 1, L"SB_SETTEXTA", L"control"}, // the same value, two classes
        {L"msctls_progress32", WM_USER + 1, L"PBM_SETRANGE", L"control"},
        {L"Button", WM_USER + 1, L"WM_USER+0x1", L"user"},
        {L"Button", 0x0093, L"0x0093", L"window"},
        {L"Button", registered, L"WindowInventory.NameTest", L"user"},
    };
    for (const auto& c : cases) {
        MessageNames names(c.windowClass);
        EXPECT_EQ(c.name, names.Name(c.message)) << c.message;
        EXPECT_STREQ(c.group, names.Group(c.message)) << c.name;
    }
}

TEST(MessageLogTest, KeepsTheLastEntriesAndFiltersThemByGroup)
{
    MessageLog log(L"Button");
    std::vector<watch_ring::Record> records(MessageLog::kKeptEntries + 5);
    for (uint32_t i = 0; i < records.size(); ++i) {
        records[i] = {watch_ring::RecordKind::Posted, 0, i % 2 ? UINT(WM_MOUSEMOVE) : UINT(WM_TIMER), i, 0, 0, 0, 0};
    }
    log.Add(records);
    EXPECT_EQ(MessageLog::kKeptEntries, log.Kept());
    EXPECT_EQ(5u, log.Discarded());
    EXPECT_EQ(5u, log.Row(0).wParam);
    log.SetFilter(L" Mouse ");
    EXPECT_EQ(MessageLog::kKeptEntries / 2, log.Rows());
    EXPECT_EQ(5u, log.Row(0).wParam);
    log.Clear();
    EXPECT_EQ(0u, log.Rows());
}
} // namespace
