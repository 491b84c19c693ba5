// The program's icon on its own window classes. WindowInventory.rc includes this file for the
// resource id, so everything else is hidden from the resource compiler.
#ifndef WINDOWINVENTORY_PROGRAM_ICON_H
#define WINDOWINVENTORY_PROGRAM_ICON_H

#define WINDOWINVENTORY_ICON_ID 1

#ifndef RC_INVOKED
#include <windows.h>

// Sets hIcon and hIconSm (the taskbar's, Alt+Tab's and the caption's) from the executable's
// icon, or to the system's application icon where the executable has none (the test programs).
void SetProgramIcons(WNDCLASSEXW& windowClass) noexcept;
#endif

#endif
