// The window is shaped to the frame (a window region), so the rectangle's inside is no part of it:
// it covers nothing there, and when it goes the windows beneath show what they showed. Layered
// and transparent together make it click-through for every thread, not just its own.
#include "inspect/OverlayFrame.h"

#include "platform/WindowClass.h"
#include "platform/RuntimeError.h"

#include <dwmapi.h>

void OverlayFrame::Show(const RECT& rect)
{
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (!m_window) {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        RegisterWindowClassOnce(kWindowClass, &WindowProc, 0, nullptr);
        constexpr DWORD exStyle = WS_EX_TOPMOST | WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
        m_window.reset(CreateWindowExW(exStyle, kWindowClass, L"", WS_POPUP, rect.left, rect.top, width, height, nullptr,
                                       nullptr, instance, nullptr));
        // A layered window stays unseen until its opacity is set: fully opaque, for the exact colour.
        if (!m_window || !SetLayeredWindowAttributes(m_window.get(), 0, 255, LWA_ALPHA)) RaiseLastError();
    }
    UniqueRegion shape(CreateRectRgn(0, 0, width, height));
    if (!shape) RaiseError(kErrorOutOfMemory);
    if (width > 2 * kThickness && height > 2 * kThickness) {
        const UniqueRegion inside(CreateRectRgn(kThickness, kThickness, width - kThickness, height - kThickness));
        if (!inside) RaiseError(kErrorOutOfMemory);
        CombineRgn(shape.get(), shape.get(), inside.get(), RGN_DIFF);
    }
    if (SetWindowRgn(m_window.get(), shape.get(), FALSE)) (void)shape.release(); // the window owns it now
    SetWindowPos(m_window.get(), HWND_TOPMOST, rect.left, rect.top, width, height,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER);
    RedrawWindow(m_window.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void OverlayFrame::Hide() noexcept
{
    if (m_window) ShowWindow(m_window.get(), SW_HIDE);
}

RECT OverlayFrame::VisibleBounds(HWND window) noexcept
{
    RECT rect = {};
    if (GetAncestor(window, GA_ROOT) == window &&
        SUCCEEDED(DwmGetWindowAttribute(window, DWMWA_EXTENDED_FRAME_BOUNDS, &rect, sizeof rect)) && !IsRectEmpty(&rect)) {
        return rect;
    }
    GetWindowRect(window, &rect);
    return rect;
}

LRESULT CALLBACK OverlayFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_ERASEBKGND: {
        // The region leaves only the frame to paint: all of what is left is frame colour.
        RECT client = {};
        GetClientRect(window, &client);
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetDCBrushColor(dc, kColour);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        return TRUE;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
