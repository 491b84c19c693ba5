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

#include <cstdint>
#include <cwchar>

namespace watch_ring {

constexpr uint32_t kMaxCapacity = 1u << 16;
constexpr uint32_t kMagic = 0x57495247; // "WIRG"

enum class RecordKind : uint16_t { Sent = 1, Returned = 2, Posted = 3 };

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
    uint64_t wParam;
    uint64_t lParam;
    uint64_t result; // Returned: what the window procedure answered
    int64_t time;    // QueryPerformanceCounter
};
static_assert(sizeof(Record) == 48, "records are packed into the section back to back");

struct Header {
    uint32_t magic;
    uint32_t recordSize;
    uint32_t capacity;
    uint32_t reserved;
    // Counters only ever grow (modulo 2^32); written by one side each.
    volatile LONG written;   // by the hook: records published
    volatile LONG read;      // by the log: records taken
    volatile LONG dropped;   // by the hook: records not written because the ring was full
    volatile LONG hookCalls; // by the hook: every call of its procedures once it holds the ring
};
static_assert(sizeof(Header) == 32, "the same header in 32-bit and 64-bit code");

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
