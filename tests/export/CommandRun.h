// Running the built program's command-line modes as a shell would, watching that they make no
// window: a command that shows a box nobody answers ends at once, named, instead of waiting.
#pragma once
#include <windows.h>

#include <string>
#include <utility>

// The exit code of a run that was ended because a WindowInventory process made a window.
constexpr DWORD kMadeAWindow = 0xBAD0;

// Runs `commandLine` (standard output and error to one file in the working folder) and returns
// its exit code and output, answering this thread's windows meanwhile. A window made by any
// WindowInventory process (the one started, or one it starts) ends that process at once; the
// run then answers kMadeAWindow and "!! made a window of class ..." after the output. A run
// that takes more than two minutes is ended and answers STILL_ACTIVE.
std::pair<DWORD, std::string> RunCommand(std::wstring commandLine);
// The same for bin/WindowInventory.exe beside the tests, with `arguments`.
std::pair<DWORD, std::string> RunProgram(const std::wstring& arguments);

std::string ReadFile(const std::wstring& path);
std::string AsUtf8(const std::wstring& text);

// Lets Wine's explorer catch up with the windows that came and went on the desktop so far (its
// taskbar makes and drops buttons for them): it handles their notices in the order they were
// sent, before this one.
void SettleTheShell();
