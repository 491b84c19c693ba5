// The hook writes without waiting; this window takes its records on a timer, 20 times a second,
// so that a flood of messages costs one list update per tick.
#include "watch/MessageLogWindow.h"

#include "controls/Twips.h"
#include "inventory/APi.h"
#include "platform/WindowClass.h"
#include "platform/RuntimeError.h"
#include "platform/WindowObject.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

namespace {
const wchar_t kWindowClass[] = L"WindowInventoryMessageLog";
constexpr UINT_PTR kTimer = 1;
constexpr UINT kTickMs = 50;
enum : UINT { kPauseId = 1, kClearId, kFilterId, kListId, kStatusId };
enum Column { kTime, kKind, kMessage, kWParam, kLParam, kResult };
// The columns in Column's order, their widths in pixels at 96 dpi.
constexpr struct {
    const wchar_t* title;
    int width;
    bool rightAligned;
} kColumns[] = {{L"Time", 96, false},   {L"Kind", 54, false},   {L"Message", 230, false},
                {L"wParam", 80, true},  {L"lParam", 80, true},  {L"Result", 80, true}};

// A 64-bit process's parameters are as wide as its pointers: shown with all 16 digits.
constexpr int kWideNumberWidth = 136;

std::wstring Hex(uint64_t value, bool wide)
{
    wchar_t text[24];
    std::swprintf(text, 24, wide ? L"%016llX" : L"%08llX", static_cast<unsigned long long>(value));
    return text;
}

HWND MakeChild(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style, UINT id, DWORD extended = 0)
{
    const HWND child = CreateWindowExW(extended, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                                       reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr),
                                       nullptr);
    if (child == nullptr) RaiseLastError();
    return child;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}
} // namespace

MessageLogWindow::MessageLogWindow(HWND owner, HWND watched, POINT at) : m_watched(watched), m_log(ClassOf(watched))
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterWindowClassOnce(kWindowClass, &WindowProc, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    // Read without sending the watched window a message: it may be hung.
    wchar_t caption[256] = {};
    InternalGetWindowText(watched, caption, 256);
    DWORD processId = 0;
    const DWORD threadId = GetWindowThreadProcessId(watched, &processId);
    m_description = L"hWnd: " + FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(watched))) + L"  \"" + caption +
                    L"\"  [Class:" + ClassOf(watched) + L"]";
    const std::wstring title = L"Messages: " + m_description + L", process " + std::to_wstring(processId) +
                               L", thread " + std::to_wstring(threadId);

    const int ownerDpi = WindowDpi(owner);
    const HWND created = CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                         at.x, at.y, MulDiv(1000, ownerDpi, 96), MulDiv(520, ownerDpi, 96), owner,
                                         nullptr, instance, this);
    if (created == nullptr) RaiseLastError();
    m_dpi = WindowDpi(hWnd());
    m_pause = MakeChild(hWnd(), L"Button", L"&Pause", BS_PUSHBUTTON | WS_TABSTOP, kPauseId);
    m_clear = MakeChild(hWnd(), L"Button", L"C&lear", BS_PUSHBUTTON | WS_TABSTOP, kClearId);
    m_filterLabel = MakeChild(hWnd(), L"Static", L"&Filter:", SS_RIGHT | SS_CENTERIMAGE, 0);
    m_filter = MakeChild(hWnd(), L"Edit", L"", ES_AUTOHSCROLL | WS_TABSTOP, kFilterId, WS_EX_CLIENTEDGE);
    m_filterHint = MakeChild(hWnd(), L"Static",
                             L"part of a name, or a group: mouse keyboard paint timer command window control user",
                             SS_LEFT | SS_CENTERIMAGE | SS_ENDELLIPSIS, 0);
    m_statusLine = MakeChild(hWnd(), L"Static", L"", SS_LEFT | SS_ENDELLIPSIS | SS_SUNKEN, kStatusId);
    m_list = std::make_unique<ListViewControl>(hWnd(), kListId);
    ApplyFont();

    LARGE_INTEGER counter, frequency;
    QueryPerformanceFrequency(&frequency);
    m_frequency = frequency.QuadPart;
    GetSystemTimeAsFileTime(&m_startTime);
    FileTimeToLocalFileTime(&m_startTime, &m_startTime);
    QueryPerformanceCounter(&counter);
    m_startCounter = counter.QuadPart;

    m_session = std::make_unique<WatchSession>(watched);
    m_wide = m_session->SixtyFour();
    if (m_wide) m_description += L", a 64-bit process";
    for (int column = kTime; column <= kResult; ++column) {
        m_list->AddColumn(kColumns[column].title, Scaled(ColumnWidth(column)), kColumns[column].rightAligned);
    }
    if (!m_session->Problem().empty()) {
        m_ended = m_session->Problem();
        m_session.reset();
    } else {
        SetTimer(hWnd(), kTimer, kTickMs, nullptr);
    }
    Layout();
    ShowStatus();
    ShowWindow(hWnd(), SW_SHOWNORMAL);
}

