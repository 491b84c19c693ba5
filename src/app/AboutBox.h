// The form's "About WindowInventory" entry in its system menu, the menu bar being fixed: the
// program's name and version.
#pragma once
#include <windows.h>

#include <string>

// The system menu's command; below 0xF000, with the four low bits the system uses clear.
constexpr UINT kAboutCommand = 0x0100;

void AddAboutToSystemMenu(HWND form);
// "1.2.3.4" from the executable's version resource, or the version built in when it has none.
std::wstring ProgramVersion();
void ShowAbout(HWND owner);
