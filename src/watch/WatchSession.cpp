// The limits are checked before anything is hooked, and the hook is seen to take the ring after,
// so that a window that cannot be watched says why instead of showing an empty log.
//
// The handover is a message sent to the watched window itself, without waiting: only what may
// send to that window can hand anything over, and user interface privilege isolation keeps lower
// integrity levels from doing that. What it names, a handle duplicated into the watched process
// and a random key, nothing outside the two processes can find or guess; and the hook answers in
// the offered ring's own header, which nobody else can write.
#include "watch/WatchSession.h"

#include "platform/ProcessIntegrity.h"

#include <ntsecapi.h>

#include <set>
#include <unordered_map>

namespace {
// Long enough for a busy program to get to its messages.
constexpr ULONGLONG kHandoverTimeoutMs = 5000;
// How often the log asks whether its hook still writes into its ring.
constexpr ULONGLONG kProbeEveryMs = 1000;

UINT_PTR HandleValue(HWND window)
{
    return reinterpret_cast<UINT_PTR>(window);
}

UINT HandoverMessage()
{
    static const UINT message = RegisterWindowMessageW(watch_ring::kHandoverMessage);
    return message;
}

// The threads this program watches: one log per thread. No named object: nothing another
// program makes first can stand in for it.
std::set<DWORD>& WatchedThreads()
{
    static std::set<DWORD> threads;
    return threads;
}

// The sends waiting for their answers, by the token their callback gets.
std::unordered_map<ULONG_PTR, WatchSession*>& Waiting()
{
    static std::unordered_map<ULONG_PTR, WatchSession*> waiting;
    return waiting;
}
} // namespace

WatchSession::WatchSession(HWND window, Scope scope, uint32_t capacity) : m_window(window)
{
    Start(scope, capacity);
}

void WatchSession::Start(Scope scope, uint32_t capacity)
{
    m_threadId = GetWindowThreadProcessId(m_window, &m_processId);
    if (m_threadId == 0) return Refuse(WatchRefusal::Destroyed, HandleValue(m_window));
    if (!WatchedThreads().insert(m_threadId).second) return Refuse(WatchRefusal::AnotherLog, m_threadId);
    m_threadClaimed = true;
    if (!CheckReach()) return;

    uint32_t key = 0;
    if (!RtlGenRandom(&key, sizeof key)) return Refuse(WatchRefusal::NoSharedMemory, GetLastError());
    const WatchChannel::Access access = {m_targetUser.empty() ? nullptr : m_targetUser.data(), m_integrityLevel};
    m_channel = std::make_unique<WatchChannel>(capacity, access, scope == Scope::Thread ? watch_ring::kEveryWindow : 0u, key);
    uint32_t section = 0;
    if (!m_channel->Open() || !m_channel->Offer(m_process.get(), section)) {
        return Refuse(WatchRefusal::NoSharedMemory, m_channel->Error());
    }
    m_hooks = std::make_unique<WatchHooks>(m_threadId, m_sixtyFour);
    if (!m_hooks->Set()) return Refuse(m_hooks->Refusal(), m_hooks->Error());
    Send(section, key);
    if (m_problem.empty()) m_waitingFor = Wait::Handover;
    Check(); // a window of this thread has answered already
}

bool WatchSession::CheckReach()
{
    const DWORD access = PROCESS_DUP_HANDLE | SYNCHRONIZE;
    m_process.reset(OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, m_processId));
    if (!m_process) m_process.reset(OpenProcess(access | PROCESS_QUERY_INFORMATION, FALSE, m_processId));
    if (!m_process) {
        const bool denied = GetLastError() == ERROR_ACCESS_DENIED;
        Refuse(denied ? WatchRefusal::AccessDenied : WatchRefusal::Destroyed, HandleValue(m_window));
        return false;
    }
    // On 64-bit Windows this program runs under WOW64; a process that does not is 64-bit.
    BOOL selfWow64 = FALSE, targetWow64 = FALSE;
    m_sixtyFour = IsWow64Process(GetCurrentProcess(), &selfWow64) && selfWow64 &&
                  IsWow64Process(m_process.get(), &targetWow64) && !targetWow64;

    DWORD ours = SECURITY_MANDATORY_MEDIUM_RID;
    const bool oursRead = ReadToken(GetCurrentProcess(), ours, nullptr);
    m_tokenRead = ReadToken(m_process.get(), m_integrityLevel, &m_targetUser);
    if (m_tokenRead && oursRead && m_integrityLevel > ours) {
        Refuse(WatchRefusal::HigherIntegrity);
        return false;
    }
    // Unknown, the target is given this program's own level: if it is lower, the hook will not
    // get in, and the check after the handover says why.
    if (!m_tokenRead) m_integrityLevel = ours;
    return true;
}

