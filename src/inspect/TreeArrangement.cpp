// The record lists each window after its parent, with everything beneath it in one run: the
// arrangements by process and in z-order are runs of it. By thread, a window's parent may be of
// another thread, so that arrangement is built as a tree first and then walked.
#include "inspect/TreeArrangement.h"

#include "inventory/NodeText.h"

#include <algorithm>
#include <unordered_map>

namespace {
constexpr size_t kNone = SIZE_MAX;

// Nodes, each added under one added before it, walked depth first with siblings in the order added.
class OutlineBuilder {
public:
    static constexpr size_t kRoot = 0; // the parent of the roots, itself no node

    explicit OutlineBuilder(size_t nodes)
    {
        m_items.reserve(nodes + 1);
        m_items.emplace_back();
    }
    size_t Add(const NodeSubject& subject, size_t index, size_t parent)
    {
        const size_t node = m_items.size();
        m_items.push_back(Item{{subject, index, 0}});
        Item& under = m_items[parent];
        (under.firstChild == kNone ? under.firstChild : m_items[under.lastChild].next) = node;
        under.lastChild = node;
        return node;
    }
    std::vector<ArrangedNode> InDisplayOrder() const
    {
        std::vector<ArrangedNode> nodes;
        nodes.reserve(m_items.size() - 1);
        std::vector<std::pair<size_t, unsigned>> pending; // node, depth
        if (m_items[kRoot].firstChild != kNone) pending.emplace_back(m_items[kRoot].firstChild, 0);
        while (!pending.empty()) {
            const auto [at, depth] = pending.back();
            pending.pop_back();
            const Item& item = m_items[at];
            nodes.push_back(ArrangedNode{item.node.subject, item.node.index, depth});
            if (item.next != kNone) pending.emplace_back(item.next, depth);
            if (item.firstChild != kNone) pending.emplace_back(item.firstChild, depth + 1);
        }
        return nodes;
    }

private:
    struct Item {
        ArrangedNode node = {};
        size_t firstChild = kNone;
        size_t lastChild = kNone;
        size_t next = kNone;
    };
    std::vector<Item> m_items;
};

NodeSubject WindowSubject(LONG handle)
{
    return {NodeSubject::Kind::Window, handle};
}
} // namespace

TreeArrangement::TreeArrangement(std::shared_ptr<const ScanRecord> record, Arrangement arrangement, HWND desktop)
    : m_record(std::move(record)), m_kind(arrangement)
{
    switch (arrangement) {
    case Arrangement::ByProcess: ArrangeByProcess(); break;
    case Arrangement::ZOrder: ArrangeInZOrder(desktop); break;
    case Arrangement::ByThread: ArrangeByThread(); break;
    }
}

void TreeArrangement::ArrangeByProcess()
{
    const std::vector<RecordedProcess>& processes = m_record->Processes();
    const std::vector<RecordedWindow>& windows = m_record->Windows();
    m_nodes.reserve(processes.size() + windows.size());
    for (size_t p = 0; p < processes.size(); ++p) {
        m_nodes.push_back(ArrangedNode{{NodeSubject::Kind::Process, processes[p].processId}, p, 0});
        for (size_t w = processes[p].firstWindow; w < processes[p].endWindow; ++w) {
            m_nodes.push_back(ArrangedNode{WindowSubject(windows[w].handle), w, windows[w].depth + 1});
        }
    }
}

void TreeArrangement::ArrangeInZOrder(HWND desktop)
{
    const std::vector<RecordedWindow>& windows = m_record->Windows();
    m_nodes.reserve(1 + windows.size());
    m_nodes.push_back(ArrangedNode{WindowSubject(static_cast<LONG>(reinterpret_cast<INT_PTR>(desktop))), kNoIndex, 0});
    for (const size_t top : m_record->TopLevelOrder()) {
        for (size_t w = top; w == top || (w < windows.size() && windows[w].depth > 0); ++w) {
            m_nodes.push_back(ArrangedNode{WindowSubject(windows[w].handle), w, windows[w].depth + 1});
        }
    }
}

