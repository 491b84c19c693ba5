// Point to find: while it runs, the form's window holds the mouse capture and a crosshair; the
// window under the pointer is framed on the screen (inverted, as Highlight does) and named in
// panel 1, and releasing the left button picks it. Escape or losing the capture cancels.
#pragma once
#include <windows.h>

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

    void Start();
    void Cancel();
    bool Active() const noexcept { return m_active; }

    // The owner's mouse and capture messages, and a key the message loop sees; true when taken.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnKey(const MSG& message);

    // The deepest visible window at a point of the screen (ChildWindowFromPointEx downwards
    // from the top-level window there), or nullptr.
    static HWND WindowAt(POINT screen);
    // hWnd: 000A0B2Ch  "caption"  [Class:Button], read without sending the window a message.
    static std::wstring Describe(HWND window);

private:
    void Track(POINT screen);
    void Unframe();
    void End();

    HWND m_owner;
    Say m_say;
    Pick m_pick;
    bool m_active = false;
    HWND m_framed = nullptr;
    RECT m_frame = {};
};
