// Shows where a window is: an inverted frame drawn over its rectangle on the screen and
// inverted back, three times, without touching the window's z-order, focus or activation.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

// Inverts a frame along the inside of `rect` (screen coordinates) on `screen`; a second call with
// the same rectangle puts every pixel back.
void InvertFrame(HDC screen, const RECT& rect);

// Called while the frame is shown (true) and after it is gone again (false); the default
// waits long enough for the eye.
using HighlightPause = std::function<void(bool shown)>;
void WaitForTheEye(bool shown);

// Empty when the frame was drawn; otherwise why nothing was: the window is gone, hidden,
// minimized or has no area on the screen.
std::wstring HighlightWindow(HWND window, const HighlightPause& pause = WaitForTheEye);
