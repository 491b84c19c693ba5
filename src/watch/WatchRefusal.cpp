#include "watch/WatchRefusal.h"

#include "hook/WatchRing.h"
#include "watch/WatchChannel.h"

#include <cwchar>

bool WhySilent(const WatchHandover& handover, WatchRefusal& why, uint32_t& detail)
{
    detail = 0;
    if (handover.claimed) {
        return false;
    } else if (handover.busy) {
        why = WatchRefusal::AnotherProgramsLog;
    } else if (!handover.answered) {
        why = WatchRefusal::Hung;
    } else if ((handover.answer & 0xFFFF0000u) == watch_ring::kHandoverRefused) {
        why = WatchRefusal::HookDenied;
        detail = handover.answer & 0xFFFFu;
    } else if (handover.higherIntegrity) {
        why = WatchRefusal::HigherIntegrity;
    } else if (!handover.tokenRead) {
        why = WatchRefusal::TokenUnreadable;
    } else {
        why = WatchRefusal::DllNotLoaded;
    }
    return true;
}

namespace {
std::wstring BreachWords(WatchChannel::Breach breach)
{
    using Breach = WatchChannel::Breach;
    const wchar_t* what = L"its header was changed behind the log's back";
    switch (breach) {
    case Breach::Kind: what = L"a record of a kind the hook never writes"; break;
    case Breach::Order: what = L"records whose serial numbers go back"; break;
    case Breach::Drops: what = L"more messages said to be dropped than the hook could have seen"; break;
    case Breach::Size: what = L"a record with more data than a record holds"; break;
    default: return L"The log's channel is broken (" + std::wstring(what) + L"): the log has stopped";
    }
    return L"The log's ring holds " + std::wstring(what) + L": something other than the hook writes into it, the log has stopped";
}
} // namespace

std::wstring DescribeRefusal(WatchRefusal why, DWORD processId, uint64_t detail, bool sixtyFour)
{
    const std::wstring process = L"Process " + std::to_wstring(processId);
    const std::wstring error = L" (error " + std::to_wstring(detail) + L")";
    switch (why) {
    case WatchRefusal::Destroyed: {
        wchar_t window[24];
        std::swprintf(window, 24, L"%08llXh", static_cast<unsigned long long>(detail));
        return L"Window " + std::wstring(window) + L" no longer exists";
    }
    case WatchRefusal::AccessDenied:
        return process + L" denies this program access: its windows cannot be watched";
    case WatchRefusal::HigherIntegrity:
        return process + L" runs at a higher integrity level: it cannot be watched from this program";
    case WatchRefusal::AnotherLog:
        return L"Another message log already watches a window of thread " + std::to_wstring(detail) +
               L": close it first (one log per thread)";
    case WatchRefusal::AnotherProgramsLog:
        return L"A message log of another program already watches a window of thread " + std::to_wstring(detail) +
               L": close it first (one log per thread)";
    case WatchRefusal::HookFileMissing:
        return sixtyFour ? L"WindowInventoryHook64.dll or WindowInventoryHost64.exe is missing beside the program"
                         : L"WindowInventoryHook.dll is missing beside the program";
    case WatchRefusal::NoSharedMemory:
        return L"No shared memory for the log" + error;
    case WatchRefusal::HookNotSet:
        return L"The hook could not be set in " + process + error;
    case WatchRefusal::Hung:
        return process + L" does not answer (hung): the log cannot start";
    case WatchRefusal::HookDenied:
        return L"The hook runs in " + process + L" but cannot open the log's shared memory" + error;
    case WatchRefusal::TokenUnreadable:
        return L"The hook never ran in " + process +
               L": its security token cannot be read, it may run at a higher integrity level or as another user";
    case WatchRefusal::DllNotLoaded:
        return L"The hook never ran in " + process + L": the hook DLL was not loaded (the program may block DLLs)";
    case WatchRefusal::ChannelBroken:
        return BreachWords(static_cast<WatchChannel::Breach>(detail));
    case WatchRefusal::HookStopped:
        return L"The hook in " + process +
               L" stopped writing into this log while the window still answers (another program may have handed it "
               L"a ring of its own, or unloaded it): the log has stopped";
    }
    return process + L" cannot be watched";
}
