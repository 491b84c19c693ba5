#include "controls/CheckListControl.h"

#include "platform/RuntimeError.h"

#include <commctrl.h>

namespace {
HWND CreateList(HWND parent, UINT id, const RECT& bounds)
{
    const INITCOMMONCONTROLSEX classes = {sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    return CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL |
                               LVS_SHOWSELALWAYS,
                           bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}
} // namespace

CheckListControl::CheckListControl(HWND parent, UINT id, const RECT& bounds) : m_window(CreateList(parent, id, bounds))
{
    if (!m_window) RaiseLastError();
    const DWORD extended = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
    SendMessageW(hWnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    SendMessageW(hWnd(), WM_SETFONT, SendMessageW(parent, WM_GETFONT, 0, 0), FALSE);
    RECT client = {};
    GetClientRect(hWnd(), &client);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = client.right - GetSystemMetrics(SM_CXVSCROLL);
    if (SendMessageW(hWnd(), LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column)) < 0) RaiseLastError();
}

void CheckListControl::Add(const std::wstring& text, bool checked)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = Count();
    item.pszText = const_cast<wchar_t*>(text.c_str());
    const auto index = static_cast<int>(SendMessageW(hWnd(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) RaiseLastError();
    SetChecked(index, checked);
}

int CheckListControl::Count() const
{
    return static_cast<int>(SendMessageW(hWnd(), LVM_GETITEMCOUNT, 0, 0));
}

bool CheckListControl::Checked(int index) const
{
    const auto state = static_cast<UINT>(SendMessageW(hWnd(), LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;
}

void CheckListControl::SetChecked(int index, bool checked)
{
    LVITEMW item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(hWnd(), LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
}
