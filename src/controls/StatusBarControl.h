// The status bar: aligned to the bottom of its parent, with fixed panels (text, Caps Lock and
// Num Lock indicators) whose geometry is read in twips.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <string>
#include <vector>

enum class PanelKind { Text, CapsLock, NumLock };

struct PanelDesign {
    PanelKind kind;
    float width;    // twips
    float minWidth; // twips: how far the panel gives way when the bar is too narrow
};

class StatusBarControl {
public:
    // `height` in twips: the bar keeps it at every DPI instead of the height it would pick.
    StatusBarControl(HWND parent, UINT id, std::vector<PanelDesign> panels, float height);
    ~StatusBarControl();
    StatusBarControl(const StatusBarControl&) = delete;
    StatusBarControl& operator=(const StatusBarControl&) = delete;

    HWND hWnd() const noexcept { return m_window.get(); }

    // Lays the bar out at a new DPI from now on, in its font too; the parent calls it on
    // WM_DPICHANGED. Until then the bar goes by the DPI its parent was created at.
    void SetDpi(int dpi);

    // Follows the parent's new client size: bottom edge, full width, panel layout. The parent
    // calls it from its own WM_SIZE handling, before anything else looks at the panels.
    void Relayout();

    // Panels are numbered from 1; another index raises subscript out of range.
    float PanelLeft(short index) const;  // twips from the bar's left edge
    float PanelWidth(short index) const; // twips
    float Height() const;                // twips

    // A text panel's text, kept across re-layouts. Panels are numbered from 1.
    void SetPanelText(short index, const std::wstring& text);
    const std::wstring& PanelText(short index) const;

    // The parent forwards WM_DRAWITEM here; true when the item was one of this bar's panels.
    bool DrawItem(const DRAWITEMSTRUCT& item) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    RECT PanelRect(short index) const;
    void RefreshKeyIndicators();

    UniqueFont m_font; // released after the window that shows it
    UniqueWindow m_window;
    int m_dpi;
    std::vector<PanelDesign> m_panels;
    float m_height;
    std::vector<std::wstring> m_texts;
    bool m_capsOn = false;
    bool m_numOn = false;
};
