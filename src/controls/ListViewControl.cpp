#include "controls/ListViewControl.h"

#include "controls/Twips.h"
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
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
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

int ListViewControl::ColumnWidth(int column) const
{
    return static_cast<int>(SendMessageW(hWnd(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

int ListViewControl::ColumnRoom(int dpi) const
{
    RECT client = {};
    GetClientRect(hWnd(), &client);
    if ((GetWindowLongW(hWnd(), GWL_STYLE) & WS_VSCROLL) != 0) return client.right;
    // The system reports the bar's width at the display's DPI.
    return client.right - MulDiv(GetSystemMetrics(SM_CXVSCROLL), dpi, WindowDpi(nullptr));
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
    const std::vector<size_t> selected = SelectedRows();
    const std::optional<size_t> focused = FocusedRow();
    SetState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (const size_t row : selected) {
        if (row >= count) SetState(static_cast<int>(row - count), LVIS_SELECTED, LVIS_SELECTED);
    }
    if (focused && *focused >= count) SetState(static_cast<int>(*focused - count), LVIS_FOCUSED, LVIS_FOCUSED);
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

void ListViewControl::SetState(int row, UINT state, UINT mask)
{
    LVITEMW item = {};
    item.state = state;
    item.stateMask = mask;
    SendMessageW(hWnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void ListViewControl::Select(size_t row)
{
    SetState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    SetState(static_cast<int>(row), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(hWnd(), LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(row));
    ScrollTo(row);
}

void ListViewControl::SelectAll()
{
    SetState(-1, LVIS_SELECTED, LVIS_SELECTED);
}

std::vector<size_t> ListViewControl::SelectedRows() const
{
    std::vector<size_t> rows;
    for (LRESULT row = -1; (row = SendMessageW(hWnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED)) >= 0;) {
        rows.push_back(static_cast<size_t>(row));
    }
    return rows;
}

std::optional<size_t> ListViewControl::FocusedRow() const
{
    const LRESULT row = SendMessageW(hWnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED);
    return row >= 0 ? std::optional<size_t>(static_cast<size_t>(row)) : std::nullopt;
}

std::optional<size_t> ListViewControl::RowAt(POINT screen) const
{
    LVHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(hWnd(), &hit.pt);
    const auto row = static_cast<int>(SendMessageW(hWnd(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return row >= 0 ? std::optional<size_t>(static_cast<size_t>(row)) : std::nullopt;
}

LRESULT ListViewControl::OnCustomDraw(NMLVCUSTOMDRAW& draw) noexcept
{
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT || (draw.nmcd.uItemState & CDIS_SELECTED) == 0) return CDRF_DODEFAULT;
    // Drawn as a row of these colours, not as a selection, which the control draws by the focus.
    draw.nmcd.uItemState &= ~CDIS_SELECTED;
    draw.clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    draw.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
    return CDRF_NEWFONT;
}
