// One window watched through the hook DLL: the section its thread's hook writes into, the three
// hooks on that thread, and taking what the hook wrote. Everything is undone when it goes.
#pragma once
#include "hook/WatchRing.h"
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <string>
#include <vector>

class WatchSession {
public:
    // Watches `window`, keeping at most `capacity` records between two Take calls. When it
    // cannot, Problem() says why in words for the user and nothing is hooked.
    explicit WatchSession(HWND window, uint32_t capacity = watch_ring::kMaxCapacity);
    ~WatchSession();
    WatchSession(const WatchSession&) = delete;
    WatchSession& operator=(const WatchSession&) = delete;

    const std::wstring& Problem() const noexcept { return m_problem; }
    bool Watching() const noexcept { return m_problem.empty() && !m_hooks.empty(); }
    HWND Window() const noexcept { return m_window; }

    // Appends the records written since the last call; returns how many were dropped meanwhile.
    uint32_t Take(std::vector<watch_ring::Record>& records);
    // Records written, and dropped, that Take has not handed out yet (they may still be taken).
    uint32_t Pending() const noexcept;
    // How often the hook procedures ran in the watched thread, for any window.
    uint32_t HookCalls() const noexcept;
    // Removes the hooks; what was written stays to be taken.
    void Stop() noexcept;

private:
    void Refuse(std::wstring why) { m_problem = std::move(why); }
    bool CheckReach(DWORD processId);

    HWND m_window;
    UniqueHandle m_section;
    watch_ring::Ring* m_ring = nullptr;
    uint32_t m_dropsSeen = 0;
    std::vector<HHOOK> m_hooks;
    std::wstring m_problem;
};
