// Shows where a window is: a frame over its edges that flashes three times, on a timer so the
// program stays responsive, in an overlay window that touches neither the window's z-order nor
// focus or activation.
#pragma once
#include "inspect/OverlayFrame.h"

#include <windows.h>

#include <string>

class WindowHighlight {
public:
    WindowHighlight() noexcept = default;
    WindowHighlight(const WindowHighlight&) = delete;
    WindowHighlight& operator=(const WindowHighlight&) = delete;

    // Empty when the frame starts flashing (ending a flashing still under way); otherwise why
    // nothing is drawn: the window is gone, hidden, minimized, cloaked or off the screen.
    [[nodiscard]] std::wstring Start(HWND window);
    bool Active() const noexcept { return m_frame.hWnd() != nullptr; }

    // Why the window's frame cannot be seen now, or empty with its frame clipped to the screen.
    [[nodiscard]] static std::wstring WhyUnseen(HWND window, RECT& frame);

private:
    static void CALLBACK OnTimer(HWND window, UINT message, UINT_PTR id, DWORD time) noexcept;
    // Shows or hides the frame for the step and sets the timer for the next; ends after the last.
    void Step();

    OverlayFrame m_frame;
    HWND m_window = nullptr;
    int m_step = 0; // even steps show the frame, odd ones hide it
};
