// One change to another program's window: what is changed, on which window, to which value;
// and the platform calls that read that value and write it so that it takes effect.
#pragma once
#include <windows.h>

#include <string>

enum class ChangeKind { Caption, Style, ExStyle, Bounds, Visible, Enabled, ShowState, Topmost, BringToFront, Close };

// Where a top-level window lies, for BringToFront. In front: nothing of its z-order band (the
// always-on-top windows, or the others) lies over it but its own popups.
enum FrontPlace : DWORD { kBehind, kMinimized, kActiveInFront, kInFront };

// The value of one kind; each kind uses its own field.
struct WindowValue {
    std::wstring text;    // Caption
    DWORD bits = 0;       // Style, ExStyle; 1 or 0 for Visible, Enabled, Topmost, Close (open);
                          // SW_SHOWNORMAL, SW_SHOWMINIMIZED or SW_SHOWMAXIMIZED for ShowState;
                          // a FrontPlace for BringToFront
    RECT rect = {};       // Bounds: in the parent's client coordinates, screen for top-level windows
    HWND front = nullptr; // BringToFront: the foreground window, which an undo makes active again
    HWND over = nullptr;  // BringToFront, behind: the first window lying over it
};

struct WindowChange {
    ChangeKind kind;
    HWND window;
    WindowValue value;
};

// What a change applies to, as panel 1 names it: "caption", "style", ...
const wchar_t* ChangeName(ChangeKind kind);
WindowValue ReadWindowValue(ChangeKind kind, HWND window);
// Writes through the calls that make the value take effect; the Win32 error of a call that
// failed, ERROR_TIMEOUT for a window that does not answer, 0 otherwise (whether the value took
// is for a read back to say).
[[nodiscard]] DWORD WriteWindowValue(ChangeKind kind, HWND window, const WindowValue& value);
bool SameValue(ChangeKind kind, const WindowValue& a, const WindowValue& b);
// Whether a change that set `set` still stands at `now`, so that undoing it restores what was
// there. Bringing to the front stands until the window is minimized: the user comes back to
// this program to undo it, which lays our window over it again.
bool StillStands(ChangeKind kind, const WindowValue& now, const WindowValue& set);
std::wstring DescribeValue(ChangeKind kind, const WindowValue& value);
