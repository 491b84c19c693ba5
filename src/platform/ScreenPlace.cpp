// Each side is tried at its two ends and just past the edges of the windows shown there, and
// scored by the area it covers, the anchor's counting sixteen times: a window beside the form
// that covers another program a little beats one that covers the form. The first of the least
// covering places wins, in the order tried.
#include "platform/ScreenPlace.h"

#include <dwmapi.h>

#include <algorithm>
#include <vector>

namespace {
LONGLONG Overlap(const RECT& a, const RECT& b)
{
    RECT common = {};
    return IntersectRect(&common, &a, &b) ? LONGLONG{common.right - common.left} * (common.bottom - common.top) : 0;
}

// What a new window should not cover: the visible top-level windows on the screen, but for those
// that cover the whole work area (a maximized window, the desktop's own), which nothing avoids.
struct Covered {
    HWND anchor;
    RECT work;
    std::vector<RECT> rects;
};

BOOL CALLBACK CollectCovered(HWND window, LPARAM context) noexcept
{
    auto& covered = *reinterpret_cast<Covered*>(context);
    RECT rect = {};
    RECT inWork = {};
    if (window == covered.anchor || !IsWindowVisible(window) || IsIconic(window) ||
        (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0 || !GetWindowRect(window, &rect) ||
        !IntersectRect(&inWork, &rect, &covered.work) || EqualRect(&inWork, &covered.work) || IsWindowCloaked(window)) {
        return TRUE;
    }
    try {
        covered.rects.push_back(rect);
    } catch (...) {
        return FALSE; // placed without knowing the rest
    }
    return TRUE;
}
} // namespace

RECT WorkAreaNear(const RECT& rect)
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor)) {
        RECT work = {};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        return work;
    }
    return monitor.rcWork;
}

RECT FitIntoWorkArea(const RECT& rect)
{
    const RECT work = WorkAreaNear(rect);
    const LONG width = std::min(rect.right - rect.left, work.right - work.left);
    const LONG height = std::min(rect.bottom - rect.top, work.bottom - work.top);
    const LONG left = std::clamp(rect.left, work.left, work.right - width);
    const LONG top = std::clamp(rect.top, work.top, work.bottom - height);
    return RECT{left, top, left + width, top + height};
}

RECT PlaceBeside(HWND anchor, SIZE size, SIZE smallest)
{
    RECT from = {};
    GetWindowRect(anchor, &from);
    Covered covered{anchor, WorkAreaNear(from), {}};
    EnumWindows(CollectCovered, reinterpret_cast<LPARAM>(&covered));
    const RECT& work = covered.work;
    // The room each side leaves: right, below, left, above.
    const LONG rooms[] = {work.right - from.right, work.bottom - from.bottom, from.left - work.left, from.top - work.top};
    RECT best = {};
    LONGLONG bestScore = -1;
    for (int side = 0; side < 4; ++side) {
        const bool across = side % 2 == 0; // right or left: the width is what the side limits
        LONG width = size.cx, height = size.cy;
        LONG& limited = across ? width : height;
        if (rooms[side] >= (across ? smallest.cx : smallest.cy)) limited = std::min(limited, rooms[side]);
        // Where along the side it may start: level with either end of the anchor, or clear of a window.
        std::vector<LONG> starts = across ? std::vector<LONG>{from.top, from.bottom - height}
                                          : std::vector<LONG>{from.left, from.right - width};
        for (const RECT& other : covered.rects) {
            starts.insert(starts.end(), across ? std::initializer_list<LONG>{other.bottom, other.top - height}
                                               : std::initializer_list<LONG>{other.right, other.left - width});
        }
        for (const LONG start : starts) {
            const LONG left = side == 0 ? from.right : side == 2 ? from.left - width : start;
            const LONG top = side == 1 ? from.bottom : side == 3 ? from.top - height : start;
            const RECT placed = FitIntoWorkArea(RECT{left, top, left + width, top + height});
            LONGLONG score = 16 * Overlap(placed, from);
            for (const RECT& other : covered.rects) score += Overlap(placed, other);
            if (bestScore < 0 || score < bestScore) {
                best = placed;
                bestScore = score;
            }
        }
    }
    return best;
}

void MoveBesideOwner(HWND dialog)
{
    RECT rect = {};
    GetWindowRect(dialog, &rect);
    const SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
    const HWND owner = GetWindow(dialog, GW_OWNER);
    const RECT at = owner != nullptr ? PlaceBeside(owner, size, size) : FitIntoWorkArea(rect);
    SetWindowPos(dialog, nullptr, at.left, at.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool IsWindowCloaked(HWND window) noexcept
{
    DWORD cloaked = 0;
    const HWND top = GetAncestor(window, GA_ROOT);
    return SUCCEEDED(DwmGetWindowAttribute(top, DWMWA_CLOAKED, &cloaked, sizeof cloaked)) && cloaked != 0;
}

void MoveToDpiSuggestion(HWND window, LPARAM lParam) noexcept
{
    const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}
