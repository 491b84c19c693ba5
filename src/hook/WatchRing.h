// The shared memory through which the hook DLL, running inside the watched thread, hands the
// messages of one window to the message log: a section per watch holding a header and a ring of
// fixed-size records. One writer (the hooked thread), one reader (the log); the writer never
// waits: when the ring is full it counts the record as dropped instead.
//
// The section has no name. The log duplicates its handle into the watched process and names the
// handle's value, with a random key, in a message sent to the watched window; the hook takes a
// ring only when its header carries that key and was offered and not yet taken, and never gives
// up the ring of a log that still runs for another. So nothing outside the two processes can find
// the ring, and a handover sent by anyone else is refused and counted in the ring it would have
// replaced.
//
// The layout is the same for the 32-bit and the 64-bit hook: fixed-width fields only. Neither side
// trusts what the other wrote: each keeps the capacity and its own index itself, and checks the
// view's real size before it touches a record.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace watch_ring {

// 4 MB of records: the log empties the ring 20 times a second, far faster than any thread fills it.
constexpr uint32_t kMaxCapacity = 1u << 14;
constexpr uint32_t kMagic = 0x57495247; // "WIRG"

enum class RecordKind : uint16_t { Sent = 1, Returned = 2, Posted = 3 };

// What the hook copied from the memory a message points to, into Record::data. Structures are
// copied as they lie in the watched process, so their layout is that of its bitness (pointers and
// handles 4 or 8 bytes, with the compiler's alignment); the reader knows the bitness. Which
// message carries which kind is said once, in the decoding tables (src/watch/*Decoding.txt).
enum class DataKind : uint16_t {
    None = 0,
    Text = 1,         // a string, without its terminator: UTF-16, or ANSI with DataAnsi
    CreateStruct = 2, // CREATESTRUCT, then its window name as Text (a class name is often an atom)
    WindowPos = 3,    // WINDOWPOS
    MinMaxInfo = 4,   // MINMAXINFO
    NcCalcSize = 5,   // NCCALCSIZE_PARAMS' three RECTs, then the WINDOWPOS its lppos points to
    StyleStruct = 6,  // STYLESTRUCT
    DrawItem = 7,     // DRAWITEMSTRUCT
    MeasureItem = 8,  // MEASUREITEMSTRUCT
    DeleteItem = 9,   // DELETEITEMSTRUCT
    CompareItem = 10, // COMPAREITEMSTRUCT
    Notify = 11,      // NMHDR, then the rest of the structure its code documents, where it names one
    Rect = 12,        // a RECT (WM_SIZING, WM_MOVING, WM_NCCALCSIZE without valid rects, EM_GETRECT...)
    CopyData = 13,    // COPYDATASTRUCT, then the first bytes of its data
    HelpInfo = 14,    // HELPINFO
    Last = HelpInfo,
};
// The kinds by the names the decoding tables give them ("data:WINDOWPOS"): the structures' own
// names, and "text".
struct DataKindName {
    const char* name;
    DataKind kind;
};
inline constexpr DataKindName kDataKindNames[] = {
    {"text", DataKind::Text},
    {"CREATESTRUCT", DataKind::CreateStruct},
    {"WINDOWPOS", DataKind::WindowPos},
    {"MINMAXINFO", DataKind::MinMaxInfo},
    {"NCCALCSIZE", DataKind::NcCalcSize},
    {"STYLESTRUCT", DataKind::StyleStruct},
    {"DRAWITEMSTRUCT", DataKind::DrawItem},
    {"MEASUREITEMSTRUCT", DataKind::MeasureItem},
    {"DELETEITEMSTRUCT", DataKind::DeleteItem},
    {"COMPAREITEMSTRUCT", DataKind::CompareItem},
    {"NMHDR", DataKind::Notify},
    {"RECT", DataKind::Rect},
    {"COPYDATASTRUCT", DataKind::CopyData},
    {"HELPINFO", DataKind::HelpInfo},
};
constexpr bool SameName(const char* a, const char* b)
{
    while (*a != '\0' && *a == *b) ++a, ++b;
    return *a == *b;
}
// DataKind::None for a name that is none of them.
constexpr DataKind DataKindNamed(const char* name)
{
    for (const DataKindName& known : kDataKindNames) {
        if (SameName(known.name, name)) return known.kind;
    }
    return DataKind::None;
}
constexpr uint16_t KindBit(DataKind kind)
{
    return static_cast<uint16_t>(1u << static_cast<unsigned>(kind));
}

