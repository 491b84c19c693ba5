// A link (the SysLink control) that names one window: its handle as a link the user can follow
// by mouse or keyboard, or plain text where there is nothing to follow. The parent hears of a
// click as NM_CLICK (or NM_RETURN) from the control's id.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <string>

class LinkControl {
public:
    LinkControl(HWND parent, UINT id);
    LinkControl(const LinkControl&) = delete;
    LinkControl& operator=(const LinkControl&) = delete;

    HWND hWnd() const noexcept { return m_window.get(); }

    // `text` (a handle's, with no markup in it) as a link, or as plain text when not `linked`.
    void Set(const std::wstring& text, bool linked);
    const std::wstring& Text() const noexcept { return m_text; }
    bool Linked() const noexcept { return m_linked; }
    void Move(const RECT& bounds) noexcept;
    void SetFont(HFONT font) noexcept;

private:
    UniqueWindow m_window;
    std::wstring m_text;
    bool m_linked = false;
};