int MessageLogWindow::ColumnWidth(int column) const noexcept
{
    return m_wide && kColumns[column].rightAligned ? kWideNumberWidth : kColumns[column].width;
}

MessageLogWindow::~MessageLogWindow()
{
    m_window.reset();
    m_session.reset();
}

LRESULT CALLBACK MessageLogWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    MessageLogWindow* const self = WindowObject(window, message, lParam, &MessageLogWindow::m_window);
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    const HRESULT failed = ExceptionBarrier([&] { result = self->OnMessage(window, message, wParam, lParam); });
    return FAILED(failed) ? DefWindowProcW(window, message, wParam, lParam) : result;
}

LRESULT MessageLogWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_DPICHANGED: {
        m_dpi = HIWORD(wParam);
        for (int column = kTime; column <= kResult; ++column) {
            m_list->SetColumnWidth(column, Scaled(ColumnWidth(column)));
        }
        ApplyFont();
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                     suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
        Layout(); // also when the size stayed
        // Controls that shrank leave their old text behind on the parent otherwise.
        RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kTimer) Poll();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kPauseId && HIWORD(wParam) == BN_CLICKED) SetPaused(!m_paused);
        if (LOWORD(wParam) == kClearId && HIWORD(wParam) == BN_CLICKED) Clear();
        if (LOWORD(wParam) == kFilterId && HIWORD(wParam) == EN_CHANGE) {
            wchar_t text[128] = {};
            GetWindowTextW(m_filter, text, 128);
            SetFilter(text);
        }
        return 0;
    case WM_NOTIFY: {
        auto& info = *reinterpret_cast<NMLVDISPINFOW*>(lParam);
        if (info.hdr.idFrom != kListId || info.hdr.code != LVN_GETDISPINFOW || !(info.item.mask & LVIF_TEXT)) break;
        if (static_cast<size_t>(info.item.iItem) >= m_log.Rows() || info.item.cchTextMax <= 0) return 0;
        const std::wstring text = CellText(static_cast<size_t>(info.item.iItem), info.item.iSubItem);
        lstrcpynW(info.item.pszText, text.c_str(), info.item.cchTextMax);
        return 0;
    }
    case WM_DESTROY:
        // Closing the log takes the hook out of the watched thread at once.
        KillTimer(window, kTimer);
        m_session.reset();
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int MessageLogWindow::Scaled(int pixelsAt96) const noexcept
{
    return MulDiv(pixelsAt96, m_dpi, 96);
}

void MessageLogWindow::ApplyFont()
{
    UniqueFont font = CreateSystemFont(&NONCLIENTMETRICSW::lfMessageFont, m_dpi);
    const HFONT shown = font ? font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const HWND child : {m_pause, m_clear, m_filterLabel, m_filter, m_filterHint, m_statusLine, m_list->hWnd()}) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(shown), TRUE);
    }
    m_font = std::move(font); // the old one goes once no child shows it
}

void MessageLogWindow::Layout()
{
    if (!m_list) return;
    RECT client = {};
    GetClientRect(hWnd(), &client);
    // Designed in pixels at 96 dpi.
    const int pad = Scaled(6), row = Scaled(24), button = Scaled(80), status = Scaled(22);
    MoveWindow(m_pause, pad, pad, button, row, TRUE);
    MoveWindow(m_clear, pad + Scaled(86), pad, button, row, TRUE);
    const int labelLeft = pad + Scaled(172), filterLeft = labelLeft + Scaled(44), filterWidth = Scaled(180);
    MoveWindow(m_filterLabel, labelLeft, pad, Scaled(40), row, TRUE);
    MoveWindow(m_filter, filterLeft, pad, filterWidth, row, TRUE);
    const int hintLeft = filterLeft + filterWidth + pad;
    MoveWindow(m_filterHint, hintLeft, pad, (std::max)(0, static_cast<int>(client.right) - pad - hintLeft), row, TRUE);
    MoveWindow(m_statusLine, 0, client.bottom - status, client.right, status, TRUE);
    m_list->Move(RECT{0, 2 * pad + row, client.right, client.bottom - status});
}

