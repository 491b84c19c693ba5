// The hook writes without waiting; this window takes its records on a timer, 20 times a second,
// so that a flood of messages costs one list update per tick. Its commands and keys are in
// MessageLogCommands.cpp.
#include "watch/MessageLogWindow.h"

#include "controls/Twips.h"
#include "inventory/NodeText.h"
#include "platform/LineText.h"
#include "platform/RuntimeError.h"
#include "platform/ScreenPlace.h"
#include "platform/WindowClass.h"
#include "platform/WindowObject.h"

#include <commctrl.h>

#include <algorithm>

namespace {
const wchar_t kWindowClass[] = L"WindowInventoryMessageLog";
constexpr UINT_PTR kTimer = 1;
constexpr UINT kTickMs = 50;

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

MessageLogWindow::MessageLogWindow(HWND owner, HWND watched, HWND cascadeFrom)
    : m_watched(watched), m_log(ClassOf(watched)), m_columns(m_log, false)
{
    RegisterWindowClassOnce(kWindowClass, &WindowProc, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    // Read without sending the watched window a message: it may be hung.
    wchar_t caption[256] = {};
    InternalGetWindowText(watched, caption, 256);
    DWORD processId = 0;
    const DWORD threadId = GetWindowThreadProcessId(watched, &processId);
    m_watchedThread = threadId;
    // Named as the tree names it, what would mislead spelled out.
    m_description = WindowNodeText(static_cast<LONG>(reinterpret_cast<INT_PTR>(watched)), Visible(caption),
                                   Visible(ClassOf(watched)));
    const std::wstring title = L"Messages: " + m_description + L", process " + std::to_wstring(processId) +
                               L", thread " + std::to_wstring(threadId);

    const int ownerDpi = WindowDpi(owner);
    const SIZE designed = {MulDiv(1200, ownerDpi, 96), MulDiv(560, ownerDpi, 96)};
    const std::optional<WindowPlaceStore::Place> left = m_place.Load();
    const HWND created = CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                         CW_USEDEFAULT, CW_USEDEFAULT, designed.cx, designed.cy, owner, nullptr,
                                         GetModuleHandleW(nullptr), this);
    if (created == nullptr) RaiseLastError();
    RECT at = {};
    GetWindowRect(hWnd(), &at);
    if (cascadeFrom != nullptr) {
        // A caption's height down and right, or up and left where the work area ends.
        GetWindowRect(cascadeFrom, &at);
        const RECT work = WorkAreaNear(at);
        const int step = GetSystemMetrics(SM_CYCAPTION);
        OffsetRect(&at, at.right + step <= work.right ? step : -step, at.bottom + step <= work.bottom ? step : -step);
    } else if (left) {
        at = left->rect;
    } else if (owner != nullptr) {
        at = PlaceBeside(owner, designed, SIZE{designed.cx / 2, designed.cy / 2});
    }
    at = FitIntoWorkArea(at);
    SetWindowPos(hWnd(), nullptr, at.left, at.top, at.right - at.left, at.bottom - at.top, SWP_NOZORDER | SWP_NOACTIVATE);
    m_dpi = WindowDpi(hWnd());
    CreateControls();
    StartWatch(WatchSession::Scope::Window);
    if (m_wide) m_description += L", a 64-bit process";
    const std::vector<int> kept = m_place.Numbers(ColumnsValue(), Column::kCount);
    for (int column = 0; column < Column::kCount; ++column) {
        const int width = kept.empty() ? m_columns.Width(column) : kept[static_cast<size_t>(column)];
        m_list->AddColumn(MessageLogColumns::Title(column), Scaled(width), MessageLogColumns::RightAligned(column));
    }
    Layout();
    ShowStatus();
    ShowWindow(hWnd(), left && left->maximized && cascadeFrom == nullptr ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
}

void MessageLogWindow::FitColumns()
{
    std::vector<int> widths;
    int others = 0;
    for (int column = 0; column < Column::kCount; ++column) {
        widths.push_back(m_list->ColumnWidth(column));
        if (column != Column::kParameters) others += widths.back();
    }
    const int room = m_list->ColumnRoom(m_dpi), least = Scaled(120);
    if (room <= 0) return; // minimized
    if (others + least > room) {
        for (int column = 0; column < Column::kCount; ++column) {
            int& width = widths[static_cast<size_t>(column)];
            // Rounded down: the sum must not pass the room.
            width = column == Column::kParameters ? least : width * (std::max)(0, room - least) / others;
        }
    } else {
        widths[Column::kParameters] = room - others;
    }
    for (int column = 0; column < Column::kCount; ++column) {
        if (widths[static_cast<size_t>(column)] != m_list->ColumnWidth(column)) {
            m_list->SetColumnWidth(column, widths[static_cast<size_t>(column)]);
        }
    }
}

void MessageLogWindow::CreateControls()
{
    m_pause = MakeChild(hWnd(), L"Button", L"&Pause", BS_PUSHBUTTON | WS_TABSTOP, kPauseId);
    m_clear = MakeChild(hWnd(), L"Button", L"C&lear", BS_PUSHBUTTON | WS_TABSTOP, kClearId);
    m_save = MakeChild(hWnd(), L"Button", L"&Save...", BS_PUSHBUTTON | WS_TABSTOP, kSaveId);
    m_copy = MakeChild(hWnd(), L"Button", L"&Copy", BS_PUSHBUTTON | WS_TABSTOP, kCopyId);
    m_filterLabel = MakeChild(hWnd(), L"Static", L"&Filter:", SS_RIGHT | SS_CENTERIMAGE, 0);
    m_filter = MakeChild(hWnd(), L"Edit", L"", ES_AUTOHSCROLL | WS_TABSTOP, kFilterId, WS_EX_CLIENTEDGE);
    m_findLabel = MakeChild(hWnd(), L"Static", L"Fin&d:", SS_RIGHT | SS_CENTERIMAGE, 0);
    m_find = MakeChild(hWnd(), L"Edit", L"", ES_AUTOHSCROLL | WS_TABSTOP, kFindId, WS_EX_CLIENTEDGE);
    m_everyWindow = MakeChild(hWnd(), L"Button", L"All windows of its &thread", BS_AUTOCHECKBOX | WS_TABSTOP,
                              kEveryWindowId);
    m_filterHint = MakeChild(hWnd(), L"Static", L"", SS_LEFT | SS_CENTERIMAGE | SS_ENDELLIPSIS, 0);
    m_showHidden = MakeChild(hWnd(), L"Button", L"Show &hidden", BS_PUSHBUTTON | WS_TABSTOP, kShowHiddenId);
    ShowWindow(m_showHidden, SW_HIDE);
    ShowFilterHint();
    m_statusLine = MakeChild(hWnd(), L"Static", L"", SS_LEFT | SS_ENDELLIPSIS | SS_SUNKEN, kStatusId);
    m_list = std::make_unique<ListViewControl>(hWnd(), kListId);
    ApplyFont();
    const ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'S', kSaveId},       {FVIRTKEY | FCONTROL, 'C', kCopyId},
                          {FVIRTKEY | FCONTROL, 'F', kFocusFindId},  {FVIRTKEY | FCONTROL, 'A', kSelectAllId},
                          {FVIRTKEY, VK_F3, kFindNextId},            {FVIRTKEY | FSHIFT, VK_F3, kFindPreviousId}};
    m_keys.reset(CreateAcceleratorTableW(const_cast<ACCEL*>(keys), static_cast<int>(std::size(keys))));
    if (!m_keys) RaiseLastError();
}

