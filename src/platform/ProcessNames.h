// A process's names in Unicode, for the scan's record: the tree keeps the ANSI snapshot's
// rendering, while an inventory must not lose a name outside the ANSI code page.
#pragma once
#include <windows.h>

#include <string>
#include <unordered_map>

// Each running process's executable name from the snapshot's wide walk, by process id; empty
// when the snapshot cannot be taken.
std::unordered_map<DWORD, std::wstring> ReadUnicodeExeNames();

// The full path of the process's executable; empty where it cannot be read (another user's
// process, a protected one, a process gone).
std::wstring ReadProcessImagePath(DWORD processId);
