// Point to find: the finder tool window, and pointing by dragging its icon or by the keyboard.
// While pointing, the finder holds the mouse capture and a crosshair; the window under the
// pointer is framed by an overlay and named in panel 1, and releasing the button (or Enter)
// picks it. Escape or losing the capture cancels.
#pragma once
#include "inspect/OverlayFrame.h"
#include "pointer/FinderWindow.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <string>

class WindowPointer {
public:
    using Say = std::function<void(const std::wstring&)>;
    using Pick = std::function<void(HWND)>;
    WindowPointer(HWND owner, Say say, Pick pick) noexcept;
    ~WindowPointer();
    WindowPointer(const WindowPointer&) = delete;
    WindowPointer& operator=(const WindowPointer&) = delete;

    // Opens the finder tool and points by keyboard from where the mouse pointer is: the arrow
    // keys move it (Shift: one pixel at a time), Enter picks. Dragging the icon still works.
    void Start();
    void Cancel();
    bool Active() const noexcept { return m_mode != Mode::Off; }
    bool Dragging() const noexcept { return m_mode == Mode::Drag; }
    // The window framed now, or nullptr.
    HWND Framed() const noexcept { return m_framed; }
    const FinderWindow& Finder() const noexcept { return m_finder; }
    // Told each window framed while pointing (nullptr over none), and once with `pointing`
    // false when pointing ends: the properties pane follows it.
    using Follow = std::function<void(HWND framed, bool pointing)>;
    void SetFollower(Follow follow) { m_follow = std::move(follow); }

    // A key the message loop sees; true when taken (every key is, while pointing).
    bool OnKey(const MSG& message);

    // The window point to find picks at a point of the screen: the top-level window there, then
    // at each level down the smallest visible child containing the point, looking through group
    // boxes and transparent windows (and cloaked top-level ones and the overlay frames). Nullptr
    // over no window.
    static HWND WindowAt(POINT screen);
    // The window as the tree names it (hWnd: 000A0B2Ch  【caption】  [Class:Button]), read
    // without sending the window a message.
    static std::wstring Describe(HWND window);

private:
    enum class Mode { Off, Keyboard, Drag };
    void OnFinderMouse(UINT message, POINT screen);
    void Begin(Mode mode);
    void Track(POINT screen);
    void MoveBy(int dx, int dy);
    void Visit(POINT at);
    void Finish(POINT screen);
    void End();

    Say m_say;
    Pick m_pick;
    Follow m_follow;
    FinderWindow m_finder;
    OverlayFrame m_overlay;
    Mode m_mode = Mode::Off;
    HWND m_framed = nullptr;
    POINT m_at = {}; // where the pointer is, as the last mouse message or key put it
    std::deque<POINT> m_visited; // where the pointer has been while the keys point, newest last
};
