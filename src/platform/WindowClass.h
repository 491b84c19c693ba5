// The program's own window classes: registered on first use and found registered after that,
// all with the arrow cursor and the program's icon.
#pragma once
#include <windows.h>

// Registers the class in this module unless it is there already; raises what fails.
void RegisterWindowClassOnce(const wchar_t* name, WNDPROC procedure, UINT style, HBRUSH background);
