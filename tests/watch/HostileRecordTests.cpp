// Records no hook writes, put into a ring the test owns (the window watched is this thread's, so
// both views of the ring are in this process, where a watched program finds its own): each is
// shown in honest words or stops the log saying why, and a flood of 100,000 records, each of a
// window of a class never seen before and as costly as a record can be, keeps the log within its
// stated bound of memory.
#include "WatchTestSupport.h"
#include "CountingAllocator.h"
#include "watch/MessageLogFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {
using watch_ring::Record;
using watch_ring::RecordKind;
using Col = MessageLogColumns;

// What a full log may hold, whatever its records say: 100,000 rows of at most 192 bytes copied as
// sent and as many as answered (about 620 bytes a row with the heap's own share), beside the
// names, caches and open sends, which do not grow with the watched program.
constexpr LONG kLogBound = 80 << 20;

Record Make(RecordKind kind, UINT message, uint16_t depth = 1, uint32_t sequence = 0)
{
    Record record = {};
    record.kind = kind;
    record.message = message;
    record.depth = kind == RecordKind::Posted ? 0 : depth;
    record.sequence = sequence;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    record.time = now.QuadPart;
    return record;
}

Record WithText(Record record, const std::wstring& text)
{
    record.dataKind = watch_ring::DataKind::Text;
    record.lParam = 0x2000; // where the string would lie
    record.dataBytes = record.structBytes = 0;
    record.dataBytes = static_cast<uint16_t>((std::min)(text.size() * 2, size_t{watch_ring::kDataBytes}));
    std::memcpy(record.data, text.data(), record.dataBytes);
    return record;
}

// Publishes `records` as the hook would, each numbered one on from the last but the last one,
// `lastStep` on.
void Inject(watch_ring::Header& ring, std::vector<Record> records, uint32_t lastStep = 1)
{
    Record* slots = watch_ring::Records(&ring);
    auto written = static_cast<uint32_t>(ring.written), serial = static_cast<uint32_t>(ring.attempts);
    for (Record& record : records) {
        serial += &record == &records.back() ? lastStep : 1;
        record.serial = serial;
        slots[written++ % ring.capacity] = record;
    }
    ring.attempts = static_cast<LONG>(serial);
    InterlockedExchange(&ring.written, static_cast<LONG>(written));
}

