// The mouse as a person moves it: the pointer put somewhere and waited for, and buttons pressed
// there through SendInput, for the tests that point at real windows.
#pragma once
#include <windows.h>

// Whether the pointer gets to `at` within a few seconds, pumping this thread's messages meanwhile.
bool PointerReaches(POINT at);
// Puts the pointer at `at`, waits for it, then sends a move there with `buttons`
// (MOUSEEVENTF_LEFTDOWN, ...): Wine may still take a button at a position an earlier move left behind.
void MouseAt(POINT at, DWORD buttons);
