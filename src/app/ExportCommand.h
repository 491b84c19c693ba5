// The command line "/export PATH": one scan in a Form1 that is never shown, written to PATH,
// with no window or message box at all; failures are told to the parent's console.
#pragma once

// True when the program was started with "/export" as its first argument.
bool IsExportCommandLine();
// Runs the export and returns the process's exit code: 0 when PATH holds the scan.
int RunExportCommand();
