// WindowInventoryHook.dll (and WindowInventoryHook64.dll): loaded by the system into the thread
// that owns a watched window, it copies that window's messages, with the data they point to
// (MessageCopy.h), into the ring the log handed over (WatchRing.h). It must cost the watched
// program as little as possible and never block it: no locks and no allocation per message,
// nothing that sends a message.
#include "hook/MessageCopy.h"
#include "hook/WatchRing.h"

#include <windows.h>

namespace {
using watch_ring::Header;
using watch_ring::Record;
using watch_ring::RecordKind;

constexpr unsigned kTrackedDepth = 256;

// Per hooked thread, made when a log hands a ring over; every state is on one list so that the
// DLL can let go of all of them when it is unloaded, whatever thread does that.
struct ThreadState {
    ThreadState* next;
    ThreadState* previous;
    HANDLE section;
    Header* ring;
    HWND window;
    bool everyWindow;
    uint32_t capacity; // as checked at the handover: the header is not asked again
    uint32_t written;  // ours alone: the header's copy is only published
    uint32_t dropsPending;
    uint32_t sequence;
    uint32_t depth;
    uint32_t sends[kTrackedDepth];
    message_copy::ClassCache classes;
};

DWORD g_tlsSlot = TLS_OUT_OF_INDEXES;
SRWLOCK g_statesLock = SRWLOCK_INIT;
ThreadState* g_states = nullptr;
UINT g_handover = 0;

void Detach(ThreadState& state)
{
    if (state.ring != nullptr) UnmapViewOfFile(state.ring);
    if (state.section != nullptr) CloseHandle(state.section);
    state.ring = nullptr;
    state.section = nullptr;
}

void Free(ThreadState* state)
{
    Detach(*state);
    if (state->previous != nullptr) state->previous->next = state->next;
    else g_states = state->next;
    if (state->next != nullptr) state->next->previous = state->previous;
    HeapFree(GetProcessHeap(), 0, state);
}

void ReleaseThisThread()
{
    auto* state = static_cast<ThreadState*>(TlsGetValue(g_tlsSlot));
    if (state == nullptr) return;
    AcquireSRWLockExclusive(&g_statesLock);
    Free(state);
    ReleaseSRWLockExclusive(&g_statesLock);
    TlsSetValue(g_tlsSlot, nullptr);
}

// Opens the section the log named and checks it is whole; a failure is answered once, and
// remembered until the next handover, not retried per message.
DWORD Attach(HWND window, WPARAM keyLow, LPARAM keyHigh)
{
    auto* state = static_cast<ThreadState*>(TlsGetValue(g_tlsSlot));
    if (state == nullptr) {
        state = static_cast<ThreadState*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ThreadState)));
        if (state == nullptr) return ERROR_OUTOFMEMORY;
        AcquireSRWLockExclusive(&g_statesLock);
        state->next = g_states;
        if (g_states != nullptr) g_states->previous = state;
        g_states = state;
        ReleaseSRWLockExclusive(&g_statesLock);
        TlsSetValue(g_tlsSlot, state);
    }
    Detach(*state);
    wchar_t name[80];
    watch_ring::SectionName(GetCurrentThreadId(), static_cast<uint32_t>(keyLow), static_cast<uint32_t>(keyHigh), name);
    const HANDLE section = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name);
    if (section == nullptr) return GetLastError();
    auto* ring = static_cast<Header*>(MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    MEMORY_BASIC_INFORMATION view = {};
    const uint32_t capacity = ring != nullptr ? ring->capacity : 0;
    if (ring == nullptr || VirtualQuery(ring, &view, sizeof view) != sizeof view || ring->magic != watch_ring::kMagic ||
        ring->recordSize != sizeof(Record) || capacity == 0 || capacity > watch_ring::kMaxCapacity ||
        view.RegionSize < watch_ring::RingBytes(capacity)) {
        if (ring != nullptr) UnmapViewOfFile(ring);
        CloseHandle(section);
        return ERROR_INVALID_DATA;
    }
    state->section = section;
    state->ring = ring;
    state->window = window;
    state->everyWindow = (ring->options & watch_ring::kEveryWindow) != 0;
    state->capacity = capacity;
    state->written = static_cast<uint32_t>(ring->written);
    state->dropsPending = 0;
    state->depth = 0;
    return ERROR_SUCCESS;
}

// This thread's state if it holds a ring for `window` (or for every window of the thread),
// counting the call either way.
ThreadState* Watching(HWND window)
{
    auto* state = static_cast<ThreadState*>(TlsGetValue(g_tlsSlot));
    if (state == nullptr || state->ring == nullptr) return nullptr;
    InterlockedIncrement(&state->ring->hookCalls);
    return state->window == window || (state->everyWindow && window != nullptr) ? state : nullptr;
}

