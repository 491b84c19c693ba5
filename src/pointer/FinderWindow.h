// The finder tool: a small window owned by the form with the finder icon and a one-line prompt.
// Pointing by mouse starts with the left button pressed on the icon, so this window holds the
// mouse capture from the press on and the window pointed at never gets a click.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <functional>

class FinderWindow {
public:
    // The window's mouse messages and WM_CAPTURECHANGED, with the point in screen coordinates.
    using MouseHandler = std::function<void(UINT message, POINT screen)>;
    static constexpr const wchar_t* kPrompt = L"Drag the finder over a window and release to pick it, Esc cancels "
                                              L"(group boxes and transparent windows are skipped)";

    FinderWindow(HWND owner, MouseHandler mouse) noexcept;
    FinderWindow(const FinderWindow&) = delete;
    FinderWindow& operator=(const FinderWindow&) = delete;

    // Creates the window beside the owner, where it covers least, unless it is open; shows it
    // and brings it forward.
    void Show();
    void Close() noexcept { m_window.reset(); }
    // Null until shown, and again once closed.
    HWND hWnd() const noexcept { return m_window.get(); }
    RECT IconScreenRect() const noexcept;
    // Leaves the icon's place empty while the finder is dragged, as if it had been lifted off.
    void ShowIcon(bool shown) noexcept;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc) const;

    HWND m_owner;
    MouseHandler m_mouse;
    bool m_iconShown = true;
    UniqueWindow m_window;
};
