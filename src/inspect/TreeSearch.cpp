// The search walks node by node in display order, so that "down" means what the user sees.
#include "inspect/TreeSearch.h"

#include "inventory/NodeText.h"

#include <vector>

namespace {
std::wstring Folded(std::wstring text)
{
    if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}
} // namespace

namespace {
// One node of the record in display order: a process (its index) or a window (its index).
struct NodeRef {
    bool process;
    size_t index;
};

std::wstring KeyOf(const ScanRecord& record, const NodeRef& node)
{
    return node.process ? ProcessNodeKey(record.Processes()[node.index].processId)
                        : WindowNodeKey(record.Windows()[node.index].handle);
}

class TextMatcher {
public:
    explicit TextMatcher(const FindQuery& query) : m_matchCase(query.matchCase), m_text(Fold(query.text)) {}
    bool operator()(const std::wstring& text)
    {
        if (m_matchCase) return text.find(m_text) != std::wstring::npos;
        m_buffer.assign(text);
        return Fold(m_buffer).find(m_text) != std::wstring::npos;
    }

private:
    std::wstring& Fold(std::wstring& text) const
    {
        if (!m_matchCase && !text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
        return text;
    }
    std::wstring Fold(const std::wstring& text) const
    {
        std::wstring copy = text;
        return Fold(copy);
    }
    bool m_matchCase;
    std::wstring m_text;
    std::wstring m_buffer;
};
} // namespace

bool NodeTextMatches(const std::wstring& nodeText, const FindQuery& query)
{
    if (query.matchCase) return nodeText.find(query.text) != std::wstring::npos;
    return Folded(nodeText).find(Folded(query.text)) != std::wstring::npos;
}

HTREEITEM FindNode(const TreeViewControl& tree, const FindQuery& query)
{
    const auto step = [&](HTREEITEM item) { return query.down ? tree.NextInOrder(item) : tree.PreviousInOrder(item); };
    const auto end = [&] { return query.down ? tree.FirstInOrder() : tree.LastInOrder(); };
    const HTREEITEM from = tree.Selection();
    HTREEITEM item = from != nullptr ? step(from) : end();
    bool wrapped = from == nullptr;
    for (;;) {
        if (item == nullptr) {
            if (wrapped) return nullptr;
            wrapped = true;
            item = end();
            continue;
        }
        if (NodeTextMatches(tree.Text(item), query)) return item;
        if (item == from) return nullptr;
        item = step(item);
    }
}

std::wstring FindNodeKey(const ScanRecord& record, const FindQuery& query, const NodeSubject& from)
{
    std::vector<NodeRef> order;
    order.reserve(record.Processes().size() + record.Windows().size());
    for (size_t p = 0; p < record.Processes().size(); ++p) {
        const RecordedProcess& process = record.Processes()[p];
        order.push_back({true, p});
        for (size_t w = process.firstWindow; w < process.endWindow; ++w) order.push_back({false, w});
    }
    if (order.empty()) return {};
    // A process's node comes after every earlier process and its windows; a window's after its
    // own process too.
    size_t start = SIZE_MAX;
    if (from.kind == NodeSubject::Kind::Process) {
        const ptrdiff_t p = record.ProcessIndexOf(from.id);
        if (p >= 0) start = static_cast<size_t>(p) + record.Processes()[static_cast<size_t>(p)].firstWindow;
    } else if (const RecordedWindow* window = record.WindowOfHandle(from.id)) {
        const ptrdiff_t p = from.kind == NodeSubject::Kind::Window ? record.ProcessIndexOf(window->processId) : -1;
        if (p >= 0) start = static_cast<size_t>(p) + 1 + static_cast<size_t>(window - record.Windows().data());
    }
    TextMatcher matches(query);
    const size_t count = order.size();
    // From the node after the selection round to the selection itself; from the end when none.
    if (start == SIZE_MAX) start = query.down ? count - 1 : 0;
    for (size_t step = 1; step <= count; ++step) {
        const size_t i = query.down ? (start + step) % count : (start + count - step) % count;
        const NodeRef& node = order[i];
        const bool found =
            node.process ? matches(record.Processes()[node.index].text) ||
                               matches(record.Processes()[node.index].exeName)
                         : matches(record.Windows()[node.index].text) || matches(record.Windows()[node.index].caption) ||
                               matches(record.Windows()[node.index].className);
        if (found) return KeyOf(record, node);
    }
    return {};
}