// `sentHere`: the hook's own wParam, whether this thread (for an answer: this process) sent it.
void Put(ThreadState& state, RecordKind kind, bool sentHere, uint32_t depth, uint32_t sequence, HWND window, UINT message,
         WPARAM wParam, LPARAM lParam, LRESULT result)
{
    Header& header = *state.ring;
    const uint32_t written = state.written;
    // A read index the log never published (written - read > capacity) reads as a full ring.
    if (written - static_cast<uint32_t>(header.read) >= state.capacity) {
        InterlockedIncrement(&header.dropped);
        ++state.dropsPending;
        return;
    }
    Record& record = watch_ring::Records(&header)[written % state.capacity];
    record.kind = kind;
    record.depth = static_cast<uint16_t>(depth > 0xFFFF ? 0xFFFF : depth);
    record.message = message;
    record.window = static_cast<uint64_t>(reinterpret_cast<UINT_PTR>(window));
    record.sequence = sequence;
    record.droppedBefore = state.dropsPending;
    record.wParam = static_cast<uint64_t>(wParam);
    record.lParam = static_cast<uint64_t>(static_cast<UINT_PTR>(lParam));
    record.result = static_cast<uint64_t>(static_cast<UINT_PTR>(result));
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    record.time = now.QuadPart;
    if (kind == RecordKind::Posted || !message_copy::Copies(message)) {
        record.dataKind = watch_ring::DataKind::None;
        record.dataFlags = 0;
        record.structBytes = 0;
        record.dataBytes = 0;
    } else {
        message_copy::Copy(state.classes, record, kind == RecordKind::Returned, sentHere, window, message, wParam, lParam, result);
    }
    state.dropsPending = 0;
    state.written = written + 1;
    // Publishing is the last store: the reader never sees a half-written record.
    InterlockedExchange(&header.written, static_cast<LONG>(written + 1));
}
} // namespace

extern "C" {

__declspec(dllexport) LRESULT CALLBACK WatchCallWndProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto& sent = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (g_handover == 0) g_handover = RegisterWindowMessageW(watch_ring::kHandoverMessage);
        if (sent.message == g_handover && g_handover != 0) {
            // The handover itself is not logged; it is counted, which tells the log the hook runs.
            const DWORD error = Attach(sent.hwnd, sent.wParam, sent.lParam);
            if (error != ERROR_SUCCESS) ReplyMessage(static_cast<LRESULT>(watch_ring::kHandoverRefused | (error & 0xFFFF)));
            else Watching(nullptr);
        } else if (ThreadState* state = Watching(sent.hwnd)) {
            const uint32_t sequence = ++state->sequence;
            if (state->depth < kTrackedDepth) state->sends[state->depth] = sequence;
            ++state->depth;
            Put(*state, RecordKind::Sent, wParam != 0, state->depth, sequence, sent.hwnd, sent.message, sent.wParam, sent.lParam, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

__declspec(dllexport) LRESULT CALLBACK WatchCallWndRetProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto& answered = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        ThreadState* state = Watching(answered.hwnd);
        if (state != nullptr && state->depth > 0) {
            const uint32_t depth = state->depth--;
            const uint32_t sequence = state->depth < kTrackedDepth ? state->sends[state->depth] : 0;
            Put(*state, RecordKind::Returned, wParam != 0, depth, sequence, answered.hwnd, answered.message, answered.wParam, answered.lParam,
                answered.lResult);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

__declspec(dllexport) LRESULT CALLBACK WatchGetMessageProc(int code, WPARAM wParam, LPARAM lParam)
{
    // PM_NOREMOVE peeks would log the same posted message more than once.
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const auto& posted = *reinterpret_cast<const MSG*>(lParam);
        if (ThreadState* state = Watching(posted.hwnd)) {
            Put(*state, RecordKind::Posted, false, 0, 0, posted.hwnd, posted.message, posted.wParam, posted.lParam, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void* reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        g_tlsSlot = TlsAlloc();
        return g_tlsSlot != TLS_OUT_OF_INDEXES;
    case DLL_THREAD_DETACH:
        ReleaseThisThread();
        break;
    case DLL_PROCESS_DETACH:
        // Unloaded while the process goes on (the last hook removed): every thread's ring goes,
        // not only the detaching thread's. At process exit the system frees it all anyway.
        if (reserved == nullptr) {
            AcquireSRWLockExclusive(&g_statesLock);
            while (g_states != nullptr) Free(g_states);
            ReleaseSRWLockExclusive(&g_statesLock);
        }
        TlsFree(g_tlsSlot);
        break;
    default:
        break;
    }
    return TRUE;
}

} // extern "C"
