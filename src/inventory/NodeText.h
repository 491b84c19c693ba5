// How the inventory names a process and a window, one definition each: the tree's node texts
// and keys, and a handle's text. The tree, the scan's record, the exported files, the
// comparison's report, point to find and the message log all name windows through these.
#pragma once
#include <windows.h>

#include <string>

// Eight uppercase hexadecimal digits: 0x1A2B gives "00001A2B" (the files' "hwnd").
std::wstring HandleDigits(LONG handle);
// The digits and "h": 0x1A2B gives "00001A2Bh" (the node texts' and the messages' handle).
std::wstring FormatHandleHex(LONG handle);
inline std::wstring FormatHandleHex(HWND window)
{
    return FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(window)));
}

// "explorer.exe [PID:1234]".
std::wstring ProcessNodeText(const std::wstring& exeName, LONG processId);
// "hWnd: 000A0B2Ch  【Save As】  [Class:#32770]"; a window without a caption is "INVALID".
std::wstring WindowNodeText(LONG handle, const std::wstring& caption, const std::wstring& className);

// "Thread 1234": a thread's node where the tree is arranged by thread.
std::wstring ThreadNodeText(DWORD threadId);
// "Desktop  hWnd: 00010010h": the desktop window at the top of the tree arranged in z-order.
std::wstring DesktopNodeText(LONG handle);

// "HWND" + decimal handle (the desktop's node too).
std::wstring WindowNodeKey(LONG handle);
// Process nodes have keys of their own ("PID" + decimal identifier), so that no window handle
// can take a process's key or the other way round.
std::wstring ProcessNodeKey(LONG processId);
// A thread's: "TID" + decimal identifier, apart from both.
std::wstring ThreadNodeKey(DWORD threadId);
