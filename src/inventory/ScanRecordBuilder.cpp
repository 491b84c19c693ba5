// The tree appends each node after its parent's last child, so a process's windows in display
// order are its windows in insertion order regrouped under their parents, depth first.
#include "inventory/ScanRecordBuilder.h"

#include "platform/ProcessNames.h"

namespace {
using InternalGetWindowTextFunction = int(WINAPI*)(HWND, LPWSTR, int);

// InternalGetWindowText reads the caption the window keeps without asking it (GetWindowTextW
// sends WM_GETTEXT to a window of this process, and waits on a hung one of another). It is
// user32's own and undocumented for use, so it is looked up; without it the caption is empty.
InternalGetWindowTextFunction CaptionReader() noexcept
{
    static const auto reader = reinterpret_cast<InternalGetWindowTextFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "InternalGetWindowText")));
    return reader;
}

void AppendSubtree(std::vector<RecordedWindow>& pending, const std::vector<std::vector<size_t>>& children,
                   size_t index, unsigned depth, std::vector<RecordedWindow>& out)
{
    out.push_back(std::move(pending[index]));
    out.back().depth = depth;
    for (const size_t child : children[index]) AppendSubtree(pending, children, child, depth + 1, out);
}
} // namespace

void ReadWindowFacts(HWND window, bool parentVisible, RecordedWindow& facts)
{
    // Each read of another process's window is a trip to the window server under Wine, so the
    // style answers what it can: a child window has no owner, and a window is visible when its
    // own style says so and its parent is (IsWindowVisible walks every ancestor again).
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    wchar_t text[1024];
    const int classLength = GetClassNameW(window, text, static_cast<int>(std::size(text)));
    facts.className.assign(text, classLength > 0 ? static_cast<size_t>(classLength) : 0);
    const InternalGetWindowTextFunction reader = CaptionReader();
    const int captionLength = reader != nullptr ? reader(window, text, static_cast<int>(std::size(text))) : 0;
    facts.caption.assign(text, captionLength > 0 ? static_cast<size_t>(captionLength) : 0);
    facts.owner = (style & WS_CHILD) ? 0 : static_cast<LONG>(reinterpret_cast<INT_PTR>(GetWindow(window, GW_OWNER)));
    DWORD processId = 0;
    facts.threadId = GetWindowThreadProcessId(window, &processId);
    facts.processId = static_cast<LONG>(processId);
    facts.visible = parentVisible && (style & WS_VISIBLE) != 0;
    if (!GetWindowRect(window, &facts.rect)) facts.rect = RECT{};
}

ScanRecordBuilder::ScanRecordBuilder() : m_unicodeNames(ReadUnicodeExeNames()) {}

void ScanRecordBuilder::AddProcess(LONG processId, const std::wstring& exeName, const std::wstring& text)
{
    RecordedProcess process;
    process.processId = processId;
    const auto unicode = m_unicodeNames.find(static_cast<DWORD>(processId));
    process.exeName = unicode != m_unicodeNames.end() ? unicode->second : exeName;
    process.path = ReadProcessImagePath(static_cast<DWORD>(processId));
    process.text = text;
    m_processes.push_back(std::move(process));
    m_pending.emplace_back();
}

void ScanRecordBuilder::AddWindow(LONG handle, LONG parent, const std::wstring& text)
{
    if (m_pending.empty()) return;
    Pending& pending = m_pending.back();
    RecordedWindow window;
    window.handle = handle;
    window.parent = parent;
    window.text = text;
    const auto parentIndex = pending.indexOf.find(parent);
    const bool parentVisible = parentIndex == pending.indexOf.end() || pending.windows[parentIndex->second].visible;
    ReadWindowFacts(reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)), parentVisible, window);
    // The tree put it under this process whatever the platform says now.
    window.processId = m_processes.back().processId;
    pending.indexOf.emplace(handle, pending.windows.size());
    pending.windows.push_back(std::move(window));
}

std::shared_ptr<const ScanRecord> ScanRecordBuilder::Finish(FILETIME takenAt, LONG liveObjectCount)
{
    std::vector<RecordedWindow> windows;
    for (size_t p = 0; p < m_processes.size(); ++p) {
        std::vector<RecordedWindow>& pending = m_pending[p].windows;
        const std::unordered_map<LONG, size_t>& indexOf = m_pending[p].indexOf;
        std::vector<std::vector<size_t>> children(pending.size());
        std::vector<size_t> tops;
        for (size_t i = 0; i < pending.size(); ++i) {
            const auto parent = indexOf.find(pending[i].parent);
            if (pending[i].parent == 0 || parent == indexOf.end()) tops.push_back(i);
            else children[parent->second].push_back(i);
        }
        m_processes[p].firstWindow = windows.size();
        for (const size_t top : tops) AppendSubtree(pending, children, top, 0, windows);
        m_processes[p].endWindow = windows.size();
    }
    return std::make_shared<const ScanRecord>(takenAt, liveObjectCount, std::move(m_processes), std::move(windows));
}
