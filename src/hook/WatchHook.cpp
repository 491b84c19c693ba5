// WindowInventoryHook.dll: loaded by the system into the thread that owns a watched window, it
// copies that window's messages into the thread's ring (WatchRing.h). It must cost the watched
// program as little as possible and never block it: no locks, no waiting, no allocation per
// message, nothing that sends a message.
#include "hook/WatchRing.h"

#include <windows.h>

namespace {
using watch_ring::Record;
using watch_ring::RecordKind;
using watch_ring::Ring;

// Per hooked thread: its ring, mapped on first use and kept until the thread or DLL goes.
struct ThreadState {
    HANDLE section;
    Ring* ring;
    uint16_t depth;
};

DWORD g_tlsSlot = TLS_OUT_OF_INDEXES;

ThreadState* StateOfThisThread()
{
    auto* state = static_cast<ThreadState*>(TlsGetValue(g_tlsSlot));
    if (state == nullptr) {
        state = static_cast<ThreadState*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ThreadState)));
        if (state == nullptr) return nullptr;
        TlsSetValue(g_tlsSlot, state);
    }
    if (state->ring == nullptr) {
        // Only while a log has created the section is the hook set: a miss is rare and retried.
        wchar_t name[64];
        watch_ring::SectionName(GetCurrentThreadId(), name);
        state->section = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name);
        if (state->section == nullptr) return state;
        state->ring = static_cast<Ring*>(MapViewOfFile(state->section, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
        if (state->ring == nullptr) {
            CloseHandle(state->section);
            state->section = nullptr;
        }
    }
    return state;
}

void ReleaseThisThread()
{
    if (g_tlsSlot == TLS_OUT_OF_INDEXES) return;
    auto* state = static_cast<ThreadState*>(TlsGetValue(g_tlsSlot));
    if (state == nullptr) return;
    if (state->ring != nullptr) UnmapViewOfFile(state->ring);
    if (state->section != nullptr) CloseHandle(state->section);
    HeapFree(GetProcessHeap(), 0, state);
    TlsSetValue(g_tlsSlot, nullptr);
}

// The ring of this thread if `window` is the one watched now, counting the call either way.
Ring* RingFor(HWND window, ThreadState*& state)
{
    state = StateOfThisThread();
    if (state == nullptr || state->ring == nullptr) return nullptr;
    Ring* ring = state->ring;
    InterlockedIncrement(&ring->header.hookCalls);
    if (ring->header.owner == 0 || ring->header.window != static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(window))) {
        return nullptr;
    }
    return ring;
}

void Put(Ring& ring, RecordKind kind, uint16_t depth, UINT message, WPARAM wParam, LPARAM lParam, LRESULT result)
{
    watch_ring::Header& header = ring.header;
    const uint32_t written = static_cast<uint32_t>(header.written);
    const uint32_t read = static_cast<uint32_t>(header.read);
    const uint32_t capacity = header.capacity;
    if (capacity == 0 || capacity > watch_ring::kMaxCapacity || written - read >= capacity) {
        InterlockedIncrement(&header.dropped);
        return;
    }
    Record& record = ring.records[written % capacity];
    record.kind = kind;
    record.depth = depth;
    record.message = message;
    record.wParam = static_cast<uint32_t>(wParam);
    record.lParam = static_cast<uint32_t>(lParam);
    record.result = static_cast<uint32_t>(result);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    record.time = now.QuadPart;
    // Publishing is the last store: the reader never sees a half-written record.
    InterlockedExchange(&header.written, static_cast<LONG>(written + 1));
}
} // namespace

extern "C" {

__declspec(dllexport) LRESULT CALLBACK WatchCallWndProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto& sent = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        ThreadState* state = nullptr;
        if (Ring* ring = RingFor(sent.hwnd, state)) {
            Put(*ring, RecordKind::Sent, ++state->depth, sent.message, sent.wParam, sent.lParam, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

__declspec(dllexport) LRESULT CALLBACK WatchCallWndRetProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto& answered = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        ThreadState* state = nullptr;
        if (Ring* ring = RingFor(answered.hwnd, state)) {
            Put(*ring, RecordKind::Returned, state->depth, answered.message, answered.wParam, answered.lParam,
                answered.lResult);
            if (state->depth > 0) --state->depth;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

__declspec(dllexport) LRESULT CALLBACK WatchGetMessageProc(int code, WPARAM wParam, LPARAM lParam)
{
    // PM_NOREMOVE peeks would log the same posted message more than once.
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const auto& posted = *reinterpret_cast<const MSG*>(lParam);
        ThreadState* state = nullptr;
        if (Ring* ring = RingFor(posted.hwnd, state)) {
            Put(*ring, RecordKind::Posted, 0, posted.message, posted.wParam, posted.lParam, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        g_tlsSlot = TlsAlloc();
        return g_tlsSlot != TLS_OUT_OF_INDEXES;
    case DLL_THREAD_DETACH:
        ReleaseThisThread();
        break;
    case DLL_PROCESS_DETACH:
        ReleaseThisThread();
        if (g_tlsSlot != TLS_OUT_OF_INDEXES) TlsFree(g_tlsSlot);
        break;
    default:
        break;
    }
    return TRUE;
}

} // extern "C"
