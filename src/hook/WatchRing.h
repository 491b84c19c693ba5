// The shared memory through which the hook DLL, running inside the watched thread, hands the
// messages of one window to the message log: a section per watch holding a header and a ring of
// fixed-size records. One writer (the hooked thread), one reader (the log); the writer never
// waits: when the ring is full it counts the record as dropped instead.
//
// The layout is the same for the 32-bit and the 64-bit hook: fixed-width fields only. Neither side
// trusts what the other wrote: each keeps the capacity and its own index itself, and checks the
// view's real size before it touches a record.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cwchar>

namespace watch_ring {

// 4 MB of records: the log empties the ring 20 times a second, far faster than any thread fills it.
constexpr uint32_t kMaxCapacity = 1u << 14;
constexpr uint32_t kMagic = 0x57495247; // "WIRG"

enum class RecordKind : uint16_t { Sent = 1, Returned = 2, Posted = 3 };

// What the hook copied from the memory a message points to, into Record::data. Structures are
// copied as they lie in the watched process, so their layout is that of its bitness (pointers and
// handles 4 or 8 bytes, with the compiler's alignment); the reader knows the bitness.
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
};
// Record::dataFlags
constexpr uint16_t kDataAnsi = 1;       // the Text part is in the ANSI code page
constexpr uint16_t kDataTruncated = 2;  // there was more than fits
// The pointer was null or led to memory that could not be read (beyond what the message defines,
// or a sender's pointer into another process, which Wine hands hooks uncopied).
constexpr uint16_t kDataUnreadable = 4;

constexpr uint32_t kDataBytes = 192;

struct Record {
    RecordKind kind;
    // Sent and Returned: how deep in nested sends to the watched thread (1: the outermost).
    uint16_t depth;
    uint32_t message;
    // Sent: numbered per hooked thread; Returned: the number of the Sent record it answers
    // (0 when nesting went deeper than the hook keeps track of).
    uint32_t sequence;
    // How many records the hook had to drop just before this one.
    uint32_t droppedBefore;
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

struct Header {
    uint32_t magic;
    uint32_t recordSize;
    uint32_t capacity;
    uint32_t options; // written by the log before the handover: kEveryWindow
    // Counters only ever grow (modulo 2^32); written by one side each.
    volatile LONG written;   // by the hook: records published
    volatile LONG read;      // by the log: records taken
    volatile LONG dropped;   // by the hook: records not written because the ring was full
    volatile LONG hookCalls; // by the hook: every call of its procedures once it holds the ring
};
static_assert(sizeof(Header) == 32, "the same header in 32-bit and 64-bit code");

// Header::options: log every window of the watched thread, not only the one handed over to.
constexpr uint32_t kEveryWindow = 1;

inline Record* Records(Header* header) { return reinterpret_cast<Record*>(header + 1); }
inline uint64_t RingBytes(uint32_t capacity) { return sizeof(Header) + uint64_t{capacity} * sizeof(Record); }

// The section of one watch: "Local\WindowInventoryWatch.<thread id>.<64 random bits>". The log
// hands the random part to the hook in the registered message below, sent to the watched window
// itself; nobody can create the section first without guessing it.
inline void SectionName(DWORD threadId, uint32_t keyLow, uint32_t keyHigh, wchar_t (&name)[80])
{
    std::swprintf(name, 80, L"Local\\WindowInventoryWatch.%lu.%08lX%08lX", static_cast<unsigned long>(threadId),
                  static_cast<unsigned long>(keyHigh), static_cast<unsigned long>(keyLow));
}
// wParam and lParam: the low and high 32 bits of the key (a 64-bit window sees them widened).
constexpr const wchar_t* kHandoverMessage = L"WindowInventory.WatchRing";
// What the hook answers the handover with when it cannot use the section (the low 16 bits: the
// error); the window procedure's own answer is not looked at.
constexpr uint32_t kHandoverRefused = 0x5A170000u;

} // namespace watch_ring
