// Program entry: the application creates Form1, its start-up object, and runs its messages,
// unless the command line asks for something else.
#include "app/ExportCommand.h"
#include "app/Form1.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    if (const std::optional<int> exitCode = RunCommandLine()) return *exitCode;
    return Form1::Run(instance, showCommand);
}
