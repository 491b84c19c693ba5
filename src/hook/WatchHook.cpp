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

// The message a hook procedure of ours is passing on down the hook chain: a second set of our
// hooks on the thread (another program's log, for the moment it takes to be refused) gets it
// next, and must not log it twice.
struct Passing {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool active;
    bool Is(HWND w, UINT m, WPARAM wp, LPARAM lp) const { return active && window == w && message == m && wParam == wp && lParam == lp; }
};

// Per hooked thread, made when a log hands a ring over; every state is on one list so that the
// DLL can let go of all of them when it is unloaded, whatever thread does that.
struct ThreadState {
    ThreadState* next;
    ThreadState* previous;
    Header* ring;
    HWND window;
    bool everyWindow;
    uint32_t capacity; // as checked at the handover: the header is not asked again
    uint32_t written;  // ours alone: the header's copy is only published
    uint32_t serial;   // of the last record tried, written or dropped
    uint32_t sequence;
    uint32_t depth;
    uint32_t sends[watch_ring::kTrackedDepth];
    Passing passing[3]; // per hook procedure
    message_copy::ClassCache classes;
};

DWORD g_tlsSlot = TLS_OUT_OF_INDEXES;
SRWLOCK g_statesLock = SRWLOCK_INIT;
ThreadState* g_states = nullptr;
UINT g_handover = 0;

void Detach(ThreadState& state)
{
    if (state.ring != nullptr) UnmapViewOfFile(state.ring);
    state.ring = nullptr;
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

ThreadState* StateOfThisThread()
{
    auto* state = static_cast<ThreadState*>(TlsGetValue(g_tlsSlot));
    if (state != nullptr) return state;
    state = static_cast<ThreadState*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ThreadState)));
    if (state == nullptr) return nullptr;
    AcquireSRWLockExclusive(&g_statesLock);
    state->next = g_states;
    if (g_states != nullptr) g_states->previous = state;
    g_states = state;
    ReleaseSRWLockExclusive(&g_statesLock);
    TlsSetValue(g_tlsSlot, state);
    return state;
}

// Whether the ring is still its log's: a log that stopped says so, one that crashed stops beating.
bool InUse(const Header& ring)
{
    return ring.released == 0 && GetTickCount() - static_cast<DWORD>(ring.heartbeat) < watch_ring::kLogSilenceMs;
}

