// One window watched through the hook DLL: the channel its thread's hook writes into, the hooks
// on that thread (set from here, or by the 64-bit host for a 64-bit process), the handover of
// the channel and the probes that show the hook still writes into it, and taking what it wrote.
// Everything is undone when it goes. Nothing here waits for the watched program: the handover
// and the probes are sent without waiting, and their answers come through the message loop.
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
    // cannot, Problem() says why in words for the user and nothing stays hooked. One session per
    // watched thread in this program; sessions live on one thread, whose message loop brings
    // the watched program's answers.
    explicit WatchSession(HWND window, Scope scope = Scope::Window, uint32_t capacity = watch_ring::kMaxCapacity);
    ~WatchSession();
    WatchSession(const WatchSession&) = delete;
    WatchSession& operator=(const WatchSession&) = delete;

    const std::wstring& Problem() const noexcept { return m_problem; }
    // Handed over, and the hook has not answered yet.
    bool Starting() const noexcept { return m_problem.empty() && !m_claimed; }
    bool Watching() const noexcept { return m_problem.empty() && m_claimed && m_hooks && m_hooks->Set(); }
    HWND Window() const noexcept { return m_window; }
    bool SixtyFour() const noexcept { return m_sixtyFour; }

    // Moves the watch on, as the log's timer ticks: the hook's answer to the handover or its
    // absence for too long, and a probe a second that the hook still writes into this ring while
    // the window answers. What it finds ends the watch, in Problem().
    void Check();
    // Appends the records written since the last call and adds the drops counted meanwhile to
    // `dropped`. A broken channel ends the watch: then Problem() says so.
    void Take(std::vector<watch_ring::Record>& records, uint64_t& dropped);
    uint32_t Pending() const noexcept { return m_channel ? m_channel->Pending() : 0; }
    // How often the hook procedures ran in the watched thread since the handover, for any window.
    uint32_t HookCalls() const noexcept { return m_channel ? m_channel->HookCalls() : 0; }
    // How many handovers of other rings the hook refused while it wrote into this one.
    uint32_t ForeignHandovers() const noexcept { return m_channel ? m_channel->Foreign() : 0; }
    // Removes the hooks; what was written stays to be taken.
    void Stop() noexcept;

private:
    void Start(Scope scope, uint32_t capacity);
    void Refuse(WatchRefusal why, uint64_t detail = 0);
    bool CheckReach();
    // Sends the handover (`section` its handle in the target) or, with 0, a probe.
    void Send(uint32_t section, uint32_t key);
    void Settle();
    void Probe();
    bool WindowLives() const noexcept;
    static void CALLBACK Answered(HWND window, UINT message, ULONG_PTR token, LRESULT result) noexcept;

    HWND m_window;
    DWORD m_processId = 0;
    DWORD m_threadId = 0;
    bool m_threadClaimed = false; // in this program's list of watched threads
    bool m_sixtyFour = false;
    bool m_tokenRead = false;
    std::vector<BYTE> m_targetUser; // the watched process's user SID, when its token could be read
    DWORD m_integrityLevel = SECURITY_MANDATORY_MEDIUM_RID;
    UniqueHandle m_process; // outlives the channel, whose offer went to it
    std::unique_ptr<WatchChannel> m_channel;
    std::unique_ptr<WatchHooks> m_hooks;
    bool m_claimed = false;
    // The send waiting for its answer, its callback's token, and what came back.
    enum class Wait { Nothing, Handover, Probe } m_waitingFor = Wait::Nothing;
    ULONG_PTR m_token = 0;
    bool m_answered = false;
    LRESULT m_answer = 0;
    ULONGLONG m_sentAt = 0;
    uint32_t m_probesBefore = 0;
    std::wstring m_problem;
};
