// Builds a scan's record while the fill inserts its nodes: the fill names each process and each
// window it put into the tree, and the builder reads the rest from the platform.
#pragma once
#include "inventory/ScanRecord.h"

#include <memory>
#include <unordered_map>
#include <vector>

// The facts of a window that the record keeps beyond its place in the tree, read without
// sending it a message: class, caption, owner, thread and process, visibility (as
// IsWindowVisible has it, given whether its parent is visible), rectangle.
void ReadWindowFacts(HWND window, bool parentVisible, RecordedWindow& facts);

class ScanRecordBuilder {
public:
    // Takes the wide process snapshot the names come from.
    ScanRecordBuilder();

    // A process's node; `exeName` is the tree's (ANSI) name, kept where the wide walk has none.
    void AddProcess(LONG processId, const std::wstring& exeName, const std::wstring& text);
    // A window's node under the last process, beneath the window `parent` (0: the process).
    void AddWindow(LONG handle, LONG parent, const std::wstring& text);

    std::shared_ptr<const ScanRecord> Finish(FILETIME takenAt, LONG liveObjectCount);

private:
    struct Pending {
        std::vector<RecordedWindow> windows; // in insertion order
        std::unordered_map<LONG, size_t> indexOf; // by handle
    };
    std::unordered_map<DWORD, std::wstring> m_unicodeNames;
    std::vector<RecordedProcess> m_processes;
    std::vector<Pending> m_pending;
};
