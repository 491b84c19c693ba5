// The scan's record, made from the scan's own data rather than from a filled tree. Right after
// the window pass the recorder takes the outline: from the process list and the window objects,
// every process and every window once, under the window the tree shows it under, in the tree's
// order (all in memory: no window is asked anything). The facts the record keeps (Unicode
// names, owner, thread, visibility, rectangle, a process's path) are then read from the
// platform, on the caller's thread or on a thread of the recorder's own. Each such read of
// another process's window is a trip to the window server, and two threads asking it at once
// slow each other down: the form lets its reader run while the count box is up and after the
// fill, and holds it while the tree is cleared and filled.
#pragma once
#include "inventory/APi.h"
#include "inventory/ScanRecord.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

class ScanRecorder {
public:
    // The outline of the scan `processes` holds: after the window pass, before the fill
    // releases the objects. `topWindowOrder`: the pass's top-level windows in the platform's order.
    ScanRecorder(const std::vector<ProcessRecord>& processes, const std::vector<HWND>& topWindowOrder);
    // Stops a reader thread that is still at work.
    ~ScanRecorder();
    ScanRecorder(const ScanRecorder&) = delete;
    ScanRecorder& operator=(const ScanRecorder&) = delete;

    // Reads the facts on a thread of its own from now on; posts `message` to `notify` once they are all read.
    void ReadOnThread(HWND notify, UINT message);
    // While one exists, the reader thread waits before its next window.
    class Hold {
    public:
        explicit Hold(ScanRecorder& recorder);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        ScanRecorder& m_recorder;
    };
    // Every fact is read (and the record can be had without waiting).
    bool Whole() const noexcept { return m_whole.load(); }
    // The whole record: waits for the reader thread, or reads what is left on this thread.
    // Raises what the reading met (running out of memory). Not while a Hold is held.
    std::shared_ptr<const ScanRecord> Record();

private:
    void TakeOutline(const std::vector<ProcessRecord>& processes, const std::vector<HWND>& topWindowOrder);
    // Reads every fact; on the reader thread it waits while held, and ends early when stopped.
    void ReadAll(bool onThread) noexcept;
    // False when stopped on the way.
    [[nodiscard]] bool ReadProcesses(bool onThread);
    void ReadWindow(size_t index);
    // Waits while held; false once stopped.
    [[nodiscard]] bool MayGoOn();

    FILETIME m_takenAt = {};
    LONG m_liveObjectCount = 0;
    std::vector<RecordedProcess> m_processes;
    std::vector<RecordedWindow> m_windows;     // in the tree's order
    std::vector<size_t> m_topLevelOrder;
    std::vector<bool> m_visibleAtDepth;        // while reading in order: the visibility of each ancestor
    // While reading: each class's name and its ANSI rendering, by atom (0: a window gone meanwhile).
    std::unordered_map<ATOM, std::pair<std::wstring, std::wstring>> m_classNames;

    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_resume;
    std::atomic<int> m_holds{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_whole{false};
    HRESULT m_failure = S_OK;
    HWND m_notify = nullptr;
    UINT m_message = 0;
    std::shared_ptr<const ScanRecord> m_record;
};

// FillWindowTree with the recorder reading on its thread from when the count box shows, except
// while the tree fills; `message` goes to `notify` (if any) when the record is whole.
void FillWindowTreeReading(ScanRecorder& recorder, TreeViewControl& tree, ProgressBarControl& progress,
                           HWND notify = nullptr, UINT message = 0);

// The scan without a tree, for the command line: the process list, the window pass, the record
// read on this thread, and every window object released.
std::shared_ptr<const ScanRecord> ScanIntoRecord();
