// Tree reading through the tree view's own messages.
#include "support/TreeReader.h"

#include <commctrl.h>

namespace {
void ReadLevel(HWND tree, HTREEITEM item, const std::wstring& indent, std::vector<std::wstring>& lines)
{
    for (; item != nullptr;
         item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        wchar_t text[1024] = {};
        TVITEMW query = {};
        query.mask = TVIF_TEXT | TVIF_HANDLE;
        query.hItem = item;
        query.pszText = text;
        query.cchTextMax = static_cast<int>(std::size(text));
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
        lines.push_back(indent + text);
        const LPARAM at = reinterpret_cast<LPARAM>(item);
        ReadLevel(tree, reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, at)), indent + L"  ", lines);
    }
}
} // namespace

std::vector<std::wstring> ReadTree(HWND tree)
{
    std::vector<std::wstring> lines;
    ReadLevel(tree, reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)), L"", lines);
    return lines;
}

std::vector<std::wstring> Beneath(const std::vector<std::wstring>& lines, const std::wstring& start)
{
    std::vector<std::wstring> beneath;
    size_t depth = std::wstring::npos;
    for (const std::wstring& line : lines) {
        const size_t indent = line.find_first_not_of(L' ');
        if (depth != std::wstring::npos && indent <= depth) break;
        if (depth != std::wstring::npos) beneath.push_back(line.substr(depth + 2));
        if (depth == std::wstring::npos && line.compare(indent, start.size(), start) == 0) depth = indent;
    }
    return beneath;
}