UniqueWindow QuietWindow(const wchar_t* windowClass)
{
    return UniqueWindow(CreateWindowW(windowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
}

TEST(HostileRecordTest, RecordsNoHookWritesReadInHonestWordsOrStopTheLog)
{
    const UniqueWindow window = QuietWindow(TestWindowClass());
    const UINT spoofed = RegisterWindowMessageW(L"WM_CLOSE");
    Record fitsNot = Make(RecordKind::Posted, WM_SIZE);
    fitsNot.wParam = SIZE_RESTORED, fitsNot.lParam = MAKELPARAM(10, 20);
    fitsNot.dataKind = watch_ring::DataKind::WindowPos, fitsNot.dataBytes = fitsNot.structBytes = 28;
    Record textAsPosition = WithText(Make(RecordKind::Posted, WM_WINDOWPOSCHANGED), L"abc");
    textAsPosition.lParam = 0x1000;
    Record unknown = Make(RecordKind::Posted, WM_APP), late = Make(RecordKind::Posted, WM_APP);
    Record early = Make(RecordKind::Posted, WM_APP), oversized = Make(RecordKind::Posted, WM_APP);
    unknown.kind = static_cast<RecordKind>(9);
    late.time = LLONG_MAX, early.time = LLONG_MIN;
    oversized.dataKind = watch_ring::DataKind::Text, oversized.dataBytes = 300;
    const std::wstring rlo = L"safe.txt\x202Etxt.exe\x2028\x0085\x200B";
    const Record posted = Make(RecordKind::Posted, WM_APP);
    const struct {
        const char* what;
        std::vector<Record> records;
        int column; // of the last row; -1: the status line, which begins with the text
        std::wstring text;
        uint32_t lastStep = 1;  // from the serial number before the last record's
        size_t fromEnd = 0;     // the row that many above the last
    } cases[] = {
        {"depth 0xFFFF", {Make(RecordKind::Sent, WM_APP + 1, 0xFFFF, 1)}, Col::kMessage,
         std::wstring(32 * 4, L' ') + L"(depth 65534) WM_APP+0x1"},
        {"a kind no hook writes", {unknown}, -1,
         L"The log's ring holds a record of a kind the hook never writes: something other than the hook writes into it"},
        {"a WINDOWPOS with a WM_SIZE", {fitsNot}, Col::kParameters, L"fwSizeType:SIZE_RESTORED nWidth:10 nHeight:20"},
        {"text as a WINDOWPOS", {textAsPosition}, Col::kParameters, L"lpwp:0x00001000"},
        {"2147483632 said to be dropped", {posted}, -1,
         L"The log's ring holds more messages said to be dropped than the hook could have seen", 0x7FFFFFF1u},
        {"5 said to be dropped", {posted}, Col::kMessage, L"5 messages dropped", 6, 1},
        {"serial numbers going back", {posted, posted}, -1, L"The log's ring holds records whose serial numbers go back",
         0xFFFFFFFFu},
        {"more data than a record holds", {oversized}, -1, L"The log's ring holds a record with more data than a record holds"},
        {"a registered message named WM_CLOSE", {Make(RecordKind::Posted, spoofed)}, Col::kMessage, L"WM_CLOSE (registered)"},
        {"its parameters read by no rule", {Make(RecordKind::Posted, spoofed)}, Col::kParameters, L""},
        {"right-to-left override, separators, controls, zero width", {WithText(Make(RecordKind::Sent, WM_SETTEXT, 1, 1), rlo)},
         Col::kParameters, L"lpsz:\"safe.txt\\u202etxt.exe\\u2028\\x85\\u200b\""},
        {"the latest time there is", {late}, Col::kTime, L"(invalid)"},
        {"the earliest time there is", {early}, Col::kTime, L"(invalid)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MessageLogWindow log(nullptr, window.get());
        ASSERT_TRUE(Started(log)) << log.StatusText();
        const std::vector<watch_ring::Header*> rings = LiveRings();
        ASSERT_FALSE(rings.empty());
        Inject(*rings[0], c.records, c.lastStep);
        log.Poll();
        if (c.column < 0) {
            EXPECT_EQ(0u, log.StatusText().find(c.text)) << log.StatusText();
            EXPECT_NE(std::wstring::npos, log.StatusText().find(L", 0 dropped")) << "the count is the log's own";
            EXPECT_FALSE(log.Watching());
        } else {
            ASSERT_LT(0u, log.Log().Rows()) << log.StatusText();
            ASSERT_LT(c.fromEnd, log.Log().Rows());
            EXPECT_EQ(c.text, log.CellText(log.Log().Rows() - 1 - c.fromEnd, c.column));
            EXPECT_TRUE(log.Watching()) << log.StatusText();
        }
    }
}

// 100,000 classes never seen before cost the names nothing: only the classes the program knows
// have tables of their own. Then 100,000 records as costly as a record can be (a full copy sent
// and another answered, at depth 0xFFFF) for windows of 1,000 new classes and 99,000 handles
// that name no window keep a full log within its stated bound.
TEST(HostileRecordTest, AHundredThousandClassesAndTheCostliestRecordsStayWithinTheLogsBound)
{
    MessageNames::Of(L"Button"), MessageNames::Of(L"HostileClass"); // the tables that are made once
    const LONG namesBefore = CountingAllocator::LiveBytes();
    for (int i = 0; i < 100000; ++i) EXPECT_EQ(L"WM_SIZE", MessageNames::Of(L"HostileClass" + std::to_wstring(i)).Name(WM_SIZE));
    EXPECT_EQ(namesBefore, CountingAllocator::LiveBytes());

    const UniqueWindow watched = QuietWindow(TestWindowClass());
    // Only the quiet window's messages are the hook's: it writes nothing beside the records put here.
    MessageLogWindow log(nullptr, watched.get());
    ASSERT_TRUE(Started(log)) << log.StatusText();
    watch_ring::Header& ring = *LiveRings().at(0);
    std::vector<std::wstring> classes;
    std::vector<UniqueWindow> windows;
    for (int i = 0; i < 1000; ++i) {
        classes.push_back(L"HostileClass" + std::to_wstring(i));
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.lpszClassName = classes.back().c_str();
        ASSERT_NE(0, RegisterClassW(&windowClass));
        windows.push_back(QuietWindow(classes.back().c_str()));
    }
    const LONG before = CountingAllocator::LiveBytes();
    const std::wstring full(watch_ring::kDataBytes / 2, L'x');
    std::vector<Record> records;
    for (uint32_t i = 0; i < MessageLog::kKeptEntries; ++i) {
        Record sent = WithText(Make(RecordKind::Sent, WM_SETTEXT, 0xFFFF, i + 1), full);
        sent.window = i < windows.size() ? reinterpret_cast<UINT_PTR>(windows[i].get()) : 0x40000000u + 2 * i;
        Record answer = WithText(sent, full);
        answer.kind = RecordKind::Returned;
        records.push_back(sent);
        records.push_back(answer);
        if (records.size() == watch_ring::kMaxCapacity || i + 1 == MessageLog::kKeptEntries) {
            Inject(ring, records);
            log.Poll();
            ASSERT_TRUE(log.Watching()) << log.StatusText();
            records.clear();
        }
    }
    windows.clear();
    for (const std::wstring& name : classes) UnregisterClassW(name.c_str(), nullptr);
    ASSERT_EQ(MessageLog::kKeptEntries, log.Log().Rows()) << log.StatusText();
    EXPECT_TRUE(log.Watching()) << log.StatusText();
    const LONG held = CountingAllocator::LiveBytes() - before;
    EXPECT_GT(kLogBound, held);
    std::printf("[          ] a full log of the costliest records holds %ld bytes\n", static_cast<long>(held));
    // Every row copied: no cell grows with what a record claims.
    std::vector<size_t> rows(log.Log().Rows());
    for (size_t row = 0; row < rows.size(); ++row) rows[row] = row;
    const std::wstring copied = LogText(MessageLogColumns(log.Log(), false), rows);
    EXPECT_GT(rows.size() * 400, copied.size());
    EXPECT_NE(std::wstring::npos, copied.find(L"(depth 65534) WM_SETTEXT\t")) << copied.substr(0, 400);
}
} // namespace
