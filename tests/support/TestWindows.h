// Real windows for tests: a registered plain class, creation helpers and message pumping.
#pragma once
#include "platform/UniqueHandles.h"

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
