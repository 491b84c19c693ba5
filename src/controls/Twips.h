// Twips (1/1440 inch) to pixels and back at a window's dots per inch: a per-monitor aware
// program lays each window out at the DPI of the monitor it is on.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

// The conversions round to the nearest pixel.
int TwipsToPixels(double twips, int dpi);
float PixelsToTwips(int pixels, int dpi);

// The dots per inch of the monitor `window` is on (GetDpiForWindow, Windows 10 1607 on), or the
// display's where the system cannot say (Windows 7 and 8, which have no per-window DPI). A window
// told its DPI by WM_DPICHANGED goes by that instead.
int WindowDpi(HWND window);

// One of the system's fonts (a LOGFONTW member of NONCLIENTMETRICSW, such as lfStatusFont or
// lfMessageFont) as it looks at `dpi`: the system reports them at the display's DPI.
UniqueFont CreateSystemFont(LOGFONTW NONCLIENTMETRICSW::*font, int dpi);
