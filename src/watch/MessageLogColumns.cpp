// Cells are made when asked for: the list asks only for the rows on screen, so a log of any
// length decodes only what is looked at.
#include "watch/MessageLogColumns.h"

#include <cstdio>
#include <cwctype>

namespace {
// The columns in Column's order, their widths in pixels at 96 dpi.
constexpr struct {
    const wchar_t* title;
    int width;
    bool number;
} kColumns[] = {{L"Time", 96, false},       {L"Kind", 60, false},   {L"Window", 80, true},
                {L"Message", 220, false},   {L"Parameters", 300, false}, {L"wParam", 80, true},
                {L"lParam", 80, true},      {L"Result", 80, true},  {L"Answer", 160, false}};
// A 64-bit process's numbers are as wide as its pointers: shown with all 16 digits. Not its
// windows': a handle's value is 32 bits wide in every process, as the tree shows it.
constexpr int kWideNumberWidth = 136;
// Nested messages are indented by this much per send they are in, up to a depth no real nesting
// reaches; deeper ones say how deep instead, so that a cell stays short whatever a record says.
constexpr wchar_t kIndent[] = L"    ";
constexpr uint16_t kIndentedLevels = 32;
// Times beyond a century from the log's start are not a counter's.
constexpr int64_t kLatestSeconds = 100ll * 366 * 86400;

std::wstring Hex(uint64_t value, bool wide)
{
    wchar_t text[24];
    std::swprintf(text, 24, wide ? L"%016llX" : L"%08llX", static_cast<unsigned long long>(value));
    return text;
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

const MessageData kNothing;
} // namespace

MessageLogColumns::MessageLogColumns(const MessageLog& log, bool wide) : m_log(log), m_decoder(wide), m_wide(wide)
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceFrequency(&frequency);
    m_frequency = frequency.QuadPart;
    GetSystemTimeAsFileTime(&m_startTime);
    FileTimeToLocalFileTime(&m_startTime, &m_startTime);
    QueryPerformanceCounter(&counter);
    m_startCounter = counter.QuadPart;
}

void MessageLogColumns::SetWide(bool wide)
{
    m_wide = wide;
    m_decoder = MessageDecoder(wide);
}

const wchar_t* MessageLogColumns::Title(int column)
{
    return kColumns[column].title;
}

bool MessageLogColumns::RightAligned(int column)
{
    return kColumns[column].number;
}

int MessageLogColumns::Width(int column) const noexcept
{
    return m_wide && kColumns[column].number && column != kWindow ? kWideNumberWidth : kColumns[column].width;
}

std::wstring MessageLogColumns::TimeText(int64_t elapsed, int64_t frequency, const FILETIME& start)
{
    // Nothing the hook writes is older than the log, or from another century.
    if (elapsed < 0 || frequency <= 0 || elapsed / frequency > kLatestSeconds) return L"(invalid)";
    // Whole seconds and the rest apart: one product of the count and 10^7 would overflow after
    // about a day of a 10 MHz counter.
    const int64_t ticks = elapsed / frequency * 10000000 + elapsed % frequency * 10000000 / frequency;
    ULARGE_INTEGER at;
    at.LowPart = start.dwLowDateTime;
    at.HighPart = start.dwHighDateTime;
    at.QuadPart += static_cast<uint64_t>(ticks);
    const FILETIME when = {at.LowPart, at.HighPart};
    SYSTEMTIME time = {};
    FileTimeToSystemTime(&when, &time);
    wchar_t text[32];
    std::swprintf(text, 32, L"%02u:%02u:%02u.%03u", time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
    return text;
}

std::wstring MessageLogColumns::Text(size_t row, int column, bool plain) const
{
    using Kind = MessageLog::Kind;
    const MessageLog::Entry& entry = m_log.Row(row);
    const bool gap = entry.kind == Kind::Dropped, closing = entry.kind == Kind::Returned;
    const bool sent = entry.kind == Kind::Sent;
    // The send's own row shows the answer unless its closing row does.
    const bool answers = closing || (sent && entry.answered && !entry.closed);
    switch (column) {
    case kTime: {
        // In unsigned arithmetic, so that no time a record claims overflows the difference.
        if (entry.time < m_startCounter) return L"(invalid)";
        const uint64_t elapsed = static_cast<uint64_t>(entry.time) - static_cast<uint64_t>(m_startCounter);
        return TimeText(static_cast<int64_t>(elapsed & 0x7FFFFFFFFFFFFFFFull), m_frequency, m_startTime);
    }
    case kKind:
        return gap ? L"dropped" : closing ? L"returned" : sent ? L"sent" : L"posted";
    case kWindow:
        return gap ? L"" : Hex(entry.window & 0xFFFFFFFFu, false);
    case kMessage: {
        std::wstring text;
        if (!plain) {
            for (uint16_t level = 0; level < entry.depth && level < kIndentedLevels; ++level) text += kIndent;
            if (entry.depth > kIndentedLevels) text += L"(depth " + std::to_wstring(entry.depth) + L") ";
        }
        return text + (gap ? std::to_wstring(entry.wParam) + L" messages dropped" : MessageLog::Name(entry));
    }
    case kParameters:
        // A registered message's parameters mean what its program says: no standard rule reads them.
        if (gap || closing || MessageNames::Registered(entry.message)) return L"";
        return m_decoder.Parameters(MessageLog::Name(entry), entry.wParam, entry.lParam,
                                    entry.data ? entry.data->sent : kNothing, entry.names->WindowClass(),
                                    entry.control ? entry.control->WindowClass() : std::wstring());
    case kWParam:
        return gap || closing ? L"" : Hex(entry.wParam, m_wide);
    case kLParam:
        return gap || closing ? L"" : Hex(entry.lParam, m_wide);
    case kResult:
        if (answers) return Hex(entry.result, m_wide);
        return !sent || entry.closed ? L"" : entry.lost ? L"(dropped)" : L"\x2026";
    case kAnswer:
        if (!answers || MessageNames::Registered(entry.message)) return L"";
        return m_decoder.Answer(MessageLog::Name(entry), entry.result, entry.data ? entry.data->answer : kNothing,
                                entry.data ? entry.data->sent : kNothing);
    default:
        return L"";
    }
}

std::optional<size_t> MessageLogColumns::Find(const std::wstring& what, size_t start, bool down) const
{
    const size_t rows = m_log.Rows();
    if (what.empty() || rows == 0) return std::nullopt;
    const std::wstring wanted = Upper(what);
    size_t row = start % rows;
    for (size_t looked = 0; looked < rows; ++looked) {
        for (int column = 0; column < kCount; ++column) {
            if (Upper(Text(row, column, true)).find(wanted) != std::wstring::npos) return row;
        }
        row = down ? (row + 1) % rows : (row + rows - 1) % rows;
    }
    return std::nullopt;
}
