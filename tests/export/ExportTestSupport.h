// What the export tests share: the built program's command-line modes run from a fresh working
// folder (support/CommandRun watches them), the files read back, and Wine's shell let catch up.
#pragma once
#include "support/CommandRun.h"

#include <windows.h>

#include <string>
#include <utility>

// bin/WindowInventory.exe beside the tests, run with `arguments` in the working folder.
std::pair<DWORD, std::string> RunProgram(const std::wstring& arguments);

std::string ReadFile(const std::wstring& path);
std::string AsUtf8(const std::wstring& text);

// Lets Wine's explorer catch up with the windows that came and went on the desktop so far (its
// taskbar makes and drops buttons for them): it handles their notices in the order they were
// sent, before this one.
void SettleTheShell();
