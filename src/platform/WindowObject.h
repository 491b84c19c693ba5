// The object behind a window whose class procedure is a static member function: its address
// travels in the creation parameters and is kept in the window's user data from WM_NCCREATE on
// (the wiring of the classic samples' LearnWin32/BaseWindow and Windows Terminal's
// src/cascadia/WindowsTerminal/BaseWindow.h). Null before WM_NCCREATE and once cleared.
#pragma once
#include <windows.h>

template <class Object>
Object* WindowObject(HWND window, UINT message, LPARAM lParam) noexcept
{
    if (message != WM_NCCREATE) return reinterpret_cast<Object*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    auto* const object = static_cast<Object*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    return object;
}
