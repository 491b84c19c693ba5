// The control is remembered by handle: one destroyed meanwhile fails IsWindow and the fallback
// takes the keyboard instead.
#include "platform/ActivationFocus.h"

void ActivationFocus::OnActivate(HWND window, WPARAM wParam, HWND fallback) noexcept
{
    if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) m_focus = focus;
        return;
    }
    if (HIWORD(wParam) != 0) return;
    SetFocus(m_focus != nullptr && IsWindow(m_focus) && IsChild(window, m_focus) ? m_focus : fallback);
}
