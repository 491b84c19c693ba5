// Clipboard text is CF_UNICODETEXT in movable global memory, which the clipboard then owns.
#include "inspect/TreeCopy.h"

#include "platform/LineText.h"
#include "platform/RuntimeError.h"

#include <cstring>

namespace {
void AppendSubtree(const TreeViewControl& tree, HTREEITEM item, size_t depth, std::wstring& text)
{
    if (!text.empty()) text += L"\r\n";
    text.append(2 * depth, L' ');
    text += tree.Text(item);
    for (HTREEITEM child = tree.FirstChild(item); child != nullptr; child = tree.NextSibling(child)) {
        AppendSubtree(tree, child, depth + 1, text);
    }
}

class ClipboardSession {
public:
    explicit ClipboardSession(HWND owner) noexcept
    {
        // Another program may hold it for a moment.
        for (int attempt = 0; attempt < 10 && !m_open; ++attempt) {
            m_open = OpenClipboard(owner) != FALSE;
            if (!m_open) Sleep(20);
        }
    }
    ~ClipboardSession()
    {
        if (m_open) CloseClipboard();
    }
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    bool IsOpen() const noexcept { return m_open; }

private:
    bool m_open = false;
};
} // namespace

std::wstring SubtreeText(const TreeViewControl& tree, HTREEITEM item)
{
    std::wstring text;
    AppendSubtree(tree, item, 0, text);
    return text;
}

std::wstring SubtreeText(const TreeArrangement& arrangement, const NodeSubject& subject)
{
    const std::vector<ArrangedNode>& nodes = arrangement.Nodes();
    const size_t at = arrangement.Find(subject);
    if (at == TreeArrangement::kNoIndex) return {};
    // The node's own line, then the run of nodes deeper than it.
    const unsigned base = nodes[at].depth;
    std::wstring text = OneLine(arrangement.Text(nodes[at]));
    for (size_t next = at + 1; next < nodes.size() && nodes[next].depth > base; ++next) {
        text.append(L"\r\n").append(2 * (nodes[next].depth - base), L' ').append(OneLine(arrangement.Text(nodes[next])));
    }
    return text;
}

bool CopyTextToClipboard(HWND owner, const std::wstring& text)
{
    const ClipboardSession clipboard(owner);
    if (!clipboard.IsOpen()) return false;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) RaiseError(kErrorOutOfMemory);
    void* locked = GlobalLock(memory);
    if (locked == nullptr) {
        GlobalFree(memory);
        RaiseLastError();
    }
    std::memcpy(locked, text.c_str(), bytes);
    GlobalUnlock(memory);
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
        GlobalFree(memory);
        RaiseLastError();
    }
    return true;
}
