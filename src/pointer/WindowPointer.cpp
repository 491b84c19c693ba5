// The capture starts with the press on the finder's icon (or with Ctrl+P, when no button is down
// and only the keyboard points): a capture taken while a button is already down in our own
// window lasts until its release, wherever the pointer goes, so the target never sees a click.
#include "pointer/WindowPointer.h"

#include "inspect/WindowHighlight.h"
#include "inventory/NodeText.h"
#include "platform/ScreenPlace.h"

#include <algorithm>

namespace {
constexpr int kArrowStep = 10; // pixels; with Shift, one
// The places the pointer has been at while the keys point, whose mouse moves may still come.
constexpr size_t kPlacesKept = 64;

// Windows that pointing looks through: not shown, transparent to the mouse, or a group box,
// whose frame lies around the controls the user means.
bool LookedThrough(HWND window)
{
    if (!IsWindowVisible(window) || (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0) return true;
    wchar_t className[8] = {};
    GetClassNameW(window, className, 8);
    return lstrcmpiW(className, L"Button") == 0 && (GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

bool Contains(HWND window, POINT screen)
{
    RECT rect = {};
    return GetWindowRect(window, &rect) && PtInRect(&rect, screen);
}

void ShowCrosshair()
{
    SetCursor(LoadCursorW(nullptr, IDC_CROSS));
}
} // namespace

WindowPointer::WindowPointer(HWND owner, Say say, Pick pick) noexcept
    : m_say(std::move(say)), m_pick(std::move(pick)),
      m_finder(owner, [this](UINT message, POINT screen) { OnFinderMouse(message, screen); })
{
}

WindowPointer::~WindowPointer()
{
    End();
}

void WindowPointer::Start()
{
    m_finder.Show();
    if (Active()) return;
    Begin(Mode::Keyboard);
    // Short enough for panel 1; the finder's own prompt tells about dragging.
    m_say(L"Point to find: arrow keys move (Shift: 1 pixel), Enter picks, Esc cancels");
}

void WindowPointer::Cancel()
{
    if (!Active()) return;
    End();
    m_say(L"Point to find cancelled");
}

void WindowPointer::Begin(Mode mode)
{
    m_mode = mode;
    SetCapture(m_finder.hWnd());
    ShowCrosshair();
    GetCursorPos(&m_at);
    Visit(m_at);
    Track(m_at);
}

void WindowPointer::Visit(POINT at)
{
    m_visited.push_back(at);
    if (m_visited.size() > kPlacesKept) m_visited.pop_front();
}

void WindowPointer::End()
{
    const bool pointed = Active();
    m_mode = Mode::Off; // first: releasing the capture below reports WM_CAPTURECHANGED
    m_overlay.Close();
    m_framed = nullptr;
    m_visited.clear();
    m_finder.ShowIcon(true);
    if (m_finder.hWnd() != nullptr && GetCapture() == m_finder.hWnd()) ReleaseCapture();
    m_finder.Close(); // pointing is over: the tool goes with it
    if (pointed && m_follow) m_follow(nullptr, false);
}

void WindowPointer::Finish(POINT screen)
{
    End();
    if (const HWND picked = WindowAt(screen)) {
        m_pick(picked);
    } else {
        m_say(L"Point to find: no window there");
    }
}

void WindowPointer::OnFinderMouse(UINT message, POINT screen)
{
    switch (message) {
    case WM_LBUTTONDOWN: {
        const RECT icon = m_finder.IconScreenRect();
        if (m_mode == Mode::Off && !PtInRect(&icon, screen)) return;
        m_finder.ShowIcon(false);
        if (m_mode == Mode::Off) {
            Begin(Mode::Drag);
            m_say(L"Point to find: release the button over the window to pick, Esc cancels");
        }
        m_mode = Mode::Drag;
        return;
    }
    case WM_MOUSEMOVE:
        if (!Active()) return;
        ShowCrosshair();
        // A move to where a key sent the pointer (or where it was) comes late, the platform's
        // echo after the next key moved it on: taken as where the pointer is, it lost a step.
        if (m_mode == Mode::Keyboard) {
            if (std::any_of(m_visited.begin(), m_visited.end(), [&](POINT at) { return at.x == screen.x && at.y == screen.y; })) {
                return;
            }
            Visit(screen);
        }
        m_at = screen;
        Track(screen);
        return;
    case WM_LBUTTONUP:
        if (Dragging()) Finish(screen);
        return;
    case WM_CAPTURECHANGED:
        Cancel(); // taken by someone else; after End this is over already
        return;
    default:
        return;
    }
}

bool WindowPointer::OnKey(const MSG& message)
{
    if (!Active() || (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN)) return false;
    const int step = GetKeyState(VK_SHIFT) < 0 ? 1 : kArrowStep;
    switch (message.wParam) {
    case VK_ESCAPE:
        Cancel();
        break;
    case VK_LEFT:
        MoveBy(-step, 0);
        break;
    case VK_RIGHT:
        MoveBy(step, 0);
        break;
    case VK_UP:
        MoveBy(0, -step);
        break;
    case VK_DOWN:
        MoveBy(0, step);
        break;
    case VK_RETURN:
        if (m_mode == Mode::Keyboard) Finish(m_at);
        break;
    default:
        break;
    }
    return true; // no other key acts while pointing
}

void WindowPointer::MoveBy(int dx, int dy)
{
    if (m_mode != Mode::Keyboard) return;
    // From where pointing is, not from GetCursorPos: the system may not have moved the pointer
    // to where the last key sent it yet.
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    m_at.x = std::clamp<LONG>(m_at.x + dx, left, left + GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1);
    m_at.y = std::clamp<LONG>(m_at.y + dy, top, top + GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1);
    SetCursorPos(m_at.x, m_at.y);
    Visit(m_at);
    ShowCrosshair();
    Track(m_at);
}

HWND WindowPointer::WindowAt(POINT screen)
{
    HWND found = nullptr;
    for (HWND top = GetTopWindow(nullptr); top != nullptr && found == nullptr; top = GetWindow(top, GW_HWNDNEXT)) {
        if (!LookedThrough(top) && !IsIconic(top) && Contains(top, screen) && !IsWindowCloaked(top)) found = top;
    }
    // Children show only inside their parent's client area; among siblings the smallest wins,
    // which finds a control that a larger sibling lies over.
    for (HWND parent = found; parent != nullptr; parent = found == parent ? nullptr : found) {
        RECT client = {};
        GetClientRect(parent, &client);
        MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
        if (!PtInRect(&client, screen)) break;
        LONGLONG smallest = 0;
        for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT rect = {};
            if (LookedThrough(child) || !GetWindowRect(child, &rect) || !PtInRect(&rect, screen)) continue;
            const LONGLONG area = LONGLONG{rect.right - rect.left} * (rect.bottom - rect.top);
            if (found == parent || area < smallest) {
                found = child;
                smallest = area;
            }
        }
    }
    return found;
}

std::wstring WindowPointer::Describe(HWND window)
{
    wchar_t caption[256] = {};
    InternalGetWindowText(window, caption, 256);
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    return WindowNodeText(static_cast<LONG>(reinterpret_cast<INT_PTR>(window)), caption, className);
}

void WindowPointer::Track(POINT screen)
{
    const HWND window = WindowAt(screen);
    if (window == m_framed) return;
    m_framed = window;
    RECT frame = {};
    if (window == nullptr || !WindowHighlight::WhyUnseen(window, frame).empty()) {
        m_overlay.Hide();
    } else {
        m_overlay.Show(frame);
    }
    m_say(window == nullptr ? L"Point to find: no window here" : L"Pointing at " + Describe(window));
    if (m_follow) m_follow(window, true);
}
