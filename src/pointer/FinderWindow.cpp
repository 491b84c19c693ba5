// The window paints its icon and prompt itself: no child controls, so nothing but the icon can
// take the press that starts a drag.
#include "pointer/FinderWindow.h"

#include "platform/WindowClass.h"
#include "platform/RuntimeError.h"
#include "platform/ScreenPlace.h"
#include "platform/WindowObject.h"

#include <windowsx.h>

#include <algorithm>

namespace {
const wchar_t kWindowClass[] = L"WindowInventoryFinder";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;
constexpr int kMargin = 8; // pixels around the icon and the prompt

int IconSize()
{
    return GetSystemMetrics(SM_CXICON);
}

} // namespace

FinderWindow::FinderWindow(HWND owner, MouseHandler mouse) noexcept : m_owner(owner), m_mouse(std::move(mouse))
{
}

void FinderWindow::Show()
{
    if (!m_window) {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        RegisterWindowClassOnce(kWindowClass, &WindowProc, CS_HREDRAW | CS_VREDRAW,
                                reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
        // WM_NCCREATE stores the window in m_window.
        if (!CreateWindowExW(kExStyle, kWindowClass, L"Point to find", kStyle, 0, 0, 0, 0, m_owner, nullptr, instance,
                             this)) {
            RaiseLastError();
        }
        RECT text = {};
        if (UniqueScreenDC screen(GetDC(nullptr)); screen) {
            const HGDIOBJ old = SelectObject(screen.get(), GetStockObject(DEFAULT_GUI_FONT));
            DrawTextW(screen.get(), kPrompt, -1, &text, DT_SINGLELINE | DT_CALCRECT);
            SelectObject(screen.get(), old);
        }
        RECT frame = {0, 0, 3 * kMargin + IconSize() + text.right, 2 * kMargin + std::max<int>(IconSize(), text.bottom)};
        AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
        const SIZE size = {frame.right - frame.left, frame.bottom - frame.top};
        const RECT at = PlaceBeside(m_owner, size, size);
        SetWindowPos(m_window.get(), nullptr, at.left, at.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(m_window.get(), SW_SHOW);
    SetForegroundWindow(m_window.get());
}

RECT FinderWindow::IconScreenRect() const noexcept
{
    RECT icon = {kMargin, kMargin, kMargin + IconSize(), kMargin + IconSize()};
    MapWindowPoints(m_window.get(), nullptr, reinterpret_cast<POINT*>(&icon), 2);
    return icon;
}

void FinderWindow::ShowIcon(bool shown) noexcept
{
    if (shown == m_iconShown) return;
    m_iconShown = shown;
    if (m_window) InvalidateRect(m_window.get(), nullptr, TRUE);
}

void FinderWindow::Paint(HDC dc) const
{
    const int size = IconSize();
    RECT well = {kMargin - 2, kMargin - 2, kMargin + size + 2, kMargin + size + 2};
    DrawEdge(dc, &well, EDGE_SUNKEN, BF_RECT);
    if (m_iconShown) {
        // A bullseye with cross hairs, the shape the pointer takes while it is dragged.
        const int centre = kMargin + size / 2, radius = size / 3;
        const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Ellipse(dc, centre - radius, centre - radius, centre + radius + 1, centre + radius + 1);
        SelectObject(dc, oldBrush);
        MoveToEx(dc, centre, kMargin + 2, nullptr);
        LineTo(dc, centre, kMargin + size - 2);
        MoveToEx(dc, kMargin + 2, centre, nullptr);
        LineTo(dc, kMargin + size - 2, centre);
    }
    RECT client = {};
    GetClientRect(m_window.get(), &client);
    RECT text = {2 * kMargin + size, 0, client.right, client.bottom};
    const HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, kPrompt, -1, &text, DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, oldFont);
}

LRESULT CALLBACK FinderWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    FinderWindow* const finder = WindowObject(window, message, lParam, &FinderWindow::m_window);
    LRESULT result = 0;
    if (finder == nullptr || FAILED(ExceptionBarrier([&] { result = finder->OnMessage(window, message, wParam, lParam); }))) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return result;
}

LRESULT FinderWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP: {
        // Captured, the point may lie far outside the client area, on either side.
        POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(window, &at);
        m_mouse(message, at);
        return 0;
    }
    case WM_CAPTURECHANGED:
        m_mouse(message, POINT{});
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window, &paint);
        Paint(dc);
        EndPaint(window, &paint);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
