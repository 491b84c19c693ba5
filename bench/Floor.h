// The floor: a bare scan making the same platform calls as each of the product's stages, with
// nothing but flat vectors in between. The same Toolhelp walk; the same GetClassNameA and
// EnumChildWindows calls, nested in the same way (a window k levels deep is enumerated 2^(k-1)
// times); one GetWindowTextA per object and the same insertions into the same real tree view
// with redraw off, a repeated copy of a window looked up and skipped as the keyed insertion
// refuses it. It is the scan as designed, before the scan had a record: what reading the record
// costs is the product's own, never the floor's.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

class FloorScan {
public:
    // The process list's floor: the snapshot's entries from the second on.
    void ListProcesses();
    // The window pass's floor: every top-level window of a listed process and, nested, its children.
    void PassWindows();
    // The clear's floor: every node of `tree` removed, redraw off meanwhile.
    static void Clear(HWND tree);
    // One plain insertion, as the fill's floor makes them: text only, after `after` (first when
    // null).
    static HTREEITEM Insert(HWND tree, HTREEITEM parent, HTREEITEM after, const std::wstring& text);
    // The fill's floor into an empty `tree`, `progress` following the processes; returns the
    // nodes inserted.
    size_t Fill(HWND tree, HWND progress);

    // Windows the last pass recorded: the floor's equivalent of the product's objects.
    size_t Entries() const { return m_entries; }

private:
    struct Window {
        HWND window;
        HWND enumeratedBy; // the window whose enumeration reported it; null for a top-level window
        std::wstring className;
    };
    struct Process {
        DWORD processId;
        std::wstring exeName;
        std::vector<Window> windows; // in the order the nested enumerations reported them
    };
    struct Visit {
        FloorScan* scan;
        Process* process;
        HWND enumerating;
    };

    static BOOL CALLBACK TopWindow(HWND window, LPARAM context);
    static BOOL CALLBACK ChildWindow(HWND window, LPARAM context);
    void AddWindow(Process& process, HWND window, HWND enumeratedBy);

    std::vector<Process> m_processes;
    std::unordered_map<DWORD, size_t> m_byId;
    size_t m_entries = 0;
};
