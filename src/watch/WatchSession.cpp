// The limits are checked before anything is hooked, and the hook is seen to run after, so that a
// window that cannot be watched says why instead of showing an empty log.
#include "watch/WatchSession.h"

#include "platform/ProcessIntegrity.h"

#include <ntsecapi.h>

namespace {
// Long enough for a busy program to get to its messages; a hung one is not waited for at all.
constexpr UINT kHandoverTimeoutMs = 5000;

UINT_PTR HandleValue(HWND window)
{
    return reinterpret_cast<UINT_PTR>(window);
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
    if (!CheckReach()) return;

    // A log that ends, however it ends, lets go of its thread with this handle.
    const std::wstring claim = L"Local\\WindowInventoryWatch." + std::to_wstring(m_threadId);
    m_threadClaim.reset(CreateMutexW(nullptr, FALSE, claim.c_str()));
    if (!m_threadClaim || GetLastError() == ERROR_ALREADY_EXISTS) {
        m_threadClaim.reset();
        return Refuse(WatchRefusal::AnotherLog, m_threadId);
    }

    uint32_t key[2] = {};
    if (!RtlGenRandom(key, sizeof key)) return Refuse(WatchRefusal::NoSharedMemory, GetLastError());
    wchar_t name[80];
    watch_ring::SectionName(m_threadId, key[0], key[1], name);
    m_channelName = name;
    const WatchChannel::Access access = {m_targetUser.empty() ? nullptr : m_targetUser.data(), m_integrityLevel};
    m_channel = std::make_unique<WatchChannel>(m_channelName, capacity, access,
                                               scope == Scope::Thread ? watch_ring::kEveryWindow : 0u);
    if (m_channel->Error() == ERROR_ALREADY_EXISTS) return Refuse(WatchRefusal::ChannelExists);
    if (!m_channel->Open()) return Refuse(WatchRefusal::NoSharedMemory, m_channel->Error());

    m_hooks = std::make_unique<WatchHooks>(m_threadId, m_sixtyFour);
    if (!m_hooks->Set()) return Refuse(m_hooks->Refusal(), m_hooks->Error());
    HandOver(key[0], key[1]);
}

bool WatchSession::CheckReach()
{
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, m_processId));
    if (!process) process.reset(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, m_processId));
    if (!process) {
        const bool denied = GetLastError() == ERROR_ACCESS_DENIED;
        Refuse(denied ? WatchRefusal::AccessDenied : WatchRefusal::Destroyed, HandleValue(m_window));
        return false;
    }
    // On 64-bit Windows this program runs under WOW64; a process that does not is 64-bit.
    BOOL selfWow64 = FALSE, targetWow64 = FALSE;
    m_sixtyFour = IsWow64Process(GetCurrentProcess(), &selfWow64) && selfWow64 &&
                  IsWow64Process(process.get(), &targetWow64) && !targetWow64;

    DWORD ours = SECURITY_MANDATORY_MEDIUM_RID;
    const bool oursRead = ReadToken(GetCurrentProcess(), ours, nullptr);
    m_tokenRead = ReadToken(process.get(), m_integrityLevel, &m_targetUser);
    if (m_tokenRead && oursRead && m_integrityLevel > ours) {
        Refuse(WatchRefusal::HigherIntegrity);
        return false;
    }
    // Unknown, the target is given this program's own level: if it is lower, the hook will not
    // get in, and the check after the handover says why.
    if (!m_tokenRead) m_integrityLevel = ours;
    return true;
}

// The hook learns the channel's name from this message, sent to the watched window itself: only
// what may send to that window can hand a name over, and the user interface privilege isolation
// keeps lower integrity levels from doing that. The answer tells whether the hook runs.
void WatchSession::HandOver(uint32_t keyLow, uint32_t keyHigh)
{
    const UINT message = RegisterWindowMessageW(watch_ring::kHandoverMessage);
    DWORD_PTR answer = 0;
    const bool answered = message != 0 && SendMessageTimeoutW(m_window, message, keyLow, keyHigh, SMTO_ABORTIFHUNG,
                                                              kHandoverTimeoutMs, &answer) != 0;
    if (!answered && !IsWindow(m_window)) return Refuse(WatchRefusal::Destroyed, HandleValue(m_window));
    const WatchHandover handover = {answered, static_cast<uint32_t>(answer), HookCalls() > 0, m_tokenRead, false};
    WatchRefusal why = WatchRefusal::DllNotLoaded;
    uint32_t detail = 0;
    if (WhySilent(handover, why, detail)) Refuse(why, detail);
}

void WatchSession::Refuse(WatchRefusal why, uint64_t detail)
{
    m_problem = DescribeRefusal(why, m_processId, detail, m_sixtyFour);
    Stop();
}

WatchSession::~WatchSession()
{
    Stop();
}

void WatchSession::Stop() noexcept
{
    if (m_hooks) m_hooks->Remove();
}

void WatchSession::Take(std::vector<watch_ring::Record>& records, uint64_t& dropped)
{
    if (!m_channel) return;
    if (!m_channel->Take(records, dropped) && m_channel->Broken() && m_problem.empty()) {
        Refuse(WatchRefusal::ChannelBroken);
    }
}
