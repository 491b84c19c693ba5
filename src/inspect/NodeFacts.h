// What a node of the tree stands for, and the facts of that window, process or thread read now: the
// one-line summary for the status bar and the full text of the properties pane.
#pragma once
#include <windows.h>

#include <string>

struct NodeSubject {
    enum class Kind { None, Process, Window, Thread };
    Kind kind = Kind::None;
    LONG id = 0; // process or thread identifier, or window handle
};

// The subject behind a node key ("PID<id>", "HWND<handle>" or "TID<id>").
NodeSubject SubjectOfKey(const std::wstring& key);

// One line: a window's handle, rectangle, size, visibility and thread, a process's identifier
// and number of top-level windows, or a thread's process and number of top-level windows; says
// so when the window, process or thread is gone.
std::wstring SummaryFacts(const NodeSubject& subject);

// Every fact, one per line with a tab after the label, in groups (WindowFacts.h); empty when
// the subject is gone.
std::wstring PropertiesText(const NodeSubject& subject);
// The properties pane's title for the subject.
std::wstring PropertiesTitle(const NodeSubject& subject);

// "Window 000A0B2Ch no longer exists", "Process 1234 has exited", "Thread 1234 has ended".
std::wstring GoneText(const NodeSubject& subject);

// "A process", "A thread", "A window": what the node is, to say why a command needs another.
const wchar_t* KindText(const NodeSubject& subject);

inline HWND WindowOf(const NodeSubject& subject)
{
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(subject.id));
}
