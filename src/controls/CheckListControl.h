// A list of lines, each with a check box: a report-style list view with one column and
// LVS_EX_CHECKBOXES, for ticking flags one by one.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <string>

class CheckListControl {
public:
    // Creates the list as a child of `parent` at `bounds` (pixels, parent's client area).
    CheckListControl(HWND parent, UINT id, const RECT& bounds);
    CheckListControl(const CheckListControl&) = delete;
    CheckListControl& operator=(const CheckListControl&) = delete;

    HWND hWnd() const noexcept { return m_window.get(); }

    void Add(const std::wstring& text, bool checked);
    int Count() const;
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);

private:
    UniqueWindow m_window;
};
