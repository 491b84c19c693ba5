// One window watched through the hook DLL: the channel its thread's hook writes into, the hooks
// on that thread (set from here, or by the 64-bit host for a 64-bit process), the handover of
// the channel with a check that the hook runs, and taking what it wrote. Everything is undone
// when it goes.
#pragma once
#include "platform/UniqueHandles.h"
#include "watch/WatchChannel.h"
#include "watch/WatchHooks.h"
#include "watch/WatchRefusal.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class WatchSession {
public:
    // Window: the messages of that window alone; Thread: of every window its thread owns.
    enum class Scope { Window, Thread };

    // Watches `window`, keeping at most `capacity` records between two Take calls. When it
    // cannot, Problem() says why in words for the user and nothing stays hooked.
    explicit WatchSession(HWND window, Scope scope = Scope::Window, uint32_t capacity = watch_ring::kMaxCapacity);
    ~WatchSession();
    WatchSession(const WatchSession&) = delete;
    WatchSession& operator=(const WatchSession&) = delete;

    const std::wstring& Problem() const noexcept { return m_problem; }
    bool Watching() const noexcept { return m_problem.empty() && m_hooks && m_hooks->Set(); }
    HWND Window() const noexcept { return m_window; }
    bool SixtyFour() const noexcept { return m_sixtyFour; }
    // The channel's section, as handed to the hook.
    const std::wstring& ChannelName() const noexcept { return m_channelName; }

    // Appends the records written since the last call and adds the drops counted meanwhile to
    // `dropped`. A broken channel ends the watch: then Problem() says so.
    void Take(std::vector<watch_ring::Record>& records, uint64_t& dropped);
    uint32_t Pending() const noexcept { return m_channel ? m_channel->Pending() : 0; }
    // How often the hook procedures ran in the watched thread since the handover, for any window.
    uint32_t HookCalls() const noexcept { return m_channel ? m_channel->HookCalls() : 0; }
    // Removes the hooks; what was written stays to be taken.
    void Stop() noexcept;

private:
    void Start(Scope scope, uint32_t capacity);
    void Refuse(WatchRefusal why, uint64_t detail = 0);
    bool CheckReach();
    void HandOver(uint32_t keyLow, uint32_t keyHigh);

    HWND m_window;
    DWORD m_processId = 0;
    DWORD m_threadId = 0;
    bool m_sixtyFour = false;
    bool m_tokenRead = false;
    std::vector<BYTE> m_targetUser; // the watched process's user SID, when its token could be read
    DWORD m_integrityLevel = SECURITY_MANDATORY_MEDIUM_RID;
    UniqueHandle m_threadClaim; // one log per thread
    std::wstring m_channelName;
    std::unique_ptr<WatchChannel> m_channel;
    std::unique_ptr<WatchHooks> m_hooks;
    std::wstring m_problem;
};