void TreeArrangement::ArrangeByThread()
{
    const std::vector<RecordedProcess>& processes = m_record->Processes();
    const std::vector<RecordedWindow>& windows = m_record->Windows();
    // Each thread once, in identifier order, under the process the tree shows its first window
    // under (a child window of another process's thread is shown under its top-level window's).
    std::unordered_map<DWORD, size_t> threadNode;
    std::vector<std::vector<DWORD>> threadsOf(processes.size());
    for (size_t p = 0; p < processes.size(); ++p) {
        for (size_t w = processes[p].firstWindow; w < processes[p].endWindow; ++w) {
            const DWORD thread = windows[w].threadId;
            if (thread != 0 && threadNode.emplace(thread, kNone).second) threadsOf[p].push_back(thread);
        }
        std::sort(threadsOf[p].begin(), threadsOf[p].end());
    }
    OutlineBuilder outline(processes.size() + threadNode.size() + windows.size());
    std::vector<size_t> windowNode(windows.size(), kNone);
    for (size_t p = 0; p < processes.size(); ++p) {
        const size_t process =
            outline.Add({NodeSubject::Kind::Process, processes[p].processId}, p, OutlineBuilder::kRoot);
        for (const DWORD thread : threadsOf[p]) {
            threadNode[thread] = outline.Add({NodeSubject::Kind::Thread, static_cast<LONG>(thread)}, kNoIndex, process);
        }
        for (size_t w = processes[p].firstWindow; w < processes[p].endWindow; ++w) {
            // Under its parent where the parent is of the same thread, else right under its thread
            // (a window whose thread could not be read, gone meanwhile, right under the process).
            const RecordedWindow& window = windows[w];
            const RecordedWindow* parent = window.parent != 0 ? m_record->WindowOfHandle(window.parent) : nullptr;
            const size_t under = parent != nullptr && parent->threadId == window.threadId
                                     ? windowNode[static_cast<size_t>(parent - windows.data())]
                                     : window.threadId != 0 ? threadNode[window.threadId] : process;
            windowNode[w] = outline.Add(WindowSubject(window.handle), w, under);
        }
    }
    m_nodes = outline.InDisplayOrder();
}

std::wstring TreeArrangement::Key(const ArrangedNode& node) const
{
    switch (node.subject.kind) {
    case NodeSubject::Kind::Process: return ProcessNodeKey(node.subject.id);
    case NodeSubject::Kind::Thread: return ThreadNodeKey(static_cast<DWORD>(node.subject.id));
    default: return WindowNodeKey(node.subject.id);
    }
}

std::wstring TreeArrangement::Text(const ArrangedNode& node) const
{
    switch (node.subject.kind) {
    case NodeSubject::Kind::Process: return m_record->Processes()[node.index].text;
    case NodeSubject::Kind::Thread: return ThreadNodeText(static_cast<DWORD>(node.subject.id));
    default:
        return node.index == kNoIndex ? DesktopNodeText(node.subject.id) : m_record->Windows()[node.index].text;
    }
}

size_t TreeArrangement::Find(const NodeSubject& subject) const noexcept
{
    const auto found = std::find_if(m_nodes.begin(), m_nodes.end(), [&](const ArrangedNode& node) {
        return node.subject.kind == subject.kind && node.subject.id == subject.id;
    });
    return found == m_nodes.end() ? kNoIndex : static_cast<size_t>(found - m_nodes.begin());
}

void TreeArrangement::Fill(TreeViewControl& tree) const
{
    const TreeViewControl::RedrawSuspension quiet = tree.SuspendRedraw();
    tree.Clear();
    std::vector<std::wstring> keys; // the last node's key at each depth
    for (const ArrangedNode& node : m_nodes) {
        keys.resize(node.depth + 1);
        keys[node.depth] = Key(node);
        if (node.depth == 0) {
            tree.AddRoot(keys[0], Text(node));
        } else {
            tree.AddChild(keys[node.depth - 1], keys[node.depth], Text(node));
        }
    }
    // The desktop is the one root: open, the top-level windows show at once.
    if (m_kind == Arrangement::ZOrder && !m_nodes.empty()) tree.Expand(tree.FirstInOrder());
}
