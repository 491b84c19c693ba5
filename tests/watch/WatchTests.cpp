// The message log on 32-bit and 64-bit helper processes' windows, through the hook DLLs: names,
// parameters (64-bit ones too) and answers in order, an exact count of what a full ring drops and
// where, a channel the other end tampers with, a forged handover, a hung target named as such,
// the end of a destroyed window's log, the hooks gone from the helpers' threads afterwards, and
// the log laid out at another DPI.
#include "WatchTestSupport.h"
#include "support/SyntheticDesktopProcess.h"

#include <commctrl.h>

#include <cstddef>
#include <memory>
#include <utility>

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
    SyntheticDesktopProcess m_helper{L"target"};
    HWND m_top = nullptr, m_left = nullptr, m_inner = nullptr, m_hidden = nullptr;
};

using Col = MessageLogColumns;
// The columns the cases below compare, in the order of their expected texts.
constexpr int kCompared[] = {Col::kKind, Col::kMessage, Col::kWParam, Col::kLParam, Col::kResult};

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
        ASSERT_TRUE(Started(log)) << log.StatusText();
        EXPECT_EQ(12, SendMessageW(window, WM_APP + 1, 5, 7));
        EXPECT_EQ(6, SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)); // "target"
        PostMessageW(window, WM_APP + 2, 0xBEEF, 0x12345678);
        PostMessageW(window, registered, 1, 2);
        ASSERT_TRUE(Await([&] {
            log.Poll();
            return log.Log().Rows() >= 4 && log.CellText(log.Log().Rows() - 1, Col::kMessage) == L"WindowInventory.WatchTest (registered)";
        }));
        const wchar_t* expected[][5] = {
            {L"sent", L"WM_APP+0x1", L"00000005", L"00000007", L"0000000C"},
            {L"sent", L"WM_GETTEXTLENGTH", L"00000000", L"00000000", L"00000006"},
            {L"posted", L"WM_APP+0x2", L"0000BEEF", L"12345678", L""},
            {L"posted", L"WindowInventory.WatchTest (registered)", L"00000001", L"00000002", L""},
        };
        // Messages the system sends meanwhile (activation, painting) may come between; ours keep order.
        size_t next = 0;
        for (size_t row = 0; row < log.Log().Rows() && next < 4; ++row) {
            if (log.CellText(row, Col::kMessage) != expected[next][1]) continue;
            const int columns = window == m_top ? 4 : 5;
            for (int column = 0; column < columns; ++column) EXPECT_EQ(expected[next][column], log.CellText(row, kCompared[column]));
            EXPECT_NE(L"\x2026", log.CellText(row, Col::kResult)) << "answered";
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
    constexpr uint32_t kCapacity = 4096, kPosted = 10000, kDropped = kPosted - kCapacity;
    WatchSession session(m_hidden, WatchSession::Scope::Window, kCapacity); // hidden: nothing but what is posted here arrives
    ASSERT_TRUE(Started(session)) << session.Problem();
    for (UINT i = 0; i < kPosted; ++i) ASSERT_TRUE(PostMessageW(m_hidden, WM_APP + 2, i, 0));
    ASSERT_TRUE(Await([&] { return session.Pending() >= kPosted; })) << session.Pending();
    std::vector<watch_ring::Record> records;
    uint64_t dropped = 0;
    session.Take(records, dropped);
    EXPECT_EQ(0u, dropped) << "told by the serial number of the next record";
    ASSERT_EQ(kCapacity, records.size());
    for (uint32_t i = 0; i < records.size(); ++i) ASSERT_EQ(i, records[i].wParam);
    // Taken, the ring has room again; the next record's number says how many were dropped before it.
    SendMessageW(m_hidden, WM_APP + 3, 0, 0);
    // The answer's record is written on the helper's thread, maybe after the sender has its reply.
    // The dropped ones stay pending until then: both records are in once the hook has tried them.
    ASSERT_TRUE(Await([&] { return session.Pending() >= kDropped + 2; })) << session.Pending();
    records.clear();
    session.Take(records, dropped);
    EXPECT_EQ(kDropped, dropped);
    ASSERT_EQ(2u, records.size()); // sent and answered
    EXPECT_EQ(kDropped, records[0].droppedBefore);
    EXPECT_EQ(records[0].sequence, records[1].sequence);
}

