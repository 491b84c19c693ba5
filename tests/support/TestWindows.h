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

// What the program must call a window and a process, spelled here apart from the program: the
// handle's text ("00010A2Bh"), a window's node text, and the tree's keys ("HWND68139",
// "PID1234").
std::wstring HandleText(HWND window);
std::wstring NodeTextOf(HWND window, const std::wstring& caption, const std::wstring& className = TestWindowClass());
std::wstring KeyOf(HWND window);
std::wstring KeyOfProcess(DWORD processId);

// Dispatches whatever is queued for this thread.
void PumpMessages();

// A new window object, for `window` when one is given (its children built as a scan builds them).
ComPtr<IScreenWindowInfo> ObjectFor(HWND window);
