// The progress bar: single-precision Max, Min and Value, and placement in twips.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

class ProgressBarControl {
public:
    // Creates the bar as a child of `parent` at `bounds` (pixels), with range 0 to 100.
    ProgressBarControl(HWND parent, UINT id, const RECT& bounds);
    ProgressBarControl(const ProgressBarControl&) = delete;
    ProgressBarControl& operator=(const ProgressBarControl&) = delete;

    HWND hWnd() const noexcept { return m_window.get(); }

    // Raise kErrorInvalidPropertyValue for a range with Max below Min or a Value outside it.
    // Lowering Max below the current Value takes the Value down with it.
    void put_Max(float value);
    void put_Min(float value);
    void put_Value(float value);
    float Max() const noexcept { return m_max; }
    float Min() const noexcept { return m_min; }
    float Value() const noexcept { return m_value; }

    // The DPI that Move converts twips at: its parent's at creation, then what the form says.
    void SetDpi(int dpi) noexcept { m_dpi = dpi; }
    // Places the bar in twips, relative to its parent's client area.
    void Move(float left, float top, float width, float height);
    // 0 brings the bar to the front of its siblings, 1 sends it to the back.
    void ZOrder(short position);

private:
    void Apply();

    UniqueWindow m_window;
    int m_dpi;
    float m_min = 0;
    float m_max = 100;
    float m_value = 0;
};
