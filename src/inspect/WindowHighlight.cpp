// Each flash reads the window's rectangle again, so the frame follows a window that moves and
// stops once it is hidden or gone. The timer lives on the overlay's window and dies with it.
#include "inspect/WindowHighlight.h"

#include "inventory/NodeText.h"
#include "platform/RuntimeError.h"
#include "platform/ScreenPlace.h"

namespace {
constexpr int kSteps = 6;              // three flashes, each shown and hidden
constexpr UINT kShownMs = 330;         // about a second of frame in all
constexpr UINT kHiddenMs = 170;
} // namespace

std::wstring WindowHighlight::WhyUnseen(HWND window, RECT& frame)
{
    const std::wstring name = L"Window " + FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(window)));
    if (!IsWindow(window)) return name + L" no longer exists: nothing to highlight";
    if (IsIconic(window)) return name + L" is minimized: nothing to highlight";
    if (!IsWindowVisible(window)) return name + L" is hidden: nothing to highlight";
    if (IsWindowCloaked(window)) return name + L" is cloaked (not drawn, e.g. on another desktop): nothing to highlight";
    const RECT bounds = OverlayFrame::VisibleBounds(window);
    const RECT screenArea = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                             GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                             GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    if (!IntersectRect(&frame, &bounds, &screenArea)) return name + L" lies off the screen: nothing to highlight";
    return {};
}

std::wstring WindowHighlight::Start(HWND window)
{
    RECT frame = {};
    std::wstring why = WhyUnseen(window, frame);
    if (!why.empty()) return why;
    m_frame.Close();
    m_window = window;
    m_step = 0;
    Step();
    return {};
}

void WindowHighlight::Step()
{
    RECT frame = {};
    if (m_step >= kSteps || (m_step % 2 == 0 && !WhyUnseen(m_window, frame).empty())) {
        m_frame.Close();
        return;
    }
    if (m_step % 2 == 0) {
        m_frame.Show(frame);
    } else {
        m_frame.Hide();
    }
    // The id is this object: the callback finds its way back without a window of its own.
    const UINT delay = m_step % 2 == 0 ? kShownMs : kHiddenMs;
    if (!SetTimer(m_frame.hWnd(), reinterpret_cast<UINT_PTR>(this), delay, &OnTimer)) {
        m_frame.Close();
        RaiseLastError();
    }
    ++m_step;
}

void CALLBACK WindowHighlight::OnTimer(HWND, UINT, UINT_PTR id, DWORD) noexcept
{
    auto* const highlight = reinterpret_cast<WindowHighlight*>(id);
    // A step that cannot show the frame ends the flashing; the timer goes with the window.
    if (FAILED(ExceptionBarrier([&] { highlight->Step(); }))) highlight->m_frame.Close();
}
