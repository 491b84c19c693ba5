// The message log's columns: their titles and widths, and the text of each cell as the list,
// the clipboard, the saved files and the find in the log read it.
#pragma once
#include "watch/MessageDecoder.h"
#include "watch/MessageLog.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

class MessageLogColumns {
public:
    enum Column : int { kTime, kKind, kWindow, kMessage, kParameters, kWParam, kLParam, kResult, kAnswer, kCount };

    // `wide`: a 64-bit process, whose numbers are shown with 16 digits and whose copied
    // structures have its layout. Times count from now.
    MessageLogColumns(const MessageLog& log, bool wide);

    // Once the watched process's bitness is known.
    void SetWide(bool wide);

    static const wchar_t* Title(int column);
    static bool RightAligned(int column);
    // Pixels at 96 dpi.
    int Width(int column) const noexcept;

    const MessageLog& Log() const noexcept { return m_log; }
    size_t Rows() const noexcept { return m_log.Rows(); }
    // The row's text in `column`; the message's name is indented by its depth unless `plain`.
    std::wstring Text(size_t row, int column, bool plain = false) const;
    // The first row from `start` on, down or up and wrapping around once, with `what` in the
    // text of any column (ignoring case).
    std::optional<size_t> Find(const std::wstring& what, size_t start, bool down) const;

    // The Time column: `start` (local time) plus `elapsed` counts of a counter of `frequency`.
    static std::wstring TimeText(int64_t elapsed, int64_t frequency, const FILETIME& start);

private:
    const MessageLog& m_log;
    MessageDecoder m_decoder;
    bool m_wide;
    // QueryPerformanceCounter and the local time at the start: rows show wall-clock times.
    int64_t m_startCounter = 0, m_frequency = 1;
    FILETIME m_startTime = {};
};
