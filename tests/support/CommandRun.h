// A command line run as a shell runs it, with what it writes to standard output and error, and
// watched: none of this program's command-line modes may make a window, so a WindowInventory
// process that makes one (a box nobody answers) is ended at once instead of waited for.
#pragma once
#include <windows.h>

#include <string>
#include <utility>

// The exit code of a run that was ended because a WindowInventory process made a window.
constexpr DWORD kMadeAWindow = 0xBAD0;

// Runs `commandLine` in `folder` (this process's working folder when empty), its standard output
// and error into one temporary file, answering this thread's windows while it runs (a minute at
// most); its exit code (~0 when it could not start) and what it wrote. A window made by a
// WindowInventory process meanwhile (the one started, or one it starts) ends that process: the
// run then answers kMadeAWindow, and "!! made a window of class ..." follows the output.
std::pair<DWORD, std::string> RunCommand(std::wstring commandLine, const std::wstring& folder = L"");
