// The Toolhelp process snapshot as this program calls it: the ANSI walk with a widened record,
// reached through a replaceable table so that tests can script a snapshot.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <cstddef>

// PROCESSENTRY32 in its ANSI form with the name field widened from 260 to 1024 bytes.
struct ProcessEntryRecord {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    char szExeFile[1024];
};
static_assert(sizeof(ProcessEntryRecord) == 1060, "the record exchanged with the platform is 1060 bytes");
static_assert(offsetof(ProcessEntryRecord, szExeFile) == 36, "the name field starts at byte 36");

struct ToolhelpApi {
    HANDLE(WINAPI* CreateSnapshot)(DWORD flags, DWORD processId);
    BOOL(WINAPI* ProcessFirst)(HANDLE snapshot, ProcessEntryRecord* entry);
    BOOL(WINAPI* ProcessNext)(HANDLE snapshot, ProcessEntryRecord* entry);
    BOOL(WINAPI* Close)(HANDLE snapshot);
};

// The table in force: the real Toolhelp functions unless a test has put its own in place.
const ToolhelpApi& Toolhelp() noexcept;

// Puts `replacement` in force for its lifetime.
class ScopedToolhelpReplacement {
public:
    explicit ScopedToolhelpReplacement(const ToolhelpApi& replacement) noexcept;
    ~ScopedToolhelpReplacement();
    ScopedToolhelpReplacement(const ScopedToolhelpReplacement&) = delete;
    ScopedToolhelpReplacement& operator=(const ScopedToolhelpReplacement&) = delete;

private:
    const ToolhelpApi* m_previous;
};

// Owns one snapshot handle and closes it once, through the table in force; a failed snapshot
// is INVALID_HANDLE_VALUE.
struct CloseSnapshotHandle {
    void operator()(HANDLE snapshot) const noexcept { Toolhelp().Close(snapshot); }
};
using UniqueSnapshot = UniqueAny<HANDLE, CloseSnapshotHandle, -1>;
