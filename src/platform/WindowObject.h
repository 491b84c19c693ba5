// The object behind a window whose class procedure is a static member function: its address
// travels in the creation parameters and is kept in the window's user data from WM_NCCREATE on
// (the wiring of the classic samples' LearnWin32/BaseWindow and Windows Terminal's
// src/cascadia/WindowsTerminal/BaseWindow.h). The object's owning handle takes the window at
// WM_NCCREATE and lets go of it at WM_NCDESTROY, when the window is gone and nothing may destroy
// it again or reach the object through it. Null before WM_NCCREATE.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

template <class Object>
Object* WindowObject(HWND window, UINT message, LPARAM lParam, UniqueWindow Object::*owner) noexcept
{
    if (message == WM_NCCREATE) {
        auto* const object = static_cast<Object*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        (object->*owner).reset(window);
        return object;
    }
    auto* const object = reinterpret_cast<Object*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (object != nullptr && message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if ((object->*owner).get() == window) (void)(object->*owner).release();
    }
    return object;
}
