// The search walks node by node in display order, so that "down" means what the user sees.
#include "inspect/TreeSearch.h"

#include <vector>

namespace {
std::wstring Folded(std::wstring text)
{
    if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
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

std::wstring FindNodeKey(const TreeArrangement& arrangement, const FindQuery& query, const NodeSubject& from)
{
    const std::vector<ArrangedNode>& nodes = arrangement.Nodes();
    const ScanRecord& record = arrangement.Record();
    if (nodes.empty()) return {};
    TextMatcher matches(query);
    const size_t count = nodes.size();
    // From the node after the selection round to the selection itself; from the end when none.
    size_t start = arrangement.Find(from);
    if (start == TreeArrangement::kNoIndex) start = query.down ? count - 1 : 0;
    for (size_t step = 1; step <= count; ++step) {
        const ArrangedNode& node = nodes[query.down ? (start + step) % count : (start + count - step) % count];
        bool found = false;
        if (node.index == TreeArrangement::kNoIndex) {
            found = matches(arrangement.Text(node));
        } else if (node.subject.kind == NodeSubject::Kind::Process) {
            const RecordedProcess& process = record.Processes()[node.index];
            found = matches(process.text) || matches(process.exeName);
        } else {
            const RecordedWindow& window = record.Windows()[node.index];
            found = matches(window.text) || matches(window.caption) || matches(window.className);
        }
        if (found) return arrangement.Key(node);
    }
    return {};
}
