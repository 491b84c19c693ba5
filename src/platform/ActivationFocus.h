// A top-level window of controls that gives the keyboard back to the control that had it when the
// user left the window, as a dialog does; the pane and the message log each keep one.
#pragma once
#include <windows.h>

class ActivationFocus {
public:
    // On WM_ACTIVATE of `window`: notes the focused control when the window is left, and gives it
    // the keyboard again (or `fallback`, when it is gone) when the window is activated, unless
    // it comes back minimized.
    void OnActivate(HWND window, WPARAM wParam, HWND fallback) noexcept;

private:
    HWND m_focus = nullptr;
};
