// The message log's parts that need no watched process: the Time column, the wording of each
// reason a log stays silent or stops (as data), message names, and the store's pairing, nesting,
// gaps and keeping.
#include "watch/MessageLogWindow.h"

#include <commctrl.h>

#include <gtest/gtest.h>

namespace {
// The log may stay open for days; the counter may tick at any rate.
TEST(MessageLogWindowTest, TheTimeColumnIsExactAfterDaysOfAnyCounter)
{
    SYSTEMTIME midnight = {2026, 12, 1, 7, 0, 0, 0, 0};
    FILETIME start = {};
    ASSERT_TRUE(SystemTimeToFileTime(&midnight, &start));
    const int64_t seconds = 3 * 86400 + 3 * 3600 + 4 * 60 + 5; // three days and 03:04:05
    EXPECT_EQ(L"03:04:05.678", MessageLogColumns::TimeText(seconds * 10000000 + 6780000, 10000000, start));
    EXPECT_EQ(L"03:04:05.678", MessageLogColumns::TimeText(seconds * 1000000000 + 678000000, 1000000000, start));
    EXPECT_EQ(L"03:04:05.678", MessageLogColumns::TimeText(seconds * 3579545 + 2426932, 3579545, start));
}

TEST(WatchRefusalTest, EachReasonForSilenceIsWordedForItsOwnCause)
{
    const struct {
        WatchHandover handover; // answered, answer, claimed, busy, token read, higher integrity
        const wchar_t* text;    // for process 7 and thread 9; null: not silent
    } cases[] = {
        {{false, 0, false, false, true, false}, L"Process 7 does not answer (hung): the log cannot start"},
        {{true, 0, true, false, true, false}, nullptr},
        {{false, 0, true, false, true, false}, nullptr}, // the header says so before the window answers
        {{true, 0, false, true, true, false},
         L"A message log of another program already watches a window of thread 9: close it first (one log per thread)"},
        {{true, 0x5A170005, false, false, true, false},
         L"The hook runs in Process 7 but cannot open the log's shared memory (error 5)"},
        {{true, 0, false, false, true, true},
         L"Process 7 runs at a higher integrity level: it cannot be watched from this program"},
        {{true, 0, false, false, false, false},
         L"The hook never ran in Process 7: its security token cannot be read, it may run at a higher integrity "
         L"level or as another user"},
        {{true, 0, false, false, true, false},
         L"The hook never ran in Process 7: the hook DLL was not loaded (the program may block DLLs)"},
    };
    for (const auto& c : cases) {
        WatchRefusal why = WatchRefusal::Destroyed;
        uint32_t detail = 0;
        const bool silent = WhySilent(c.handover, why, detail);
        EXPECT_EQ(c.text != nullptr, silent);
        if (silent && c.text != nullptr) {
            EXPECT_EQ(c.text, DescribeRefusal(why, 7, why == WatchRefusal::AnotherProgramsLog ? 9 : detail, false));
        }
    }
    // What stops a log: each breach of the ring, and a hook that stopped writing, in its own words.
    using Breach = WatchChannel::Breach;
    const std::pair<Breach, const wchar_t*> breaches[] = {
        {Breach::Header, L"The log's channel is broken (its header was changed behind the log's back): the log has stopped"},
        {Breach::Kind, L"The log's ring holds a record of a kind the hook never writes: something other than the hook "
                       L"writes into it, the log has stopped"},
        {Breach::Order, L"The log's ring holds records whose serial numbers go back: something other than the hook "
                        L"writes into it, the log has stopped"},
        {Breach::Drops, L"The log's ring holds more messages said to be dropped than the hook could have seen: "
                        L"something other than the hook writes into it, the log has stopped"},
        {Breach::Size, L"The log's ring holds a record with more data than a record holds: something other than the "
                       L"hook writes into it, the log has stopped"},
    };
    for (const auto& [breach, text] : breaches) {
        EXPECT_EQ(text, DescribeRefusal(WatchRefusal::ChannelBroken, 7, static_cast<uint64_t>(breach), false));
    }
    EXPECT_EQ(L"The hook in Process 7 stopped writing into this log while the window still answers (another program "
              L"may have handed it a ring of its own, or unloaded it): the log has stopped",
              DescribeRefusal(WatchRefusal::HookStopped, 7, 0, false));
    EXPECT_EQ(L"Process 7 denies this program access: its windows cannot be watched",
              DescribeRefusal(WatchRefusal::AccessDenied, 7, 0, false));
}
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
        {L"msctls_trackbar32", WM_USER, L"TBM_GETPOS", L"control"}, // defined as WM_USER itself
        {L"ComboLBox", LB_GETCURSEL, L"LB_GETCURSEL", L"control"},   // a combo box's list
        {L"Button", WM_USER + 1, L"WM_USER+0x1", L"user"},
        {L"Button", 0x0093, L"WM_UAHINITMENU", L"command"}, // undocumented, named as inspectors name them
        {L"Edit", 0x0118, L"WM_SYSTIMER", L"timer"},         // the caret's blink
        {L"Button", WM_TIMER, L"WM_TIMER", L"timer"},
        {L"Button", WM_IME_CHAR, L"WM_IME_CHAR", L"keyboard"},
        {L"Button", 0x0091, L"WM_UAHDRAWMENU", L"paint"},
        {L"Button", 0x0313, L"WM_POPUPSYSTEMMENU", L"command"}, // the taskbar's
        {L"Button", registered, L"WindowInventory.NameTest (registered)", L"user"},
        {L"6.0.7601.0!Button", BM_SETCHECK, L"BM_SETCHECK", L"control"}, // a version's class
    };
    for (const auto& c : cases) {
        const MessageNames& names = MessageNames::Of(c.windowClass);
        EXPECT_EQ(c.name, names.Name(c.message)) << c.message;
        EXPECT_STREQ(c.group, names.Group(c.message)) << c.name;
    }
}

