// The object behind a window whose class procedure is a static member function: its address
// travels in the creation parameters and is kept in the window's user data from WM_NCCREATE on
// (the wiring of the classic samples' LearnWin32/BaseWindow and Windows Terminal's
// src/cascadia/WindowsTerminal/BaseWindow.h). The object's owning handle takes the window at
// WM_NCCREATE and lets go of it at WM_NCDESTROY, when the window is gone and nothing may destroy
// it again or reach the object through it. Null before WM_NCCREATE.
// Beside it, the one check a window makes before it reads a WM_NOTIFY.
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

// The header of a WM_NOTIFY that `from`, one of the window's own controls, sent; null for any
// other. The controls of this program's windows live on the thread that handles their
// notifications, so one sent from another thread or process is never theirs: its pointer means
// nothing here (the system passes it on as it is) and is not read at all.
inline const NMHDR* OwnNotification(LPARAM lParam, HWND from) noexcept
{
    if (lParam == 0 || from == nullptr || InSendMessageEx(nullptr) != ISMEX_NOSEND) return nullptr;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    return header->hwndFrom == from ? header : nullptr;
}

// The same for a notification that any of `parent`'s own child controls sent.
inline const NMHDR* OwnChildNotification(LPARAM lParam, HWND parent) noexcept
{
    if (lParam == 0 || parent == nullptr || InSendMessageEx(nullptr) != ISMEX_NOSEND) return nullptr;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    return IsChild(parent, header->hwndFrom) ? header : nullptr;
}
