// The command line: "/export PATH" runs one scan and writes its record to PATH, with
// no window or message box at all; "/?" and "/help" tell the usage; anything else is
// a wrong command line. What it says goes to the console that started the program.
#pragma once

#include <optional>

// The process's exit code when the command line asks for something other than the window:
// 0 done, 1 a failed scan or write, 2 a wrong command line. Nothing when there are no arguments.
std::optional<int> RunCommandLine();
