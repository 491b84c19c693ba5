// Program entry: the application creates Form1, its start-up object, and runs its messages.
#include "app/CompareCommand.h"
#include "app/ExportCommand.h"
#include "app/Form1.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    if (IsExportCommandLine()) return RunExportCommand();
    if (IsCompareCommandLine()) return RunCompareCommand();
    return Form1::Run(instance, showCommand);
}