void MessageLogWindow::Poll()
{
    if (!m_session) return;
    m_records.clear();
    m_session->Take(m_records, m_dropped);
    bool destroyed = false;
    for (const watch_ring::Record& record : m_records) destroyed = destroyed || record.message == WM_NCDESTROY;
    if (m_paused) {
        m_passedWhilePaused += m_records.size();
    } else if (!m_records.empty()) {
        const bool follow = m_list->ShowsLastRow();
        const uint64_t discarded = m_log.RowsDiscarded();
        m_log.Add(m_records);
        // Answers fill in rows already on screen: those are drawn again too.
        m_list->SetRowCount(m_log.Rows(), false);
        InvalidateRect(m_list->hWnd(), nullptr, FALSE);
        if (follow && m_log.Rows() > 0) {
            m_list->ScrollTo(m_log.Rows() - 1);
        } else if (m_log.RowsDiscarded() != discarded) {
            // A user who scrolled up keeps the rows, and the selection, they were looking at.
            m_list->DropFirstRows(static_cast<size_t>(m_log.RowsDiscarded() - discarded));
        }
    }
    if (!m_session->Problem().empty()) {
        EndWatch(std::wstring(m_session->Problem()));
    } else if (destroyed || !IsWindow(m_watched)) {
        EndWatch(L"Window " + FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(m_watched))) +
                 L" was destroyed: the log has stopped");
    }
    ShowStatus();
}

void MessageLogWindow::EndWatch(const std::wstring& why)
{
    KillTimer(hWnd(), kTimer);
    m_session.reset();
    m_ended = why;
}

void MessageLogWindow::SetPaused(bool paused)
{
    m_paused = paused;
    SetWindowTextW(m_pause, paused ? L"&Resume" : L"&Pause");
    ShowStatus();
}

void MessageLogWindow::SetFilter(const std::wstring& filter)
{
    m_log.SetFilter(filter);
    m_list->SetRowCount(m_log.Rows(), true);
    ShowStatus();
}

void MessageLogWindow::Clear()
{
    m_log.Clear();
    m_list->SetRowCount(0, true);
    ShowStatus();
}

void MessageLogWindow::ShowStatus()
{
    std::wstring text = m_ended.empty() ? L"Watching " + m_description : m_ended;
    text += L"  |  " + std::to_wstring(m_log.Kept()) + L" kept";
    if (m_log.Rows() != m_log.Kept()) text += L", " + std::to_wstring(m_log.Rows()) + L" shown";
    text += L", " + std::to_wstring(m_dropped) + L" dropped";
    if (m_paused) text += L"  |  Paused: " + std::to_wstring(m_passedWhilePaused) + L" passed unlogged";
    if (text == m_status) return;
    m_status = text;
    SetWindowTextW(m_statusLine, text.c_str());
}

std::wstring MessageLogWindow::TimeText(int64_t elapsed, int64_t frequency, const FILETIME& start)
{
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

std::wstring MessageLogWindow::CellText(size_t row, int column)
{
    const MessageLog::Entry& entry = m_log.Row(row);
    const bool sent = entry.kind == MessageLog::Kind::Sent;
    const bool gap = entry.kind == MessageLog::Kind::Dropped;
    switch (column) {
    case kTime:
        return TimeText(entry.time - m_startCounter, m_frequency, m_startTime);
    case kKind:
        return gap ? L"dropped" : sent ? L"sent" : L"posted";
    case kMessage:
        return gap ? std::to_wstring(entry.wParam) + L" messages dropped" : m_log.Names().Name(entry.message);
    case kWParam:
        return gap ? L"" : Hex(entry.wParam, m_wide);
    case kLParam:
        return gap ? L"" : Hex(entry.lParam, m_wide);
    case kResult:
        return !sent ? L"" : entry.answered ? Hex(entry.result, m_wide) : entry.lost ? L"(dropped)" : L"\x2026";
    default:
        return L"";
    }
}
