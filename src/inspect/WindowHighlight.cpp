// Inverting is its own undo: the second pass leaves every pixel as it was, and nothing is
// painted that could cover what the windows underneath paint meanwhile.
#include "inspect/WindowHighlight.h"

#include "inventory/APi.h"

#include <algorithm>

namespace {
constexpr int kFlashes = 3;
constexpr int kThickness = 4; // pixels
} // namespace

void InvertFrame(HDC screen, const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 2 * kThickness || height <= 2 * kThickness) {
        PatBlt(screen, rect.left, rect.top, width, height, DSTINVERT);
    } else {
        // Four strips that do not overlap, so that no pixel is inverted twice in one pass.
        PatBlt(screen, rect.left, rect.top, width, kThickness, DSTINVERT);
        PatBlt(screen, rect.left, rect.bottom - kThickness, width, kThickness, DSTINVERT);
        PatBlt(screen, rect.left, rect.top + kThickness, kThickness, height - 2 * kThickness, DSTINVERT);
        PatBlt(screen, rect.right - kThickness, rect.top + kThickness, kThickness, height - 2 * kThickness, DSTINVERT);
    }
    GdiFlush();
}

void WaitForTheEye(bool shown)
{
    Sleep(shown ? 150 : 100);
}

std::wstring HighlightWindow(HWND window, const HighlightPause& pause)
{
    const std::wstring name = L"Window " + FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(window)));
    if (!IsWindow(window)) return name + L" no longer exists: nothing to highlight";
    if (IsIconic(window)) return name + L" is minimized: nothing to highlight";
    if (!IsWindowVisible(window)) return name + L" is hidden: nothing to highlight";

    RECT rect = {};
    GetWindowRect(window, &rect);
    const RECT screenArea = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                             GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                             GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    RECT shown = {};
    if (!IntersectRect(&shown, &rect, &screenArea)) return name + L" lies off the screen: nothing to highlight";

    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return name + L": the screen cannot be drawn on";
    for (int flash = 0; flash < kFlashes; ++flash) {
        InvertFrame(screen, shown);
        pause(true);
        InvertFrame(screen, shown);
        pause(false);
    }
    ReleaseDC(nullptr, screen);
    return {};
}
