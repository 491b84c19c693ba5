// Real windows and window objects for tests: a plain class, creation helpers, message pumping.
#pragma once
#include "platform/ComPtr.h"
#include "platform/UniqueHandles.h"
#include "window_model/IScreenWindowInfo.h"

#include <windows.h>

#include <string>

// The class every test window uses; its procedure is DefWindowProcW.
const wchar_t* TestWindowClass();

UniqueWindow CreateTopWindow(const std::wstring& caption, DWORD style = WS_OVERLAPPEDWINDOW);
UniqueWindow CreateChildWindow(HWND parent, const std::wstring& caption = L"");

// Handles as the window model stores them.
inline LONG HandleValue(HWND window)
{
    return static_cast<LONG>(reinterpret_cast<INT_PTR>(window));
}

// Dispatches whatever is queued for this thread.
void PumpMessages();

// A new window object, for `window` when one is given (its children built as a scan builds them).
ComPtr<IScreenWindowInfo> ObjectFor(HWND window);
