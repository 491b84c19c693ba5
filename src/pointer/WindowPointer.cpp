// The frame is drawn on the screen's device context, not in any window, and inverted back with
// exactly the rectangle it was drawn with, so that it leaves no marks.
#include "pointer/WindowPointer.h"

#include "inspect/WindowHighlight.h"
#include "inventory/APi.h"
#include "platform/UniqueHandles.h"

#include <windowsx.h>

WindowPointer::WindowPointer(HWND owner, Say say, Pick pick) noexcept
    : m_owner(owner), m_say(std::move(say)), m_pick(std::move(pick))
{
}

WindowPointer::~WindowPointer()
{
    Unframe();
}

void WindowPointer::Start()
{
    m_active = true;
    SetCapture(m_owner);
    SetCursor(LoadCursorW(nullptr, IDC_CROSS));
    m_say(L"Point to find: hold the left button down over a window and release it there (Esc cancels)");
    POINT at = {};
    GetCursorPos(&at);
    Track(at);
}

void WindowPointer::Cancel()
{
    if (!m_active) return;
    End();
    m_say(L"Point to find cancelled");
}

void WindowPointer::End()
{
    m_active = false;
    Unframe();
    if (GetCapture() == m_owner) ReleaseCapture();
}

bool WindowPointer::OnMessage(UINT message, WPARAM, LPARAM lParam)
{
    if (!m_active) return false;
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: {
        POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(m_owner, &at);
        if (message != WM_LBUTTONUP) {
            SetCursor(LoadCursorW(nullptr, IDC_CROSS));
            Track(at);
            return true;
        }
        End();
        if (const HWND picked = WindowAt(at)) m_pick(picked);
        return true;
    }
    case WM_CAPTURECHANGED:
        // Taken by someone else (or released by End, when this is already over).
        Cancel();
        return true;
    default:
        return false;
    }
}

bool WindowPointer::OnKey(const MSG& message)
{
    if (!m_active || (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN)) return false;
    if (message.wParam == VK_ESCAPE) Cancel();
    return true; // no other key acts while pointing
}

HWND WindowPointer::WindowAt(POINT screen)
{
    const HWND under = WindowFromPoint(screen);
    if (under == nullptr) return nullptr;
    HWND window = GetAncestor(under, GA_ROOT);
    for (;;) {
        POINT client = screen;
        ScreenToClient(window, &client);
        const HWND child = ChildWindowFromPointEx(window, client, CWP_SKIPINVISIBLE);
        if (child == nullptr || child == window) return window;
        window = child;
    }
}

std::wstring WindowPointer::Describe(HWND window)
{
    wchar_t caption[256] = {};
    InternalGetWindowText(window, caption, 256);
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    return L"hWnd: " + FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(window))) + L"  \"" + caption + L"\"  [Class:" + className + L"]";
}

void WindowPointer::Track(POINT screen)
{
    const HWND window = WindowAt(screen);
    if (window == m_framed) return;
    Unframe();
    m_framed = window;
    if (window == nullptr) {
        m_say(L"Point to find: no window here");
        return;
    }
    GetWindowRect(window, &m_frame);
    if (UniqueScreenDC screenDc(GetDC(nullptr)); screenDc) InvertFrame(screenDc.get(), m_frame);
    m_say(L"Pointing at " + Describe(window));
}

void WindowPointer::Unframe()
{
    if (m_framed == nullptr) return;
    if (UniqueScreenDC screenDc(GetDC(nullptr)); screenDc) InvertFrame(screenDc.get(), m_frame);
    m_framed = nullptr;
}