void WatchSession::Send(uint32_t section, uint32_t key)
{
    static ULONG_PTR tokens = 0;
    m_token = ++tokens;
    m_answered = false;
    m_sentAt = GetTickCount64();
    Waiting()[m_token] = this;
    if (HandoverMessage() == 0 || !SendMessageCallbackW(m_window, HandoverMessage(), section, static_cast<LPARAM>(key),
                                                        &WatchSession::Answered, m_token)) {
        Waiting().erase(m_token);
        m_token = 0;
        Refuse(IsWindow(m_window) ? WatchRefusal::Hung : WatchRefusal::Destroyed, HandleValue(m_window));
    }
}

void CALLBACK WatchSession::Answered(HWND, UINT, ULONG_PTR token, LRESULT result) noexcept
{
    const auto waiting = Waiting().find(token);
    if (waiting == Waiting().end()) return; // its session is gone
    WatchSession& session = *waiting->second;
    Waiting().erase(waiting);
    session.m_answered = true;
    session.m_answer = result;
}

bool WatchSession::WindowLives() const noexcept
{
    return GetWindowThreadProcessId(m_window, nullptr) == m_threadId;
}

void WatchSession::Check()
{
    if (!m_problem.empty() || !m_channel) return;
    if (!m_claimed) return Settle();
    if (m_waitingFor == Wait::Nothing) {
        if (GetTickCount64() - m_sentAt >= kProbeEveryMs) Probe();
        return;
    }
    if (!m_answered) return;
    // A probe is counted before the window answers it: one the hook did not count went past it.
    const bool missed = m_waitingFor == Wait::Probe && m_channel->Probes() == m_probesBefore;
    m_waitingFor = Wait::Nothing;
    if (missed && WindowLives()) Refuse(WatchRefusal::HookStopped);
}

void WatchSession::Probe()
{
    m_probesBefore = m_channel->Probes();
    Send(0, 0);
    if (m_problem.empty()) m_waitingFor = Wait::Probe;
}

// The hook answers in the ring's header before the window answers the message; the answer
// itself tells only what the hook could not write there.
void WatchSession::Settle()
{
    const LONG handover = m_channel->Handover();
    if (handover == watch_ring::kClaimed) {
        m_claimed = true;
        return Check();
    }
    if (!m_answered && handover == watch_ring::kOffered) {
        if (!WindowLives()) return Refuse(WatchRefusal::Destroyed, HandleValue(m_window));
        if (GetTickCount64() - m_sentAt >= kHandoverTimeoutMs) Refuse(WatchRefusal::Hung);
        return;
    }
    const WatchHandover answer = {m_answered, static_cast<uint32_t>(m_answer), false, handover == watch_ring::kBusy,
                                  m_tokenRead, false};
    WatchRefusal why = WatchRefusal::DllNotLoaded;
    uint32_t detail = 0;
    if (WhySilent(answer, why, detail)) Refuse(why, why == WatchRefusal::AnotherProgramsLog ? m_threadId : detail);
}

void WatchSession::Refuse(WatchRefusal why, uint64_t detail)
{
    m_problem = DescribeRefusal(why, m_processId, detail, m_sixtyFour);
    Stop();
    if (m_channel) m_channel->Withdraw(); // an offer nobody took goes back
}

WatchSession::~WatchSession()
{
    Stop();
    if (m_token != 0) Waiting().erase(m_token);
    m_channel.reset(); // the ring is let go of before the process handle goes
    if (m_threadClaimed) WatchedThreads().erase(m_threadId);
}

void WatchSession::Stop() noexcept
{
    if (m_hooks) m_hooks->Remove();
}

void WatchSession::Take(std::vector<watch_ring::Record>& records, uint64_t& dropped)
{
    if (!m_channel || !m_claimed) return;
    if (!m_channel->Take(records, dropped) && m_channel->Broken() && m_problem.empty()) {
        Refuse(WatchRefusal::ChannelBroken, static_cast<uint64_t>(m_channel->WhyBroken()));
    }
}
