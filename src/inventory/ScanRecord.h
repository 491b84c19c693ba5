// One scan kept as data: every process and window of the scan, each window once under the
// window it is shown under, in the tree's order, its names read in Unicode and its node text
// beside them. Saving, copying, finding and comparing read this record, never the node texts
// taken apart again. It never changes once built; the form holds it until the next scan.
#pragma once
#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

struct RecordedWindow {
    LONG handle = 0;
    LONG parent = 0; // the window it is shown under; 0 for a top-level window
    LONG owner = 0;
    DWORD threadId = 0;
    LONG processId = 0;
    std::wstring className;
    std::wstring caption; // read without a message; empty when it has none
    // The node's text: caption and class rendered through the ANSI code page as the tree shows
    // them. (For a window of the scanning process that answers WM_GETTEXT with something else
    // than its caption, a status bar, the tree shows that answer.)
    std::wstring text;
    bool visible = false;
    RECT rect = {};
    unsigned depth = 0; // 0 for a top-level window
};

struct RecordedProcess {
    LONG processId = 0;
    std::wstring exeName; // Unicode where the snapshot's wide walk had it
    std::wstring path;    // empty where it could not be read
    std::wstring text;    // the node's text
    bool self = false;    // a process of this program (the scan's own, or the same executable's)
    // Its windows: Windows()[firstWindow, endWindow), in the tree's display order.
    size_t firstWindow = 0;
    size_t endWindow = 0;
};

class ScanRecord {
public:
    // `windows` in display order, each process's run of them contiguous, as its entries say.
    // `topLevelOrder`: indexes into `windows` of the top-level windows in the order the platform
    // enumerated them, across processes (z-order, topmost first).
    ScanRecord(FILETIME takenAt, LONG liveObjectCount, std::vector<RecordedProcess> processes,
               std::vector<RecordedWindow> windows, std::vector<size_t> topLevelOrder);

    FILETIME TakenAt() const noexcept { return m_takenAt; }
    LONG LiveObjectCount() const noexcept { return m_liveObjectCount; }
    const std::vector<RecordedProcess>& Processes() const noexcept { return m_processes; }
    const std::vector<RecordedWindow>& Windows() const noexcept { return m_windows; }
    const std::vector<size_t>& TopLevelOrder() const noexcept { return m_topLevelOrder; }

    // The window with this handle, or nullptr.
    const RecordedWindow* WindowOfHandle(LONG handle) const noexcept;
    // This scan's window that is the same window (IsSameWindow) as one of another scan, or nullptr.
    const RecordedWindow* SameWindow(const RecordedWindow& other) const noexcept;
    // Index into Processes(), or -1.
    ptrdiff_t ProcessIndexOf(LONG processId) const noexcept;

private:
    FILETIME m_takenAt;
    LONG m_liveObjectCount;
    std::vector<RecordedProcess> m_processes;
    std::vector<RecordedWindow> m_windows;
    std::vector<size_t> m_topLevelOrder;
    std::unordered_map<LONG, size_t> m_byHandle;
    std::unordered_map<LONG, size_t> m_byProcess;
};