// Record::dataFlags
constexpr uint16_t kDataAnsi = 1;       // the Text part is in the ANSI code page
constexpr uint16_t kDataTruncated = 2;  // there was more than fits
// The pointer was null or led to memory that could not be read (beyond what the message defines,
// or a sender's pointer into another process, which Wine hands hooks uncopied).
constexpr uint16_t kDataUnreadable = 4;

constexpr uint32_t kDataBytes = 192;
// Sends nested deeper than this are logged, but their answers carry no sequence number.
constexpr uint32_t kTrackedDepth = 256;

struct Record {
    RecordKind kind;
    // Sent and Returned: how deep in nested sends to the watched thread (1: the outermost).
    uint16_t depth;
    uint32_t message;
    // Sent: numbered per hooked thread; Returned: the number of the Sent record it answers
    // (0 when nesting went deeper than the hook keeps track of).
    uint32_t sequence;
    // In the ring: the hook's number of this record among all it tried to write since the
    // handover, dropped ones included (its first is 1). In the log's copy: how many the hook
    // dropped just before this one, which the log works out from those numbers itself.
    union {
        uint32_t serial;
        uint32_t droppedBefore;
    };
    uint64_t window; // the window the message is for
    uint64_t wParam;
    uint64_t lParam;
    uint64_t result; // Returned: what the window procedure answered
    int64_t time;    // QueryPerformanceCounter
    DataKind dataKind;
    uint16_t dataFlags;
    uint16_t structBytes; // data[0, structBytes) is the structure, the rest up to dataBytes its text
    uint16_t dataBytes;
    uint8_t data[kDataBytes];
};
static_assert(sizeof(Record) == 256, "records are packed into the section back to back");
static_assert(offsetof(Record, data) == 64, "the same layout in 32-bit and 64-bit code");

// Header::handover: the log offers the ring; the hook claims it, or refuses it as busy while the
// ring of a log that still runs is its own; the log withdraws an offer nobody claimed.
enum Handover : LONG { kOffered = 0, kClaimed = 1, kBusy = 2, kWithdrawn = 3 };

struct Header {
    uint32_t magic;
    uint32_t recordSize;
    uint32_t capacity;
    uint32_t options; // written by the log before the handover: kEveryWindow
    uint32_t key;     // by the log: random, and named in the handover too
    volatile LONG handover;
    volatile LONG released;  // by the log: it has stopped; the hook may take another log's ring
    volatile LONG heartbeat; // by the log: GetTickCount at its last look; a log silent for long is gone
    // Counters only ever grow (modulo 2^32); written by one side each.
    volatile LONG written;   // by the hook: records published
    volatile LONG read;      // by the log: records taken
    volatile LONG attempts;  // by the hook: the serial number of the last record tried, once written or dropped
    volatile LONG hookCalls; // by the hook: every call of its procedures once it holds the ring
    volatile LONG probes;    // by the hook: the log's probes it saw while this was its ring
    volatile LONG foreign;   // by the hook: handovers of other rings it refused while this was its ring
    uint32_t reserved[2];
};
static_assert(sizeof(Header) == 64, "the same header in 32-bit and 64-bit code");

// Header::options: log every window of the watched thread, not only the one handed over to.
constexpr uint32_t kEveryWindow = 1;
// A log that has not looked at its ring for this long (by the heartbeat) has crashed: the hook
// takes the next log's ring instead of calling itself busy for ever.
constexpr DWORD kLogSilenceMs = 2000;

inline Record* Records(Header* header) { return reinterpret_cast<Record*>(header + 1); }
inline uint64_t RingBytes(uint32_t capacity) { return sizeof(Header) + uint64_t{capacity} * sizeof(Record); }

// The registered message of the handover, sent to the watched window: wParam is the section's
// handle in the watched process, lParam the key. With wParam 0 it is a probe instead, which the
// hook counts in its ring: the log's way to see that its hook still writes while the window
// answers. Neither is logged.
constexpr const wchar_t* kHandoverMessage = L"WindowInventory.WatchRing";
// What the hook answers a handover with when it cannot use the section at all (the low 16 bits:
// the error); an answer is otherwise written into the ring's header. The window procedure's own
// answer is not looked at.
constexpr uint32_t kHandoverRefused = 0x5A170000u;

} // namespace watch_ring
