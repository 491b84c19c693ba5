// A command line run as a shell runs it, with what it writes to standard output and error.
#pragma once
#include <windows.h>

#include <string>
#include <utility>

// Runs `commandLine` in `folder` (this process's working folder when empty), its standard output
// and error into one temporary file, answering this thread's windows while it runs (a minute at
// most); its exit code (~0 when it could not start) and what it wrote.
std::pair<DWORD, std::string> RunCommand(std::wstring commandLine, const std::wstring& folder = L"");
