// The shared memory through which the hook DLL, running inside the watched thread, hands the
// messages of one window to the message log: a named section per watched thread holding a
// header and a ring of fixed-size records. One writer (the hooked thread), one reader (the log);
// the writer never waits: when the ring is full it counts the record as dropped instead.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cwchar>

namespace watch_ring {

// The section is always this big; a log may use fewer records (Header::capacity).
constexpr uint32_t kMaxCapacity = 1u << 16;

enum class RecordKind : uint16_t { Sent = 1, Returned = 2, Posted = 3 };

struct Record {
    RecordKind kind;
    // How deep in nested sends to the watched window: a Returned record answers the Sent
    // record of the same depth.
    uint16_t depth;
    uint32_t message;
    uint32_t wParam;
    uint32_t lParam;
    uint32_t result; // Returned: what the window procedure answered
    uint32_t reserved;
    int64_t time; // QueryPerformanceCounter
};
static_assert(sizeof(Record) == 32, "records are packed into the section back to back");

struct Header {
    // The process id of the log that owns the ring; 0 once it let go.
    volatile LONG owner;
    // The watched window; the hook ignores every other window of the thread.
    volatile uint32_t window;
    uint32_t capacity;
    // Counters only ever grow (modulo 2^32); written by one side each.
    volatile LONG written;   // by the hook: records published
    volatile LONG read;      // by the log: records taken
    volatile LONG dropped;   // by the hook: records not written because the ring was full
    volatile LONG hookCalls; // by the hook: every call of its procedures, watched window or not
    uint32_t reserved;
};

struct Ring {
    Header header;
    Record records[kMaxCapacity];
};

// "Local\WindowInventoryWatch.<thread id>": one log per thread at a time.
inline void SectionName(DWORD threadId, wchar_t (&name)[64])
{
    std::swprintf(name, 64, L"Local\\WindowInventoryWatch.%lu", static_cast<unsigned long>(threadId));
}

} // namespace watch_ring
