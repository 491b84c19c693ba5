// A read-only, multi-line text box whose text can be selected and copied: facts one to a line,
// "Label:\tvalue", the values lined up at one tab stop.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <string>

class TextBoxControl {
public:
    // Creates the box as a child of `parent`; it is placed by Move. `tabStop` is in dialog
    // units, which follow the box's font.
    TextBoxControl(HWND parent, UINT id, int tabStop, bool scrolls);
    TextBoxControl(const TextBoxControl&) = delete;
    TextBoxControl& operator=(const TextBoxControl&) = delete;

    HWND hWnd() const noexcept { return m_window.get(); }

    // Shows `text` from its first line, or (keepPlace) where the reader had scrolled to. Text
    // equal to what is shown changes nothing, so that a box read again and again does not flicker.
    void SetText(const std::wstring& text, bool keepPlace);
    const std::wstring& Text() const noexcept { return m_text; }
    void Move(const RECT& bounds) noexcept;
    void SetFont(HFONT font) noexcept;

private:
    UniqueWindow m_window;
    int m_tabStop;
    std::wstring m_text;
};
