#include "controls/LinkControl.h"

#include "platform/RuntimeError.h"

#include <commctrl.h>

namespace {
HWND CreateLink(HWND parent, UINT id)
{
    const INITCOMMONCONTROLSEX classes = {sizeof(INITCOMMONCONTROLSEX), ICC_LINK_CLASS};
    InitCommonControlsEx(&classes);
    return CreateWindowExW(0, WC_LINK, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}
} // namespace

LinkControl::LinkControl(HWND parent, UINT id) : m_window(CreateLink(parent, id))
{
    if (!m_window) RaiseLastError();
}

void LinkControl::Set(const std::wstring& text, bool linked)
{
    if (text == m_text && linked == m_linked) return;
    const std::wstring shown = linked ? L"<a>" + text + L"</a>" : text;
    if (!SetWindowTextW(hWnd(), shown.c_str())) RaiseLastError();
    m_text = text;
    m_linked = linked;
}

void LinkControl::Move(const RECT& bounds) noexcept
{
    MoveWindow(hWnd(), bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, TRUE);
}

void LinkControl::SetFont(HFONT font) noexcept
{
    SendMessageW(hWnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}
