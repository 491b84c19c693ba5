#include "controls/TextBoxControl.h"

#include "platform/RuntimeError.h"

TextBoxControl::TextBoxControl(HWND parent, UINT id, int tabStop, bool scrolls) : m_tabStop(tabStop)
{
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
                        (scrolls ? WS_VSCROLL : 0);
    m_window.reset(CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", L"", style, 0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr),
                                   nullptr));
    if (!m_window) RaiseLastError();
    SendMessageW(hWnd(), EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&m_tabStop));
}

void TextBoxControl::SetText(const std::wstring& text, bool keepPlace)
{
    if (text == m_text) return;
    const LRESULT firstLine = keepPlace ? SendMessageW(hWnd(), EM_GETFIRSTVISIBLELINE, 0, 0) : 0;
    if (!SetWindowTextW(hWnd(), text.c_str())) RaiseLastError();
    m_text = text;
    if (firstLine > 0) SendMessageW(hWnd(), EM_LINESCROLL, 0, firstLine);
}

void TextBoxControl::Move(const RECT& bounds) noexcept
{
    MoveWindow(hWnd(), bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, TRUE);
}

void TextBoxControl::SetFont(HFONT font) noexcept
{
    SendMessageW(hWnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // The tab stop is in dialog units of the font: set again, it follows the new one.
    SendMessageW(hWnd(), EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&m_tabStop));
}
