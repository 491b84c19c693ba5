// The full facts of a window, a process or a thread, read now, as the properties pane shows them: one fact
// a line ("Label:\tvalue"), in groups under a heading line of their own (General, Styles, Class,
// Process), so that what a developer looks for is found at a glance. Also the small pieces of
// text the facts and the pointer readings share.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <optional>
#include <string>

// A live window's facts in four groups: general, styles, class, process.
std::wstring WindowProperties(HWND window);
// A running process's facts, from its snapshot entry.
std::wstring ProcessProperties(DWORD processId, const PROCESSENTRY32W& entry);
// A running thread's facts, from its snapshot entry: its process, priority, top-level windows and
// the windows that have its keyboard focus, mouse capture and caret.
std::wstring ThreadProperties(const THREADENTRY32& entry);

// The process's entry in a snapshot taken now; nothing when it has exited.
std::optional<PROCESSENTRY32W> ProcessEntry(DWORD processId);
// The same for a thread: a snapshot tells its process whatever rights we have on it.
std::optional<THREADENTRY32> ThreadEntry(DWORD threadId);
// How many top-level windows the thread has now.
int ThreadWindowCount(DWORD threadId);
// The executable's full path where the process lets us read it, else its snapshot name, else
// "unknown".
std::wstring ExecutablePath(DWORD processId);

// "0x0000ABCD".
std::wstring HexText(DWORD value);
// "(left, top)-(right, bottom), width x height".
std::wstring RectText(const RECT& rect);
// The window's caption as the system keeps it, read without sending the window a message.
std::wstring StoredCaption(HWND window);
std::wstring ClassNameOf(HWND window);
