// Integrity levels: a window of a process above ours may be read but not changed or hooked (UIPI).
#pragma once
#include <windows.h>

// The process's mandatory integrity level (a SECURITY_MANDATORY_*_RID); MAXDWORD when its
// token cannot be opened, 0 when it carries no label.
DWORD IntegrityLevel(HANDLE process);
// Whether the process runs above this one, or is protected so that it cannot even be queried.
bool RunsAboveThisProcess(DWORD processId);
