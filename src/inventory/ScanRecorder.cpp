// The outline mirrors the fill: a window's node goes in when its parent's node is there and its
// own key is not, so each window lands once, under the object that reported its first copy; the
// tree appends a node after its parent's last child, so the display order is each process's
// top-level nodes with everything beneath them, children in the order they went in.
#include "inventory/ScanRecorder.h"

#include "inventory/NodeText.h"
#include "platform/AnsiText.h"
#include "platform/ProcessNames.h"
#include "platform/RuntimeError.h"
#include "platform/UniqueHandles.h"
#include "window_model/ScreenWindowInfo.h"

#include <oleauto.h>

#include <algorithm>
#include <optional>
#include <unordered_map>

namespace {
constexpr size_t kNone = SIZE_MAX;

// A window's node as the fill inserts it: its handle and the node it goes under (kNone: its
// process's), and its children in the order they went in.
struct Placed {
    LONG handle;
    size_t parent;
    size_t firstChild = kNone;
    size_t lastChild = kNone;
    size_t nextSibling = kNone;
};

// The window objects of one scan walked as the fill walks them, every copy of every window.
class OutlineWalk {
public:
    explicit OutlineWalk(size_t objects)
    {
        m_shown.reserve(objects);
        m_placed.reserve(objects);
    }

    // `parent`: the node of the window whose object reported this one (kNone: none is in the
    // tree, so neither is this copy); ignored for a top-level window.
    void Visit(IScreenWindowInfo* window, bool top, size_t parent, std::vector<size_t>& tops)
    {
        if (window == nullptr) return;
        LONG handle = 0;
        if (FAILED(window->get_hWnd(&handle))) return;
        size_t node = kNone;
        if (top || parent != kNone) {
            const auto [shown, added] = m_shown.try_emplace(handle, m_placed.size());
            if (added) Place(handle, top ? kNone : parent, tops);
            node = shown->second;
        } else if (const auto shown = m_shown.find(handle); shown != m_shown.end()) {
            node = shown->second;
        }
        VARIANT_BOOL hasChildren = VARIANT_FALSE;
        LONG last = -1;
        if (FAILED(window->get_HasChildWindow(&hasChildren)) || !hasChildren ||
            FAILED(window->get_GetChildCount(&last))) {
            return;
        }
        for (LONG k = 0; k <= last; ++k) {
            ComPtr<IScreenWindowInfo> child;
            if (SUCCEEDED(window->get_GetChildObject(k, child.put()))) Visit(child.get(), false, node, tops);
        }
    }

    const std::vector<Placed>& Nodes() const noexcept { return m_placed; }

private:
    void Place(LONG handle, size_t parent, std::vector<size_t>& tops)
    {
        const size_t node = m_placed.size();
        m_placed.push_back(Placed{handle, parent});
        if (parent == kNone) {
            tops.push_back(node);
            return;
        }
        Placed& under = m_placed[parent];
        if (under.firstChild == kNone) {
            under.firstChild = node;
        } else {
            m_placed[under.lastChild].nextSibling = node;
        }
        under.lastChild = node;
    }

    std::unordered_map<LONG, size_t> m_shown; // the tree's keys: across processes, each handle once
    std::vector<Placed> m_placed;
};

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

HWND WindowOf(LONG handle)
{
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(handle));
}

LONG HandleOf(HWND window)
{
    return static_cast<LONG>(reinterpret_cast<INT_PTR>(window));
}

// This program's executable and its console front end beside it (the .com of the same name).
bool IsThisProgram(const std::wstring& path)
{
    static const std::wstring exe = [] {
        std::wstring own(32768, L'\0');
        own.resize(GetModuleFileNameW(nullptr, &own[0], static_cast<DWORD>(own.size())));
        return own;
    }();
    const size_t dot = exe.find_last_of(L'.');
    const auto same = [&](const std::wstring& a, const std::wstring& b) {
        return !a.empty() && CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
    };
    return same(path, exe) || (dot != std::wstring::npos && same(path, exe.substr(0, dot) + L".com"));
}
} // namespace

ScanRecorder::ScanRecorder(const std::vector<ProcessRecord>& processes, const std::vector<HWND>& topWindowOrder)
{
    GetSystemTimeAsFileTime(&m_takenAt);
    m_liveObjectCount = WindowObjectCount;
    TakeOutline(processes, topWindowOrder);
}

