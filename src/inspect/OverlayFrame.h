// A coloured frame around a rectangle of the screen, drawn in a window of its own: topmost,
// layered, click-through, never activated, and shaped to the frame alone, so that nothing inside
// it is covered and nothing on the screen is drawn over or left behind. Highlight and point to
// find show their frames with it.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

class OverlayFrame {
public:
    static constexpr COLORREF kColour = RGB(255, 0, 0);
    static constexpr int kThickness = 4; // pixels, along the inside of the rectangle
    static constexpr const wchar_t* kWindowClass = L"WindowInventoryOverlayFrame";

    OverlayFrame() noexcept = default;
    OverlayFrame(const OverlayFrame&) = delete;
    OverlayFrame& operator=(const OverlayFrame&) = delete;

    // Shows the frame along the inside of `rect` (screen coordinates), creating its window first.
    void Show(const RECT& rect);
    void Hide() noexcept;
    // Destroys the window, and with it any timer set on it.
    void Close() noexcept { m_window.reset(); }
    // Null until shown, and again once closed.
    HWND hWnd() const noexcept { return m_window.get(); }

    // What the eye sees of a window: for a top-level window the bounds DWM draws (without the
    // invisible resize borders) where DWM answers, otherwise the window rectangle.
    static RECT VisibleBounds(HWND window) noexcept;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    UniqueWindow m_window;
};
