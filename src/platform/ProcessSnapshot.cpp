// The real Toolhelp functions behind the replaceable table. The ANSI walk functions are the
// ones this program exchanges its widened record with.
#undef UNICODE
#undef _UNICODE
#include <windows.h>
#include <tlhelp32.h>

#include "platform/ProcessSnapshot.h"

namespace {
HANDLE WINAPI RealCreateSnapshot(DWORD flags, DWORD processId)
{
    return CreateToolhelp32Snapshot(flags, processId);
}
BOOL WINAPI RealProcessFirst(HANDLE snapshot, ProcessEntryRecord* entry)
{
    return Process32First(snapshot, reinterpret_cast<PROCESSENTRY32*>(entry));
}
BOOL WINAPI RealProcessNext(HANDLE snapshot, ProcessEntryRecord* entry)
{
    return Process32Next(snapshot, reinterpret_cast<PROCESSENTRY32*>(entry));
}
BOOL WINAPI RealClose(HANDLE snapshot)
{
    return CloseHandle(snapshot);
}

const ToolhelpApi kRealToolhelp = {RealCreateSnapshot, RealProcessFirst, RealProcessNext, RealClose};
const ToolhelpApi* g_toolhelp = &kRealToolhelp;
} // namespace

const ToolhelpApi& Toolhelp() noexcept
{
    return *g_toolhelp;
}

ScopedToolhelpReplacement::ScopedToolhelpReplacement(const ToolhelpApi& replacement) noexcept
    : m_previous(g_toolhelp)
{
    g_toolhelp = &replacement;
}

ScopedToolhelpReplacement::~ScopedToolhelpReplacement()
{
    g_toolhelp = m_previous;
}
