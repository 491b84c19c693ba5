// The design's twips as pixels of this display, worked out apart from the product's own
// conversion, and window rectangles in another window's coordinates.
#pragma once
#include <windows.h>

#include <string>

// The display's dots per inch along LOGPIXELSX or LOGPIXELSY.
int Dpi(int index);
// A length in twips as whole pixels of this display (rounded to the nearest).
int PixelsX(double twips);
int PixelsY(double twips);

// `window`'s rectangle in the client coordinates of `reference`.
RECT RectIn(HWND window, HWND reference);

// The file `fileName` in the folder of this test program.
std::wstring PathBesideThisProgram(const wchar_t* fileName);