// The other end of the channel plays the attacker: whatever it writes into the header, the log
// ends with the channel called broken, keeps what it had taken, and the target goes on.
TEST_F(WatchTest, AHostileHeaderBreaksTheChannelAndNothingElseOnBothPaths)
{
    std::vector<HWND> targets = {m_hidden};
    std::unique_ptr<SyntheticDesktopProcess> helper64;
    if (SyntheticDesktopProcess::SixtyFourBitRuns()) {
        helper64 = std::make_unique<SyntheticDesktopProcess>(L"target", SyntheticDesktopProcess::Bits::SixtyFour);
        ASSERT_TRUE(helper64->WaitReady(20000)) << helper64->Error();
        const HWND right = FindWindowExW(helper64->TopWindows().at(0), nullptr, SyntheticDesktopProcess::kWindowClass, L"right");
        targets.push_back(FindWindowExW(right, nullptr, SyntheticDesktopProcess::kWindowClass, L"right hidden"));
    }
    const struct {
        const char* what;
        size_t offset; // into the header
        LONG value;    // added to what is there
        bool breaks;
    } cases[] = {
        {"capacity 0", offsetof(watch_ring::Header, capacity), -16, true},
        {"capacity huge", offsetof(watch_ring::Header, capacity), 0x7FFF0000, true},
        {"written far ahead", offsetof(watch_ring::Header, written), 0x40000000, true},
        {"another layout", offsetof(watch_ring::Header, recordSize), 8, true},
        {"read far ahead (the hook's side)", offsetof(watch_ring::Header, read), 0x40000000, false},
    };
    for (const HWND target : targets) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (target == m_hidden ? " (32-bit)" : " (64-bit)"));
            WatchSession session(target, WatchSession::Scope::Window, 16);
            ASSERT_TRUE(Started(session)) << session.Problem();
            std::vector<watch_ring::Record> records;
            uint64_t dropped = 0;
            PostMessageW(target, WM_APP + 4, 1, 0);
            ASSERT_TRUE(Await([&] {
                session.Take(records, dropped);
                return !records.empty();
            }));

            const std::vector<watch_ring::Header*> rings = LiveRings(); // the log's view: the hook's is the helper's
            ASSERT_EQ(1u, rings.size());
            InterlockedExchangeAdd(reinterpret_cast<volatile LONG*>(reinterpret_cast<BYTE*>(rings[0]) + c.offset), c.value);
            // The hook's next record would write over a forged written index, and the log's next
            // take over a forged read index: each is looked at before the other side moves.
            DWORD_PTR answer = 0;
            if (!c.breaks) {
                for (int i = 0; i < 10; ++i) SendMessageTimeoutW(target, WM_APP + 1, 2, 3, 0, 10000, &answer);
                ASSERT_TRUE(Await([&] { return session.Pending() >= 20; })) << session.Pending();
                session.Take(records, dropped); // nothing written: the ring looked full
                SendMessageTimeoutW(target, WM_APP + 1, 2, 3, 0, 10000, &answer);
                // The 20 dropped stay pending until the send's two records are in.
                ASSERT_TRUE(Await([&] { return session.Pending() >= 22; })) << session.Pending();
            }
            session.Take(records, dropped);
            EXPECT_EQ(c.breaks ? L"The log's channel is broken (its header was changed behind the log's back): the "
                                 L"log has stopped"
                               : L"",
                      session.Problem());
            EXPECT_EQ(c.breaks ? 0u : 20u, dropped) << "counted from the next record's serial number";
            EXPECT_TRUE(SendMessageTimeoutW(target, WM_APP + 1, 2, 3, SMTO_ABORTIFHUNG, 10000, &answer)) << "it runs";
            EXPECT_EQ(1u, records.at(0).wParam) << "what was taken stays";
        }
    }
}

// Parameters and answers wider than 32 bits come from the 64-bit target itself: a 32-bit sender
// cannot send them. Its sends to itself are answered in its own thread, so Wine's zero result for
// sends from another process does not apply.
TEST_F(WatchTest, TheLogOfA64BitWindowShowsItsWideParametersAndAnswers)
{
    if (!SyntheticDesktopProcess::SixtyFourBitRuns()) GTEST_SKIP() << "a 32-bit system runs no 64-bit process";
    SyntheticDesktopProcess helper64(L"target", SyntheticDesktopProcess::Bits::SixtyFour);
    ASSERT_TRUE(helper64.WaitReady(20000)) << helper64.Error();
    const HWND top = helper64.TopWindows().at(0);
    {
        MessageLogWindow log(nullptr, top);
        ASSERT_TRUE(Started(log)) << log.StatusText();
        EXPECT_EQ(2, SendMessageW(top, WM_APP + 5, 2, 0));
        PostMessageW(top, WM_APP + 4, 0xBEEF, 0x12345678);
        ASSERT_TRUE(Await([&] {
            log.Poll();
            return log.Log().Rows() >= 4 && log.CellText(log.Log().Rows() - 1, Col::kMessage) == L"WM_APP+0x4";
        }));
        const wchar_t* expected[][5] = {
            {L"sent", L"WM_APP+0x5", L"0000000000000002", L"0000000000000000", nullptr},
            {L"sent", L"    WM_APP+0x1", L"0000000100000001", L"0000000200000000", L"0000000300000001"}, // nested
            {L"sent", L"    WM_APP+0x1", L"0000000100000002", L"0000000200000000", L"0000000300000002"},
            {L"posted", L"WM_APP+0x4", L"000000000000BEEF", L"0000000012345678", L""},
        };
        size_t next = 0;
        for (size_t row = 0; row < log.Log().Rows() && next < 4; ++row) {
            if (log.CellText(row, Col::kMessage) != expected[next][1]) continue;
            for (int column = 0; column < 5; ++column) {
                if (expected[next][column] != nullptr) {
                    EXPECT_EQ(expected[next][column], log.CellText(row, kCompared[column]));
                }
            }
            ++next;
        }
        EXPECT_EQ(4u, next) << log.StatusText();
    }

    // The closed log let go of the thread; the host takes its hooks out when told: none runs in
    // the 64-bit thread afterwards.
    WatchSession again(top);
    ASSERT_TRUE(Started(again)) << again.Problem();
    again.Stop();
    SendMessageW(top, WM_APP + 1, 1, 1);
    const uint32_t calls = again.HookCalls();
    SendMessageW(top, WM_APP + 1, 1, 1);
    EXPECT_EQ(calls, again.HookCalls());
}

