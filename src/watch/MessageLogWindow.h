// The message log window of one watched window: a virtual list of its messages, live, with
// pause, clear and a filter, and a status line that says what is watched, what was dropped and
// why nothing can be watched when that is so.
#pragma once
#include "controls/ListViewControl.h"
#include "platform/UniqueHandles.h"
#include "watch/MessageLog.h"
#include "watch/WatchSession.h"

#include <windows.h>

#include <memory>
#include <string>

class MessageLogWindow {
public:
    // Opens the log window for `watched` at `at` and starts watching it, or shows why it cannot.
    MessageLogWindow(HWND owner, HWND watched, POINT at = {CW_USEDEFAULT, CW_USEDEFAULT});
    ~MessageLogWindow();
    MessageLogWindow(const MessageLogWindow&) = delete;
    MessageLogWindow& operator=(const MessageLogWindow&) = delete;

    HWND hWnd() const noexcept { return m_window.get(); }
    // False once the user closed it.
    bool IsOpen() const noexcept { return static_cast<bool>(m_window); }
    HWND Watched() const noexcept { return m_watched; }
    bool Watching() const noexcept { return m_session && m_session->Watching(); }

    // The timer's work: takes what the hook wrote and shows it.
    void Poll();
    void SetPaused(bool paused);
    void SetFilter(const std::wstring& filter);
    void Clear();

    const MessageLog& Log() const noexcept { return m_log; }
    const std::wstring& StatusText() const noexcept { return m_status; }
    // The text of one cell as the list shows it.
    std::wstring CellText(size_t row, int column);
    // The Time column: `start` (local time) plus `elapsed` counts of a counter of `frequency`.
    static std::wstring TimeText(int64_t elapsed, int64_t frequency, const FILETIME& start);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Layout();
    // Pixels designed at 96 dpi, at the window's DPI.
    int Scaled(int pixelsAt96) const noexcept;
    // A column's width at 96 dpi: the number columns are wider for a 64-bit process.
    int ColumnWidth(int column) const noexcept;
    // The system's message font at the window's DPI, on every control.
    void ApplyFont();
    void ShowStatus();
    void EndWatch(const std::wstring& why);

    HWND m_watched;
    UniqueFont m_font; // released after the window whose controls show it
    UniqueWindow m_window;
    // The monitor's DPI at creation, then what WM_DPICHANGED said last.
    int m_dpi = 96;
    std::unique_ptr<ListViewControl> m_list;
    HWND m_pause = nullptr, m_clear = nullptr, m_filterLabel = nullptr, m_filter = nullptr,
         m_filterHint = nullptr, m_statusLine = nullptr;
    std::unique_ptr<WatchSession> m_session;
    MessageLog m_log;
    std::vector<watch_ring::Record> m_records;
    uint64_t m_dropped = 0;
    uint64_t m_passedWhilePaused = 0;
    bool m_paused = false;
    bool m_wide = false; // a 64-bit process: parameters in 16 digits
    std::wstring m_ended; // why the log stopped, once it did
    std::wstring m_status;
    std::wstring m_description;
    // QueryPerformanceCounter and the local time at the start: rows show wall-clock times.
    int64_t m_startCounter = 0, m_frequency = 1;
    FILETIME m_startTime = {};
};