void MessageLogWindow::StartWatch(WatchSession::Scope scope)
{
    KillTimer(hWnd(), kTimer);
    m_session.reset(); // its thread's claim goes with it
    m_ended.clear();
    m_session = std::make_unique<WatchSession>(m_watched, scope);
    m_wide = m_session->SixtyFour();
    m_columns.SetWide(m_wide);
    m_everyWindowWatched = scope == WatchSession::Scope::Thread;
    if (!m_session->Problem().empty()) {
        m_ended = m_session->Problem();
        m_session.reset();
    } else {
        SetTimer(hWnd(), kTimer, kTickMs, nullptr);
    }
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
    m_place.Follow(window, message);
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_DPICHANGED: {
        m_dpi = HIWORD(wParam);
        for (int column = 0; column < Column::kCount; ++column) {
            m_list->SetColumnWidth(column, Scaled(m_columns.Width(column)));
        }
        ApplyFont();
        MoveToDpiSuggestion(window, lParam);
        Layout(); // also when the size stayed
        // Controls that shrank leave their old text behind on the parent otherwise.
        RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
        return 0;
    }
    case WM_ACTIVATE:
        // The keyboard goes back to the control that had it, as in a dialog.
        if (!m_list) break;
        m_focus.OnActivate(window, wParam, m_list->hWnd());
        return 0;
    case WM_TIMER:
        if (wParam == kTimer) Poll();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != m_list->hWnd()) break;
        ShowContextMenu(lParam);
        return 0;
    case WM_NOTIFY: {
        const NMHDR* header = OwnNotification(lParam, m_list ? m_list->hWnd() : nullptr);
        if (header != nullptr && header->code == static_cast<UINT>(NM_CUSTOMDRAW)) {
            return ListViewControl::OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
        }
        if (header == nullptr || header->code != LVN_GETDISPINFOW) break;
        auto& info = *reinterpret_cast<NMLVDISPINFOW*>(lParam);
        if (!(info.item.mask & LVIF_TEXT)) break;
        if (static_cast<size_t>(info.item.iItem) >= m_log.Rows() || info.item.cchTextMax <= 0) return 0;
        const std::wstring text = CellText(static_cast<size_t>(info.item.iItem), info.item.iSubItem);
        lstrcpynW(info.item.pszText, text.c_str(), info.item.cchTextMax);
        return 0;
    }
    case WM_DESTROY: {
        // Closing the log takes the hook out of the watched thread at once.
        KillTimer(window, kTimer);
        m_session.reset();
        std::vector<int> widths;
        for (int column = 0; m_list && column < Column::kCount; ++column) {
            widths.push_back(MulDiv(m_list->ColumnWidth(column), 96, m_dpi));
        }
        if (!widths.empty()) m_place.SaveNumbers(ColumnsValue(), widths);
        // Now, while the list still stands: after this window it would be gone, and its wrapper
        // would destroy a handle the system may have given to another window since.
        m_list.reset();
        break;
    }
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
    for (const HWND child : {m_pause, m_clear, m_save, m_copy, m_filterLabel, m_filter, m_findLabel, m_find,
                             m_everyWindow, m_filterHint, m_showHidden, m_statusLine, m_list->hWnd()}) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(shown), TRUE);
    }
    m_font = std::move(font); // the old one goes once no child shows it
}