ScanRecorder::~ScanRecorder()
{
    if (!m_reader.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_resume.notify_all();
    m_reader.join();
}

void ScanRecorder::TakeOutline(const std::vector<ProcessRecord>& processes, const std::vector<HWND>& topWindowOrder)
{
    OutlineWalk walk(static_cast<size_t>(std::max<LONG>(WindowObjectCount, 0)));
    std::vector<std::vector<size_t>> tops(processes.size());
    for (size_t p = 0; p < processes.size(); ++p) {
        if (!processes[p].Windows) continue;
        for (const ComPtr<IScreenWindowInfo>& window : *processes[p].Windows) walk.Visit(window.get(), true, kNone, tops[p]);
    }
    // Each process's windows depth first from its top-level ones: the tree's display order.
    const std::vector<Placed>& nodes = walk.Nodes();
    m_windows.reserve(nodes.size());
    std::unordered_map<LONG, size_t> topIndex;
    std::vector<std::pair<size_t, unsigned>> pending; // node, depth
    for (size_t p = 0; p < processes.size(); ++p) {
        const ProcessRecord& process = processes[p];
        RecordedProcess recorded;
        recorded.processId = process.ProcessId;
        recorded.exeName = process.ExeName;
        recorded.text = ProcessNodeText(process.ExeName, process.ProcessId);
        recorded.firstWindow = m_windows.size();
        for (auto top = tops[p].rbegin(); top != tops[p].rend(); ++top) pending.emplace_back(*top, 0);
        while (!pending.empty()) {
            const auto [index, depth] = pending.back();
            pending.pop_back();
            const Placed& node = nodes[index];
            RecordedWindow window;
            window.handle = node.handle;
            window.parent = node.parent == kNone ? 0 : nodes[node.parent].handle;
            window.processId = process.ProcessId; // the tree shows it under this process
            window.depth = depth;
            if (node.parent == kNone) topIndex.emplace(node.handle, m_windows.size());
            m_windows.push_back(std::move(window));
            const size_t first = pending.size();
            for (size_t child = node.firstChild; child != kNone; child = nodes[child].nextSibling) {
                pending.emplace_back(child, depth + 1);
            }
            std::reverse(pending.begin() + static_cast<ptrdiff_t>(first), pending.end());
        }
        recorded.endWindow = m_windows.size();
        m_processes.push_back(std::move(recorded));
    }
    for (const HWND top : topWindowOrder) {
        const auto found = topIndex.find(HandleOf(top));
        if (found != topIndex.end()) m_topLevelOrder.push_back(found->second);
    }
}

void ScanRecorder::ReadOnThread(HWND notify, UINT message)
{
    m_notify = notify;
    m_message = message;
    m_reader = std::thread([this] { ReadAll(true); });
}

ScanRecorder::Hold::Hold(ScanRecorder& recorder) : m_recorder(recorder)
{
    const std::lock_guard<std::mutex> lock(m_recorder.m_mutex);
    ++m_recorder.m_holds;
}

ScanRecorder::Hold::~Hold()
{
    {
        const std::lock_guard<std::mutex> lock(m_recorder.m_mutex);
        --m_recorder.m_holds;
    }
    m_recorder.m_resume.notify_all();
}

bool ScanRecorder::MayGoOn()
{
    if (m_holds.load() == 0) return !m_stop.load();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_resume.wait(lock, [&] { return m_holds.load() == 0 || m_stop.load(); });
    return !m_stop.load();
}

void ScanRecorder::ReadAll(bool onThread) noexcept
{
    m_failure = ExceptionBarrier([&] {
        if (!ReadProcesses(onThread)) return;
        m_visibleAtDepth.clear();
        for (size_t i = 0; i < m_windows.size(); ++i) {
            if (onThread && !MayGoOn()) return;
            ReadWindow(i);
        }
    });
    if (onThread && m_stop.load()) return;
    m_whole = true;
    if (m_notify != nullptr) PostMessageW(m_notify, m_message, 0, 0);
}

bool ScanRecorder::ReadProcesses(bool onThread)
{
    if (onThread && !MayGoOn()) return false;
    const std::unordered_map<DWORD, std::wstring> unicodeNames = ReadUnicodeExeNames();
    for (RecordedProcess& process : m_processes) {
        if (onThread && !MayGoOn()) return false;
        const DWORD id = static_cast<DWORD>(process.processId);
        // The ANSI name of the outline stays where the wide walk no longer has the process.
        const auto unicode = unicodeNames.find(id);
        if (unicode != unicodeNames.end()) process.exeName = unicode->second;
        process.path = ReadProcessImagePath(id);
        process.self = id == GetCurrentProcessId() || IsThisProgram(process.path);
    }
    return true;
}

void ScanRecorder::ReadWindow(size_t index)
{
    // Each read of another process's window is a trip to the window server under Wine, so the
    // style answers what it can: a child window has no owner, and a window is visible when its
    // own style says so and its parent is (IsWindowVisible walks every ancestor again).
    RecordedWindow& facts = m_windows[index];
    const HWND window = WindowOf(facts.handle);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    wchar_t text[1024];
    // A class's name is the same for every window of it: asked once per class, by its atom, the
    // name costs a window one trip instead of two.
    const ATOM atom = static_cast<ATOM>(GetClassLongW(window, GCW_ATOM));
    auto known = m_classNames.find(atom);
    if (atom == 0 || known == m_classNames.end()) {
        const int length = GetClassNameW(window, text, static_cast<int>(std::size(text)));
        std::wstring name(text, length > 0 ? static_cast<size_t>(length) : 0);
        // As the window object's GetClassNameA renders it into its 255 bytes.
        std::wstring shown = AnsiRendering(name, 255);
        known = m_classNames.insert_or_assign(atom, std::make_pair(std::move(name), std::move(shown))).first;
    }
    facts.className = known->second.first;
    const InternalGetWindowTextFunction reader = CaptionReader();
    const int captionLength = reader != nullptr ? reader(window, text, static_cast<int>(std::size(text))) : 0;
    facts.caption.assign(text, captionLength > 0 ? static_cast<size_t>(captionLength) : 0);
    facts.owner = (style & WS_CHILD) ? 0 : HandleOf(GetWindow(window, GW_OWNER));
    facts.threadId = GetWindowThreadProcessId(window, nullptr);
    // In display order every ancestor came before.
    m_visibleAtDepth.resize(facts.depth + 1);
    facts.visible = (facts.depth == 0 || m_visibleAtDepth[facts.depth - 1]) && (style & WS_VISIBLE) != 0;
    m_visibleAtDepth[facts.depth] = facts.visible;
    if (!GetWindowRect(window, &facts.rect)) facts.rect = RECT{};
    // As the window object's GetWindowTextA renders it into its 255 bytes.
    facts.text = WindowNodeText(facts.handle, AnsiRendering(facts.caption, 255), known->second.second);
}

std::shared_ptr<const ScanRecord> ScanRecorder::Record()
{
    if (m_record) return m_record;
    if (m_reader.joinable()) {
        m_reader.join();
    } else if (!m_whole) {
        ReadAll(false);
    }
    RaiseIfFailed(m_failure);
    m_record = std::make_shared<const ScanRecord>(m_takenAt, m_liveObjectCount, std::move(m_processes),
                                                  std::move(m_windows), std::move(m_topLevelOrder));
    return m_record;
}

void FillWindowTreeReading(ScanRecorder& recorder, TreeViewControl& tree, ProgressBarControl& progress, HWND notify,
                           UINT message)
{
    // The reader starts as the box shows, the tree cleared: its thread starts up in the user's time too.
    std::optional<ScanRecorder::Hold> hold;
    FillWindowTree(tree, progress, [&](bool boxShown) {
        if (boxShown) recorder.ReadOnThread(notify, message);
        else hold.emplace(recorder);
    });
}

std::shared_ptr<const ScanRecord> ScanIntoRecord()
{
    BuildProcessList();
    EnumWindows(EnumTopWindowProc, 0);
    RaiseIfFailed(TakeTopWindowFailure());
    ScanRecorder recorder(ProcessList, TopWindowOrder);
    // As the fill releases them: no object outlives the scan.
    for (ProcessRecord& process : ProcessList) {
        if (!process.Windows) continue;
        for (ComPtr<IScreenWindowInfo>& window : *process.Windows) {
            if (window) RaiseIfFailed(window->FreeMe());
            window.reset();
        }
    }
    return recorder.Record();
}