// Answers find their sends by sequence number, whatever was dropped between; a gap is a row of
// its own where it happened, shown whatever the filter.
watch_ring::Record Rec(watch_ring::RecordKind kind, uint16_t depth, UINT message, uint32_t sequence, uint32_t dropped,
                       uint64_t wParam, uint64_t result)
{
    watch_ring::Record record = {};
    record.kind = kind;
    record.depth = depth;
    record.message = message;
    record.sequence = sequence;
    record.droppedBefore = dropped;
    record.wParam = wParam;
    record.result = result;
    return record;
}

TEST(MessageLogTest, PairsAnswersBySequenceNestsShowsGapsAndKeepsTheLastEntries)
{
    using watch_ring::RecordKind;
    MessageLog log(L"Button");
    log.Add({Rec(RecordKind::Sent, 1, WM_SIZE, 1, 0, 10, 0),
             Rec(RecordKind::Sent, 2, WM_MOVE, 2, 0, 20, 0),
             Rec(RecordKind::Returned, 1, WM_SIZE, 1, 0, 10, 0x1111), // the inner answer was dropped
             Rec(RecordKind::Returned, 1, WM_MOVE, 7, 0, 20, 0x7777),  // no send of that number
             Rec(RecordKind::Sent, 1, WM_CLOSE, 8, 0, 0, 0),           // its answer was dropped
             Rec(RecordKind::Posted, 0, WM_TIMER, 0, 3, 30, 0),
             Rec(RecordKind::Sent, 1, WM_PAINT, 9, 0, 0, 0)});
    using Kind = MessageLog::Kind;
    const struct {
        Kind kind;
        UINT message;
        uint16_t depth;
        bool answered, lost, closed;
        uint64_t wParam, result;
    } rows[] = {
        {Kind::Sent, WM_SIZE, 0, true, false, true, 10, 0x1111},     // closed by row 2
        {Kind::Sent, WM_MOVE, 1, false, true, false, 20, 0},
        {Kind::Returned, WM_SIZE, 0, true, false, true, 10, 0x1111},
        {Kind::Sent, WM_CLOSE, 0, false, true, false, 0, 0},
        {Kind::Dropped, 0, 1, false, false, false, 3, 0},            // inside the open WM_CLOSE
        {Kind::Posted, WM_TIMER, 1, false, false, false, 30, 0},
        {Kind::Sent, WM_PAINT, 0, false, false, false, 0, 0},        // still waiting for its answer
    };
    ASSERT_EQ(std::size(rows), log.Rows());
    for (size_t i = 0; i < std::size(rows); ++i) {
        const MessageLog::Entry& entry = log.Row(i);
        EXPECT_TRUE(rows[i].kind == entry.kind && rows[i].message == entry.message && rows[i].depth == entry.depth &&
                    rows[i].answered == entry.answered && rows[i].lost == entry.lost && rows[i].closed == entry.closed &&
                    rows[i].wParam == entry.wParam && rows[i].result == entry.result)
            << "row " << i;
    }
    log.SetFilter(L"size");
    EXPECT_EQ(3u, log.Rows()) << "WM_SIZE, its closing row and the gap";

    log.SetFilter(L"");
    std::vector<watch_ring::Record> records(MessageLog::kKeptEntries + 1);
    for (uint32_t i = 0; i < records.size(); ++i) {
        records[i] = Rec(RecordKind::Posted, 0, i % 2 ? UINT(WM_MOUSEMOVE) : UINT(WM_TIMER), 0, 0, i, 0);
    }
    log.Add(records);
    EXPECT_EQ(MessageLog::kKeptEntries, log.Kept());
    EXPECT_EQ(8u, log.Discarded());
    EXPECT_EQ(8u, log.RowsDiscarded());
    EXPECT_EQ(1u, log.Row(0).wParam);
    log.SetFilter(L" Mouse ");
    EXPECT_EQ(MessageLog::kKeptEntries / 2, log.Rows());
    EXPECT_EQ(1u, log.Row(0).wParam);
    log.Clear();
    EXPECT_EQ(0u, log.Rows());
}
} // namespace