void MessageLogWindow::Layout()
{
    if (!m_list) return;
    RECT client = {};
    GetClientRect(hWnd(), &client);
    // Designed in pixels at 96 dpi: left to right, each control's width and the gap after it.
    const int pad = Scaled(6), row = Scaled(24), hint = Scaled(18), status = Scaled(22);
    const struct {
        HWND control;
        int width, gap;
    } line[] = {{m_pause, 80, 6},      {m_clear, 80, 6},  {m_save, 80, 6},  {m_copy, 80, 12},
                {m_filterLabel, 40, 4}, {m_filter, 160, 12}, {m_findLabel, 36, 4}, {m_find, 140, 12},
                {m_everyWindow, 200, 0}};
    int left = pad;
    for (const auto& control : line) {
        MoveWindow(control.control, left, pad, Scaled(control.width), row, TRUE);
        left += Scaled(control.width + control.gap);
    }
    // The button that shows hidden messages again ends the filter's line while there are any.
    const int button = IsWindowVisible(m_showHidden) ? Scaled(100) : 0;
    const int hintTop = pad + row + pad / 2;
    const int gap = button != 0 ? pad : 0;
    MoveWindow(m_filterHint, pad, hintTop, (std::max)(0, static_cast<int>(client.right) - 2 * pad - button - gap), hint, TRUE);
    MoveWindow(m_showHidden, client.right - pad - button, hintTop - Scaled(2), button, hint + Scaled(4), TRUE);
    MoveWindow(m_statusLine, 0, client.bottom - status, client.right, status, TRUE);
    m_list->Move(RECT{0, pad + row + pad / 2 + hint + pad / 2, client.right, client.bottom - status});
    FitColumns();
}

void MessageLogWindow::Poll()
{
    if (!m_session) return;
    // The window's end is the platform's word, not a record's: a handle that no longer names a
    // window of the watched thread. Asked first, so that what it wrote before it went is taken.
    const bool gone = GetWindowThreadProcessId(m_watched, nullptr) != m_watchedThread;
    m_session->Check();
    m_records.clear();
    m_session->Take(m_records, m_dropped);
    m_foreignHandovers = m_session->ForeignHandovers();
    if (m_everyWindowWatched && m_watchedThread == GetCurrentThreadId()) {
        // Watching its own thread, the log would log its own drawing of what it logged, forever.
        m_records.erase(std::remove_if(m_records.begin(), m_records.end(),
                                       [&](const watch_ring::Record& record) {
                                           const auto window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(record.window));
                                           return window == hWnd() || IsChild(hWnd(), window);
                                       }),
                        m_records.end());
    }
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
    } else if (gone) {
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

void MessageLogWindow::ShowStatus()
{
    const bool starting = m_ended.empty() && m_session && m_session->Starting();
    std::wstring text = !m_ended.empty() ? m_ended : (starting ? L"Handing the log over to the hook: " : L"Watching ") + m_description;
    if (m_ended.empty() && m_everyWindowWatched) text += L" and every window of its thread";
    text += L"  |  " + std::to_wstring(m_log.Kept()) + L" kept";
    if (m_log.Rows() != m_log.Kept()) text += L", " + std::to_wstring(m_log.Rows()) + L" shown";
    text += L", " + std::to_wstring(m_dropped) + L" dropped";
    if (m_foreignHandovers != 0) {
        text += L"  |  Refused " + std::to_wstring(m_foreignHandovers) +
                L" handovers of the hook sent by another program: this log goes on";
    }
    if (m_paused) text += L"  |  Paused: " + std::to_wstring(m_passedWhilePaused) + L" passed unlogged";
    if (!m_notice.empty()) text += L"  |  " + m_notice;
    if (text == m_status) return;
    m_status = text;
    SetWindowTextW(m_statusLine, text.c_str());
}

void MessageLogWindow::Say(const std::wstring& notice)
{
    m_notice = notice;
    ShowStatus();
}