// Takes the ring whose handle the log duplicated into this process, if its header is a log's
// offer under `key`. A failure leaves the ring this thread holds as it was: whoever sends a
// handover cannot silence the hook by sending a bad one. A handle is closed here only once its
// offer was taken (claimed or refused as busy): until then it may be anything of this process's.
DWORD Attach(HWND window, WPARAM section, LPARAM key)
{
    ThreadState* state = StateOfThisThread();
    if (state == nullptr) return ERROR_OUTOFMEMORY;
    const auto handle = reinterpret_cast<HANDLE>(section);
    auto* ring = static_cast<Header*>(MapViewOfFile(handle, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (ring == nullptr) {
        const DWORD error = GetLastError();
        if (state->ring != nullptr) InterlockedIncrement(&state->ring->foreign);
        return error != ERROR_SUCCESS ? error : ERROR_INVALID_HANDLE;
    }
    MEMORY_BASIC_INFORMATION view = {};
    const uint32_t capacity = ring->capacity;
    const bool whole = VirtualQuery(ring, &view, sizeof view) == sizeof view && ring->magic == watch_ring::kMagic &&
                       ring->recordSize == sizeof(Record) && capacity != 0 && capacity <= watch_ring::kMaxCapacity &&
                       view.RegionSize >= watch_ring::RingBytes(capacity) && ring->key == static_cast<uint32_t>(key);
    const bool busy = state->ring != nullptr && InUse(*state->ring);
    const LONG verdict = busy ? watch_ring::kBusy : watch_ring::kClaimed;
    if (!whole || InterlockedCompareExchange(&ring->handover, verdict, watch_ring::kOffered) != watch_ring::kOffered) {
        UnmapViewOfFile(ring);
        if (state->ring != nullptr) InterlockedIncrement(&state->ring->foreign);
        return ERROR_INVALID_DATA;
    }
    CloseHandle(handle); // the view keeps the section
    if (busy) {
        UnmapViewOfFile(ring);
        InterlockedIncrement(&state->ring->foreign);
        return ERROR_SUCCESS; // the answer is in the offered ring's header
    }
    Detach(*state);
    state->ring = ring;
    state->window = window;
    state->everyWindow = (ring->options & watch_ring::kEveryWindow) != 0;
    state->capacity = capacity;
    state->written = static_cast<uint32_t>(ring->written);
    state->serial = 0;
    state->depth = 0;
    return ERROR_SUCCESS;
}

// This thread's state if it holds a ring for `window` (or for every window of the thread),
// counting the call either way. A ring its log has let go of is let go of here too.
ThreadState* Watching(HWND window)
{
    auto* state = static_cast<ThreadState*>(TlsGetValue(g_tlsSlot));
    if (state == nullptr || state->ring == nullptr) return nullptr;
    if (state->ring->released != 0) {
        Detach(*state);
        return nullptr;
    }
    InterlockedIncrement(&state->ring->hookCalls);
    return state->window == window || (state->everyWindow && window != nullptr) ? state : nullptr;
}

// `sentHere`: the hook's own wParam, whether this thread (for an answer: this process) sent it.
void Put(ThreadState& state, RecordKind kind, bool sentHere, uint32_t depth, uint32_t sequence, HWND window, UINT message,
         WPARAM wParam, LPARAM lParam, LRESULT result)
{
    Header& header = *state.ring;
    const uint32_t written = state.written;
    const uint32_t serial = ++state.serial;
    // A read index the log never published (written - read > capacity) reads as a full ring.
    if (written - static_cast<uint32_t>(header.read) >= state.capacity) {
        InterlockedExchange(&header.attempts, static_cast<LONG>(serial));
        return;
    }
    Record& record = watch_ring::Records(&header)[written % state.capacity];
    record.kind = kind;
    record.depth = static_cast<uint16_t>(depth > 0xFFFF ? 0xFFFF : depth);
    record.message = message;
    record.window = static_cast<uint64_t>(reinterpret_cast<UINT_PTR>(window));
    record.sequence = sequence;
    record.serial = serial;
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
    state.written = written + 1;
    // Publishing comes after the record's last store: the reader never sees a half-written record.
    // Only then is it counted as tried, so that a log that sees the count can take the record.
    InterlockedExchange(&header.written, static_cast<LONG>(written + 1));
    InterlockedExchange(&header.attempts, static_cast<LONG>(serial));
}

// Passes the message on down the chain, marked as logged for a second hook of ours further down.
LRESULT PassOn(ThreadState* state, int which, HWND window, UINT message, WPARAM wp, LPARAM lp, int code, WPARAM wParam,
               LPARAM lParam)
{
    if (state == nullptr) return CallNextHookEx(nullptr, code, wParam, lParam);
    const Passing outer = state->passing[which];
    state->passing[which] = {window, message, wp, lp, true};
    const LRESULT result = CallNextHookEx(nullptr, code, wParam, lParam);
    state->passing[which] = outer;
    return result;
}

ThreadState* Passed(int which, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = static_cast<ThreadState*>(TlsGetValue(g_tlsSlot));
    return state != nullptr && state->passing[which].Is(window, message, wParam, lParam) ? state : nullptr;
}
} // namespace

extern "C" {

__declspec(dllexport) LRESULT CALLBACK WatchCallWndProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code != HC_ACTION) return CallNextHookEx(nullptr, code, wParam, lParam);
    const auto& sent = *reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (g_handover == 0) g_handover = RegisterWindowMessageW(watch_ring::kHandoverMessage);
    if (Passed(0, sent.hwnd, sent.message, sent.wParam, sent.lParam) != nullptr) {
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    if (sent.message == g_handover && g_handover != 0) {
        // Neither the handover nor a probe is logged; a probe is counted in the ring held.
        if (sent.wParam == 0) {
            Watching(nullptr);
            const auto* state = static_cast<ThreadState*>(TlsGetValue(g_tlsSlot));
            if (state != nullptr && state->ring != nullptr) InterlockedIncrement(&state->ring->probes);
        } else {
            const DWORD error = Attach(sent.hwnd, sent.wParam, sent.lParam);
            if (error != ERROR_SUCCESS) ReplyMessage(static_cast<LRESULT>(watch_ring::kHandoverRefused | (error & 0xFFFF)));
            else Watching(nullptr);
        }
    } else if (ThreadState* state = Watching(sent.hwnd)) {
        const uint32_t sequence = ++state->sequence;
        if (state->depth < watch_ring::kTrackedDepth) state->sends[state->depth] = sequence;
        ++state->depth;
        Put(*state, RecordKind::Sent, wParam != 0, state->depth, sequence, sent.hwnd, sent.message, sent.wParam, sent.lParam, 0);
    }
    return PassOn(static_cast<ThreadState*>(TlsGetValue(g_tlsSlot)), 0, sent.hwnd, sent.message, sent.wParam, sent.lParam,
                  code, wParam, lParam);
}

__declspec(dllexport) LRESULT CALLBACK WatchCallWndRetProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code != HC_ACTION) return CallNextHookEx(nullptr, code, wParam, lParam);
    const auto& answered = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (Passed(1, answered.hwnd, answered.message, answered.wParam, answered.lParam) != nullptr ||
        (answered.message == g_handover && g_handover != 0)) {
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    ThreadState* state = Watching(answered.hwnd);
    if (state != nullptr && state->depth > 0) {
        const uint32_t depth = state->depth--;
        const uint32_t sequence = state->depth < watch_ring::kTrackedDepth ? state->sends[state->depth] : 0;
        Put(*state, RecordKind::Returned, wParam != 0, depth, sequence, answered.hwnd, answered.message, answered.wParam,
            answered.lParam, answered.lResult);
    }
    return PassOn(static_cast<ThreadState*>(TlsGetValue(g_tlsSlot)), 1, answered.hwnd, answered.message, answered.wParam,
                  answered.lParam, code, wParam, lParam);
}

__declspec(dllexport) LRESULT CALLBACK WatchGetMessageProc(int code, WPARAM wParam, LPARAM lParam)
{
    // PM_NOREMOVE peeks would log the same posted message more than once.
    if (code != HC_ACTION || wParam != PM_REMOVE) return CallNextHookEx(nullptr, code, wParam, lParam);
    const auto& posted = *reinterpret_cast<const MSG*>(lParam);
    if (Passed(2, posted.hwnd, posted.message, posted.wParam, posted.lParam) != nullptr) {
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    if (ThreadState* state = Watching(posted.hwnd)) {
        Put(*state, RecordKind::Posted, false, 0, 0, posted.hwnd, posted.message, posted.wParam, posted.lParam, 0);
    }
    return PassOn(static_cast<ThreadState*>(TlsGetValue(g_tlsSlot)), 2, posted.hwnd, posted.message, posted.wParam,
                  posted.lParam, code, wParam, lParam);
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
