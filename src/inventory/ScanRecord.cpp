// The record's lookups: a handle is in the tree at most once, so it indexes a scan.
#include "inventory/ScanRecord.h"

#include "inventory/WindowIdentity.h"

ScanRecord::ScanRecord(FILETIME takenAt, LONG liveObjectCount, std::vector<RecordedProcess> processes,
                       std::vector<RecordedWindow> windows, std::vector<size_t> topLevelOrder)
    : m_takenAt(takenAt), m_liveObjectCount(liveObjectCount), m_processes(std::move(processes)),
      m_windows(std::move(windows)), m_topLevelOrder(std::move(topLevelOrder))
{
    m_byHandle.reserve(m_windows.size());
    for (size_t i = 0; i < m_windows.size(); ++i) m_byHandle.emplace(m_windows[i].handle, i);
    for (size_t i = 0; i < m_processes.size(); ++i) m_byProcess.emplace(m_processes[i].processId, i);
}

const RecordedWindow* ScanRecord::WindowOfHandle(LONG handle) const noexcept
{
    const auto found = m_byHandle.find(handle);
    return found == m_byHandle.end() ? nullptr : &m_windows[found->second];
}

const RecordedWindow* ScanRecord::SameWindow(const RecordedWindow& other) const noexcept
{
    const RecordedWindow* window = WindowOfHandle(other.handle);
    return window != nullptr && IsSameWindow(*window, other) ? window : nullptr;
}

ptrdiff_t ScanRecord::ProcessIndexOf(LONG processId) const noexcept
{
    const auto found = m_byProcess.find(processId);
    return found == m_byProcess.end() ? -1 : static_cast<ptrdiff_t>(found->second);
}
