// Applies changes to windows, reads each back to say whether it took effect, and keeps the old
// values so that the last change still standing can be undone. No dialog in here: the commands
// and the tests drive it alike.
#pragma once
#include "edit/WindowChange.h"

#include <deque>
#include <string>
#include <vector>

class WindowEditor {
public:
    // What happened, in words for panel 1; `changed` when the window now differs.
    struct Outcome {
        bool changed = false;
        std::wstring text;
    };

    Outcome Apply(const WindowChange& change);
    // Undoes the newest recorded change whose window still exists and still has the value set;
    // the newer ones that no longer stand are dropped.
    Outcome Undo();
    // The recorded changes, newest first, one line each.
    std::vector<std::wstring> HistoryLines() const;

private:
    struct Entry {
        WindowChange change;
        WindowValue old;
        WindowValue set; // as read back after applying
    };
    // Why the window cannot be changed now (gone, above us, hung); empty when it can.
    static std::wstring Unreachable(HWND window);
    // Writes and reads back; fills `now`, or returns why nothing could be written.
    static std::wstring Write(const WindowChange& change, WindowValue& now);
    static std::wstring WhyNotUndoable(const Entry& entry);

    std::deque<Entry> m_history;
};
