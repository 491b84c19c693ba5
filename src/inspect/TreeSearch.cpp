// The search walks node by node in display order, so that "down" means what the user sees.
#include "inspect/TreeSearch.h"

namespace {
std::wstring Folded(std::wstring text)
{
    if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}
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
