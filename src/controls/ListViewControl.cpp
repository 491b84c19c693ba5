#include "controls/ListViewControl.h"

#include "platform/RuntimeError.h"

#include <commctrl.h>

#include <algorithm>

namespace {
// The list's window class must be registered before the first one is made.
HWND CreateList(HWND parent, UINT id)
{
    const INITCOMMONCONTROLSEX classes = {sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    return CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS |
                                   LVS_SINGLESEL,
                               0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
}
} // namespace

ListViewControl::ListViewControl(HWND parent, UINT id) : m_window(CreateList(parent, id))
{
    if (!m_window) RaiseLastError();
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_GRIDLINES;
    SendMessageW(hWnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
}

void ListViewControl::AddColumn(const wchar_t* title, int width, bool rightAligned)
{
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(title);
    if (SendMessageW(hWnd(), LVM_INSERTCOLUMNW, m_columns, reinterpret_cast<LPARAM>(&column)) < 0) RaiseLastError();
    ++m_columns;
}

void ListViewControl::SetColumnWidth(int column, int width)
{
    SendMessageW(hWnd(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
}

void ListViewControl::SetRowCount(size_t rows, bool repaint)
{
    SendMessageW(hWnd(), LVM_SETITEMCOUNT, static_cast<WPARAM>(rows),
                 repaint ? 0 : LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void ListViewControl::ScrollTo(size_t row)
{
    SendMessageW(hWnd(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void ListViewControl::DropFirstRows(size_t count)
{
    const LRESULT selected = SendMessageW(hWnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(hWnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    if (selected >= 0 && static_cast<size_t>(selected) >= count) {
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(hWnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(selected) - count, reinterpret_cast<LPARAM>(&state));
    }
    RECT row = {};
    row.left = LVIR_BOUNDS;
    if (!SendMessageW(hWnd(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row))) return;
    const auto pixels = static_cast<long long>(count) * (row.bottom - row.top);
    SendMessageW(hWnd(), LVM_SCROLL, 0, static_cast<LPARAM>(-(std::min)(pixels, 0x7FFFFFFFLL)));
}

bool ListViewControl::ShowsLastRow() const
{
    const auto rows = static_cast<LRESULT>(SendMessageW(hWnd(), LVM_GETITEMCOUNT, 0, 0));
    const LRESULT top = SendMessageW(hWnd(), LVM_GETTOPINDEX, 0, 0);
    const LRESULT page = SendMessageW(hWnd(), LVM_GETCOUNTPERPAGE, 0, 0);
    return top + page >= rows;
}

void ListViewControl::Move(const RECT& bounds)
{
    MoveWindow(hWnd(), bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, TRUE);
}
