// What the screen shows, read back as a person would see it (not asked of the window itself).
#pragma once
#include <windows.h>

#include <vector>

// The screen's pixels over `rect`, row by row, each as 0xRRGGBB.
std::vector<DWORD> CaptureScreen(const RECT& rect);
