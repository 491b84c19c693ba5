// Where the program's windows open: inside the work area of a monitor (the screen without the
// taskbar), and beside the window they belong to rather than over it or over other windows.
#pragma once
#include <windows.h>

// The work area of the monitor nearest to `rect` (of the primary one where none is).
RECT WorkAreaNear(const RECT& rect);
// `rect` moved, and where it is larger made smaller, so that it lies inside the work area of the
// monitor nearest to it: a place remembered on a monitor that is gone comes back in.
RECT FitIntoWorkArea(const RECT& rect);
// A rectangle of `size` beside `anchor` (right of it, below, left or above), inside the work
// area, on the side where it covers least: of the anchor above all, then of the other windows
// shown. Where a side has less room than `size`, the window is made smaller down to `smallest`;
// below that it stays as large and overlaps.
RECT PlaceBeside(HWND anchor, SIZE size, SIZE smallest);
// Moves a dialog (of a size of its own) beside its owner, as PlaceBeside places it; a dialog
// without an owner stays where it is, inside the work area.
void MoveBesideOwner(HWND dialog);
// On WM_DPICHANGED: moves the window to the rectangle the platform suggests for the new DPI
// (`lParam` points at it), so that it keeps its place on the monitor it went to.
void MoveToDpiSuggestion(HWND window, LPARAM lParam) noexcept;
// Whether DWM keeps the window's top-level window off the screen (another virtual desktop, a
// suspended app), though it is visible to the window manager.
bool IsWindowCloaked(HWND window) noexcept;
