// What the command-line modes say: standard output and standard error where the parent handed
// them over (a redirection, the console front end, Wine's own), else the console of the shell
// that started this GUI program, if there is one.
#pragma once
#include <string>

// "WindowInventory: MESSAGE" and a line break, on standard error.
void TellConsole(const std::wstring& message);
// UTF-8 bytes on standard output or standard error (as text on a console).
void WriteStandardOutput(const std::string& bytes);
void WriteStandardError(const std::string& bytes);
