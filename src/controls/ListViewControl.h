// A report-style list view that holds no items of its own (LVS_OWNERDATA): its owner answers
// LVN_GETDISPINFO for the rows on screen, so a log of any length costs the control nothing.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <vector>

class ListViewControl {
public:
    ListViewControl(HWND parent, UINT id);
    ListViewControl(const ListViewControl&) = delete;
    ListViewControl& operator=(const ListViewControl&) = delete;

    HWND hWnd() const noexcept { return m_window.get(); }

    void AddColumn(const wchar_t* title, int width, bool rightAligned = false);
    void SetColumnWidth(int column, int width);
    int ColumnWidth(int column) const;
    // The width the columns can take without a horizontal scroll bar, the vertical one's taken
    // as shown (rows that come later would bring it) at the list's `dpi`.
    int ColumnRoom(int dpi) const;
    // The number of rows; the rows already on screen are not asked for again unless `repaint`.
    void SetRowCount(size_t rows, bool repaint);
    void ScrollTo(size_t row);
    // The owner removed `count` rows from the top: scroll and selection move up with the rows.
    void DropFirstRows(size_t count);
    // Selects `row` alone, gives it the focus rectangle and scrolls it into view.
    void Select(size_t row);
    void SelectAll();
    std::vector<size_t> SelectedRows() const;
    std::optional<size_t> FocusedRow() const;
    // The row at a point on the screen, if any.
    std::optional<size_t> RowAt(POINT screen) const;
    // The answer to the list's NM_CUSTOMDRAW: selected rows in the system's highlight colours
    // whatever has the keyboard, where the control would grey them to near invisibility while
    // the find box has it.
    static LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw) noexcept;
    // Whether the last row is on screen: the log follows new rows only then.
    bool ShowsLastRow() const;
    void Move(const RECT& bounds);

private:
    // LVM_SETITEMSTATE: `row` -1 is every row.
    void SetState(int row, UINT state, UINT mask);

    UniqueWindow m_window;
    int m_columns = 0;
};
