// The limits are checked before anything is hooked, so that a window that cannot be watched says
// why instead of showing an empty log.
#include "watch/WatchSession.h"

#include "inventory/APi.h"
#include "platform/ProcessIntegrity.h"

namespace {
using watch_ring::Ring;

std::wstring HandleText(HWND window)
{
    return FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(window)));
}

// The hook DLL beside the running program, loaded once and kept: the system runs its code in
// this process too when a window of ours is watched.
HMODULE HookModule()
{
    static const HMODULE module = [] {
        wchar_t path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring beside(path, length);
        beside = beside.substr(0, beside.find_last_of(L"\\/") + 1) + L"WindowInventoryHook.dll";
        return LoadLibraryW(beside.c_str());
    }();
    return module;
}
} // namespace

WatchSession::WatchSession(HWND window, uint32_t capacity) : m_window(window)
{
    DWORD processId = 0;
    const DWORD threadId = GetWindowThreadProcessId(window, &processId);
    if (threadId == 0) {
        Refuse(L"Window " + HandleText(window) + L" no longer exists");
        return;
    }
    if (!CheckReach(processId)) return;
    if (HookModule() == nullptr) {
        Refuse(L"WindowInventoryHook.dll is missing beside the program");
        return;
    }

    wchar_t name[64];
    watch_ring::SectionName(threadId, name);
    m_section.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Ring), name));
    if (!m_section) {
        Refuse(L"No shared memory for the log (error " + std::to_wstring(GetLastError()) + L")");
        return;
    }
    m_ring = static_cast<Ring*>(MapViewOfFile(m_section.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (m_ring == nullptr) {
        Refuse(L"No shared memory for the log");
        return;
    }

    // A section left by a log that has let go (the hook DLL may still hold it) is taken over;
    // one whose log is still there is not.
    watch_ring::Header& header = m_ring->header;
    const LONG self = static_cast<LONG>(GetCurrentProcessId());
    const LONG previous = InterlockedCompareExchange(&header.owner, self, 0);
    if (previous != 0) {
        UniqueHandle other(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(previous)));
        const bool alive = other && WaitForSingleObject(other.get(), 0) == WAIT_TIMEOUT;
        if (alive || InterlockedCompareExchange(&header.owner, self, previous) != previous) {
            UnmapViewOfFile(m_ring);
            m_ring = nullptr;
            {
        Refuse(L"Another message log already watches a window of thread " + std::to_wstring(threadId) +
                          L": close it first (one log per thread)");
        return;
    }
        }
    }
    header.window = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(window));
    header.capacity = capacity < 1 || capacity > watch_ring::kMaxCapacity ? watch_ring::kMaxCapacity : capacity;
    header.read = header.written;
    m_dropsSeen = static_cast<uint32_t>(header.dropped);

    const struct {
        int kind;
        const char* procedure;
    } hooks[] = {{WH_CALLWNDPROC, "WatchCallWndProc"},
                 {WH_CALLWNDPROCRET, "WatchCallWndRetProc"},
                 {WH_GETMESSAGE, "WatchGetMessageProc"}};
    for (const auto& hook : hooks) {
        const auto procedure = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(HookModule(), hook.procedure)));
        const HHOOK set = procedure ? SetWindowsHookExW(hook.kind, procedure, HookModule(), threadId) : nullptr;
        if (set == nullptr) {
            const DWORD error = GetLastError();
            Stop();
            {
        Refuse(L"The hook could not be set on thread " + std::to_wstring(threadId) + L" (error " +
                          std::to_wstring(error) + L")");
        return;
    }
        }
        m_hooks.push_back(set);
    }
}

bool WatchSession::CheckReach(DWORD processId)
{
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) process.reset(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process) {
        Refuse(L"Process " + std::to_wstring(processId) +
               L" runs at a higher integrity level or is protected: it cannot be watched from this program");
        return false;
    }
    // On 64-bit Windows this program runs under WOW64; a process that does not is 64-bit.
    BOOL selfWow64 = FALSE, targetWow64 = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &selfWow64) && selfWow64 &&
        IsWow64Process(process.get(), &targetWow64) && !targetWow64) {
        Refuse(L"Process " + std::to_wstring(processId) +
               L" is a 64-bit process: its windows cannot be watched from a 32-bit program");
        return false;
    }
    if (IntegrityLevel(process.get()) > IntegrityLevel(GetCurrentProcess())) {
        Refuse(L"Process " + std::to_wstring(processId) +
               L" runs at a higher integrity level: it cannot be watched from this program");
        return false;
    }
    return true;
}

WatchSession::~WatchSession()
{
    Stop();
    if (m_ring != nullptr) {
        InterlockedExchange(&m_ring->header.owner, 0);
        UnmapViewOfFile(m_ring);
    }
}

void WatchSession::Stop() noexcept
{
    for (HHOOK hook : m_hooks) UnhookWindowsHookEx(hook);
    m_hooks.clear();
}

uint32_t WatchSession::Take(std::vector<watch_ring::Record>& records)
{
    if (m_ring == nullptr) return 0;
    watch_ring::Header& header = m_ring->header;
    const uint32_t written = static_cast<uint32_t>(InterlockedCompareExchange(&header.written, 0, 0));
    const uint32_t capacity = header.capacity;
    for (uint32_t index = static_cast<uint32_t>(header.read); index != written; ++index) {
        records.push_back(m_ring->records[index % capacity]);
    }
    // Only now may the hook write over what was copied.
    InterlockedExchange(&header.read, static_cast<LONG>(written));
    const uint32_t dropped = static_cast<uint32_t>(header.dropped);
    const uint32_t fresh = dropped - m_dropsSeen;
    m_dropsSeen = dropped;
    return fresh;
}

uint32_t WatchSession::Pending() const noexcept
{
    if (m_ring == nullptr) return 0;
    const watch_ring::Header& header = m_ring->header;
    return static_cast<uint32_t>(header.written) - static_cast<uint32_t>(header.read) +
           (static_cast<uint32_t>(header.dropped) - m_dropsSeen);
}

uint32_t WatchSession::HookCalls() const noexcept
{
    return m_ring != nullptr ? static_cast<uint32_t>(m_ring->header.hookCalls) : 0;
}
