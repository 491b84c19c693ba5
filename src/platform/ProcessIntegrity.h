// Integrity levels: a window of a process above ours may be read but not changed or hooked (UIPI).
#pragma once
#include <windows.h>

#include <vector>

// The integrity level in the process's token (a SECURITY_MANDATORY_*_RID), and its user's SID
// when asked: false when the token cannot be read.
[[nodiscard]] bool ReadToken(HANDLE process, DWORD& level, std::vector<BYTE>* user);
// The process's integrity level; MAXDWORD when its token cannot be read.
DWORD IntegrityLevel(HANDLE process);
// Whether the process runs above this one, or is protected so that it cannot even be queried.
bool RunsAboveThisProcess(DWORD processId);
