// Progress bar: the float properties map onto the control's integer range and position.
#include "controls/ProgressBarControl.h"

#include "platform/RuntimeError.h"
#include "controls/Twips.h"

#include <commctrl.h>

#include <cmath>

ProgressBarControl::ProgressBarControl(HWND parent, UINT id, const RECT& bounds)
    : m_window(CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, bounds.left,
                               bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr), nullptr)),
      m_dpi(WindowDpi(parent))
{
    if (!m_window) RaiseLastError();
    Apply();
}

void ProgressBarControl::put_Max(float value)
{
    if (!(value >= m_min)) RaiseError(kErrorInvalidPropertyValue);
    m_max = value;
    if (m_value > m_max) m_value = m_max;
    Apply();
}

void ProgressBarControl::put_Min(float value)
{
    if (!(value <= m_max)) RaiseError(kErrorInvalidPropertyValue);
    m_min = value;
    if (m_value < m_min) m_value = m_min;
    Apply();
}

void ProgressBarControl::put_Value(float value)
{
    if (!(value >= m_min && value <= m_max)) RaiseError(kErrorInvalidPropertyValue);
    m_value = value;
    Apply();
}

void ProgressBarControl::Apply()
{
    SendMessageW(hWnd(), PBM_SETRANGE32, static_cast<WPARAM>(std::lround(m_min)), std::lround(m_max));
    SendMessageW(hWnd(), PBM_SETPOS, static_cast<WPARAM>(std::lround(m_value)), 0);
    // The bar is driven from inside long synchronous work: show each value as it is set.
    UpdateWindow(hWnd());
}

void ProgressBarControl::Move(float left, float top, float width, float height)
{
    MoveWindow(hWnd(), TwipsToPixels(left, m_dpi), TwipsToPixels(top, m_dpi), TwipsToPixels(width, m_dpi),
               TwipsToPixels(height, m_dpi), TRUE);
}

void ProgressBarControl::ZOrder(short position)
{
    SetWindowPos(hWnd(), position == 0 ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}
