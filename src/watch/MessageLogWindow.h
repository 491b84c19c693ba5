// The message log window of one watched window (or of every window of its thread): a virtual
// list of its messages, live, nested as they were sent, with pause, clear, a filter, a find,
// saving and copying, and a status line that says what is watched, what was dropped and why
// nothing can be watched when that is so. Its keys work once the message loop hands them to
// TranslateLogMessage.
#pragma once
#include "controls/ListViewControl.h"
#include "platform/ActivationFocus.h"
#include "platform/UniqueHandles.h"
#include "platform/WindowPlaceStore.h"
#include "watch/MessageLog.h"
#include "watch/MessageLogColumns.h"
#include "watch/WatchSession.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

class MessageLogWindow {
public:
    using Column = MessageLogColumns::Column;

    // Opens the log window for `watched` and starts watching it, or shows why it cannot. It opens
    // cascaded from `cascadeFrom` (the last log still open), else where the user left a log last,
    // else beside `owner`; always inside the work area, with its columns as they were left.
    MessageLogWindow(HWND owner, HWND watched, HWND cascadeFrom = nullptr);
    ~MessageLogWindow();
    MessageLogWindow(const MessageLogWindow&) = delete;
    MessageLogWindow& operator=(const MessageLogWindow&) = delete;

    HWND hWnd() const noexcept { return m_window.get(); }
    // False once the user closed it.
    bool IsOpen() const noexcept { return static_cast<bool>(m_window); }
    HWND Watched() const noexcept { return m_watched; }
    bool Watching() const noexcept { return m_session && m_session->Watching(); }
    // Waiting for the hook to take the ring it was handed.
    bool Starting() const noexcept { return m_session && m_session->Starting(); }

    // What the message loop must ask before it dispatches a message: the log's keys, and Tab,
    // the mnemonics, Enter and Esc among its controls. True when the message was used.
    bool TranslateLogMessage(MSG& message) noexcept;

    // The timer's work: takes what the hook wrote and shows it.
    void Poll();
    void SetPaused(bool paused);
    void SetFilter(const std::wstring& filter);
    void Clear();
    // Every window of the watched window's thread, or the watched window alone: the watch starts
    // again, the rows so far stay.
    void SetEveryWindow(bool everyWindow);
    // The rows that pass the filter to `path` (.csv or .json); false, with the status line
    // saying why, when it cannot be written.
    bool SaveTo(const std::wstring& path);
    // The selected rows with a header line onto the clipboard, as tab-separated text.
    bool CopySelection();
    // Selects the next row down or up from the selection that holds the find box's text.
    bool FindNext(bool down);
    // Leaves out the rows of the message `row` shows (its name), until ShowHidden; the filter's
    // line lists what is hidden and a button brings it back.
    void HideLike(size_t row);
    void ShowHidden();

    const MessageLog& Log() const noexcept { return m_log; }
    const std::wstring& StatusText() const noexcept { return m_status; }
    // The text of one cell as the list shows it.
    std::wstring CellText(size_t row, int column) const { return m_columns.Text(row, column); }

private:
    // Controls and commands; IDOK and IDCANCEL (Enter and Esc in IsDialogMessage) stay clear.
    enum : UINT {
        kPauseId = 100, kClearId, kSaveId, kCopyId, kFilterId, kFindId, kEveryWindowId, kListId, kStatusId,
        kFocusFindId, kSelectAllId, kFindNextId, kFindPreviousId, kHideId, kShowHiddenId
    };
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(UINT id, UINT code);
    // The list's commands at the mouse, or below the list's top left corner from the keyboard.
    void ShowContextMenu(LPARAM position);
    void CreateControls();
    void Layout();
    // The Parameters column takes what the others leave of the list's width, down to a least
    // width; below that the others shrink too, so that the last column is never cut off.
    void FitColumns();
    // The column widths kept between runs, in pixels at 96 dpi: a 64-bit process's apart, its
    // numbers are wider.
    const wchar_t* ColumnsValue() const noexcept { return m_wide ? L"Columns64" : L"Columns"; }
    // Pixels designed at 96 dpi, at the window's DPI.
    int Scaled(int pixelsAt96) const noexcept;
    // The system's message font at the window's DPI, on every control.
    void ApplyFont();
    // What the filter's line says: what is hidden, then how to filter.
    void ShowFilterHint();
    void StartWatch(WatchSession::Scope scope);
    void ShowStatus();
    // A word for the user in the status line until the next one.
    void Say(const std::wstring& notice);
    void EndWatch(const std::wstring& why);
    void Save();

    HWND m_watched;
    DWORD m_watchedThread = 0;
    WindowPlaceStore m_place{L"Message log"};
    UniqueFont m_font; // released after the window whose controls show it
    UniqueWindow m_window;
    UniqueAccelerators m_keys;
    // The monitor's DPI at creation, then what WM_DPICHANGED said last.
    int m_dpi = 96;
    std::unique_ptr<ListViewControl> m_list;
    HWND m_pause = nullptr, m_clear = nullptr, m_save = nullptr, m_copy = nullptr, m_filterLabel = nullptr,
         m_filter = nullptr, m_findLabel = nullptr, m_find = nullptr, m_everyWindow = nullptr, m_filterHint = nullptr,
         m_showHidden = nullptr, m_statusLine = nullptr;
    // The control that had the keyboard when the window was left.
    ActivationFocus m_focus; // the control that had the keyboard when the window was left
    // The row the context menu was opened for.
    std::optional<size_t> m_menuRow;
    std::unique_ptr<WatchSession> m_session;
    MessageLog m_log;
    MessageLogColumns m_columns;
    std::vector<watch_ring::Record> m_records;
    uint64_t m_dropped = 0;
    uint32_t m_foreignHandovers = 0;
    uint64_t m_passedWhilePaused = 0;
    bool m_paused = false;
    bool m_wide = false; // a 64-bit process: parameters in 16 digits
    bool m_everyWindowWatched = false;
    std::wstring m_ended; // why the log stopped, once it did
    std::wstring m_notice;
    std::wstring m_status;
    std::wstring m_description;
};