TEST_F(WatchTest, AHungTargetIsNamedAsTheReasonTheLogStaysSilent)
{
    SyntheticDesktopProcess hung(L"hung 0");
    ASSERT_TRUE(hung.WaitReady(20000)) << hung.Error();
    WatchSession session(hung.TopWindows().at(0));
    ASSERT_TRUE(Await([&] {
        session.Check();
        return !session.Starting();
    }));
    EXPECT_FALSE(session.Watching());
    EXPECT_EQ(L"Process " + std::to_wstring(hung.ProcessId()) + L" does not answer (hung): the log cannot start",
              session.Problem());
}

TEST_F(WatchTest, ADestroyedWindowEndsItsLogAndTheHookLeavesTheThread)
{
    MessageLogWindow log(nullptr, m_inner);
    ASSERT_TRUE(Started(log)) << log.StatusText();
    // One log per thread: a second is refused in words.
    WatchSession second(m_top);
    EXPECT_FALSE(second.Watching());
    EXPECT_NE(std::wstring::npos, second.Problem().find(L"Another message log already watches")) << second.Problem();

    PostMessageW(m_inner, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Await([&] {
        log.Poll();
        return !log.Watching();
    }));
    EXPECT_EQ(0u, log.StatusText().find(L"Window " + HandleText(m_inner) +
                                        L" was destroyed: the log has stopped"));
    EXPECT_EQ(L"WM_NCDESTROY", log.CellText(log.Log().Rows() - 1, Col::kMessage));

    // The thread's ring is free again; once this watch stops too, no hook of ours runs there.
    WatchSession again(m_top);
    ASSERT_TRUE(Started(again)) << again.Problem();
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
// designed with at 96: its controls and its font, and its columns as far as the list's width
// lets them (they fit it); back at 96 all is as before.
TEST_F(WatchTest, TheLogLaysItselfOutAgainAtTheDpiItIsTold)
{
    MessageLogWindow log(nullptr, m_inner);
    const HWND pause = FindWindowExW(log.hWnd(), nullptr, L"Button", L"&Pause");
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
    const auto columnsWidth = [&] {
        int total = 0;
        for (int column = 0; column < MessageLogColumns::kCount; ++column) {
            total += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
        }
        return total;
    };
    // The Time column is designed 96 wide; at 192 dpi the window is too narrow for all doubled.
    for (const auto& [dpi, suggested, pauseRect, timeAbove, timeUpTo, font] :
         {std::tuple{192, doubled, RECT{12, 12, 172, 60}, 96, 192, 2 * designedFont},
          std::tuple{96, designed, RECT{6, 6, 86, 30}, 95, 96, designedFont}}) {
        SCOPED_TRACE(dpi);
        SendMessageW(log.hWnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT window, button;
        GetWindowRect(log.hWnd(), &window);
        EXPECT_TRUE(EqualRect(&suggested, &window));
        GetWindowRect(pause, &button);
        MapWindowPoints(nullptr, log.hWnd(), reinterpret_cast<POINT*>(&button), 2);
        EXPECT_TRUE(EqualRect(&pauseRect, &button)) << button.left << ", " << button.top;
        const int time = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
        EXPECT_TRUE(time > timeAbove && time <= timeUpTo) << time;
        RECT client = {};
        GetClientRect(list, &client);
        EXPECT_LE(columnsWidth(), client.right - MulDiv(GetSystemMetrics(SM_CXVSCROLL), dpi, 96)) << "they fit";
        EXPECT_EQ(font, fontHeight());
    }
}
} // namespace
