// The log window's commands: its buttons, its keys (the accelerators, then the dialog manager
// for Tab, the mnemonics, Enter and Esc, as in a dialog), saving, copying and the find.
#include "watch/MessageLogWindow.h"

#include "export/InventoryExport.h"
#include "inspect/TreeCopy.h"
#include "platform/RuntimeError.h"
#include "watch/MessageLogFile.h"

#include <windowsx.h>

bool MessageLogWindow::TranslateLogMessage(MSG& message) noexcept
{
    if (!m_window || message.hwnd == nullptr || (message.hwnd != hWnd() && !IsChild(hWnd(), message.hwnd))) return false;
    // In the text boxes Ctrl+C and Ctrl+A are the box's own.
    const bool inBox = message.hwnd == m_filter || message.hwnd == m_find;
    const bool boxKey = message.message == WM_KEYDOWN && GetKeyState(VK_CONTROL) < 0 &&
                        (message.wParam == 'C' || message.wParam == 'A');
    if (!(inBox && boxKey) && TranslateAcceleratorW(hWnd(), m_keys.get(), &message)) return true;
    return IsDialogMessageW(hWnd(), &message) != FALSE;
}

void MessageLogWindow::OnCommand(UINT id, UINT code)
{
    HRESULT failed = ExceptionBarrier([&] {
        switch (id) {
        case kPauseId:
            if (code == BN_CLICKED) SetPaused(!m_paused);
            break;
        case kClearId:
            if (code == BN_CLICKED) Clear();
            break;
        case kSaveId:
            if (code <= 1) Save();
            break;
        case kCopyId:
            if (code <= 1) CopySelection();
            break;
        case kFilterId:
            if (code == EN_CHANGE) {
                wchar_t text[128] = {};
                GetWindowTextW(m_filter, text, 128);
                SetFilter(text);
            }
            break;
        case kEveryWindowId:
            if (code == BN_CLICKED) SetEveryWindow(IsDlgButtonChecked(hWnd(), kEveryWindowId) == BST_CHECKED);
            break;
        case kFocusFindId:
            SetFocus(m_find);
            break;
        case kSelectAllId:
            m_list->SelectAll();
            break;
        case kFindNextId:
        case kFindPreviousId:
            FindNext(id == kFindNextId);
            break;
        case kHideId:
            if (m_menuRow) HideLike(*m_menuRow);
            break;
        case kShowHiddenId:
            if (code <= 1) ShowHidden();
            break;
        case IDOK: // Enter: in the find box, the next row down
            if (GetFocus() == m_find) FindNext(true);
            break;
        case IDCANCEL: // Esc leaves the find box first, then closes the log
            if (GetFocus() == m_find) {
                SetFocus(m_list->hWnd());
            } else {
                PostMessageW(hWnd(), WM_CLOSE, 0, 0);
            }
            break;
        default:
            break;
        }
    });
    if (FAILED(failed)) Say(DescribeError(failed));
}

void MessageLogWindow::ShowContextMenu(LPARAM position)
{
    POINT at = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    m_menuRow = position == -1 ? m_list->FocusedRow() : m_list->RowAt(at);
    if (position == -1) {
        RECT list = {};
        GetWindowRect(m_list->hWnd(), &list);
        at = {list.left + 8, list.top + 24};
    }
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) RaiseLastError();
    const struct {
        UINT id;
        const wchar_t* text;
    } items[] = {{kCopyId, L"&Copy\tCtrl+C"},
                 {kSelectAllId, L"Select &all\tCtrl+A"},
                 {kSaveId, L"&Save...\tCtrl+S"},
                 {kFocusFindId, L"&Find\tCtrl+F"}};
    for (const auto& item : items) AppendMenuW(menu.get(), MF_STRING, item.id, item.text);
    const bool onMessage = m_menuRow && *m_menuRow < m_log.Rows() && m_log.Row(*m_menuRow).kind != MessageLog::Kind::Dropped;
    if (onMessage || !m_log.Hidden().empty()) AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    if (onMessage) {
        // The name as the row shows it; a registered one may hold an ampersand.
        std::wstring name = MessageLog::Name(m_log.Row(*m_menuRow));
        for (size_t at = 0; (at = name.find(L'&', at)) != std::wstring::npos; at += 2) name.insert(at, 1, L'&');
        AppendMenuW(menu.get(), MF_STRING, kHideId, (L"&Hide messages like this (" + name + L")").c_str());
    }
    if (!m_log.Hidden().empty()) AppendMenuW(menu.get(), MF_STRING, kShowHiddenId, L"Show hidden messages &again");
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, hWnd(), nullptr));
    if (chosen != 0) OnCommand(chosen, 0);
}

void MessageLogWindow::HideLike(size_t row)
{
    if (row >= m_log.Rows() || m_log.Row(row).kind == MessageLog::Kind::Dropped) return;
    m_log.Hide(MessageLog::Name(m_log.Row(row)));
    m_list->SetRowCount(m_log.Rows(), true);
    ShowFilterHint();
    ShowStatus();
}

void MessageLogWindow::ShowHidden()
{
    m_log.ShowHidden();
    m_list->SetRowCount(m_log.Rows(), true);
    ShowFilterHint();
    ShowStatus();
}

void MessageLogWindow::ShowFilterHint()
{
    std::wstring hint;
    for (const std::wstring& name : m_log.Hidden()) hint += (hint.empty() ? L"Hidden: " : L", ") + name;
    if (!hint.empty()) hint += L".   ";
    hint += L"Filter: part of a name, a group (mouse keyboard paint timer command window control user) or a window's "
            L"handle; all words must match.   Ctrl+S save, Ctrl+C copy rows, Ctrl+F find, F3 / Shift+F3 next / "
            L"previous, Esc close";
    SetWindowTextW(m_filterHint, hint.c_str());
    const bool any = !m_log.Hidden().empty();
    if (any != (IsWindowVisible(m_showHidden) != FALSE)) {
        if (!any && GetFocus() == m_showHidden) SetFocus(m_list->hWnd());
        ShowWindow(m_showHidden, any ? SW_SHOW : SW_HIDE);
        Layout();
    }
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

void MessageLogWindow::SetEveryWindow(bool everyWindow)
{
    if (everyWindow == m_everyWindowWatched && m_session) return;
    Poll(); // what the old watch wrote is taken before its channel goes
    m_log.Interrupt();
    StartWatch(everyWindow ? WatchSession::Scope::Thread : WatchSession::Scope::Window);
    CheckDlgButton(hWnd(), kEveryWindowId, everyWindow ? BST_CHECKED : BST_UNCHECKED);
    ShowStatus();
}

void MessageLogWindow::Save()
{
    if (const std::optional<std::wstring> path = AskLogPath(hWnd())) SaveTo(*path);
}

bool MessageLogWindow::SaveTo(const std::wstring& path)
{
    const HRESULT failed = ExceptionBarrier([&] { SaveLog(m_columns, m_description, path); });
    Say(FAILED(failed) ? DescribeExportFailure(failed, path)
                       : L"Saved " + std::to_wstring(m_log.Rows()) + L" rows to " + path);
    return SUCCEEDED(failed);
}

bool MessageLogWindow::CopySelection()
{
    const std::vector<size_t> rows = m_list->SelectedRows();
    if (rows.empty()) {
        Say(L"Select the rows to copy first (Ctrl+A selects all)");
        return false;
    }
    const bool copied = CopyTextToClipboard(hWnd(), LogText(m_columns, rows));
    Say(copied ? L"Copied " + std::to_wstring(rows.size()) + L" rows"
               : std::wstring(L"Nothing copied: another program holds the clipboard"));
    return copied;
}

bool MessageLogWindow::FindNext(bool down)
{
    wchar_t what[256] = {};
    GetWindowTextW(m_find, what, 256);
    if (what[0] == L'\0') {
        SetFocus(m_find);
        return false;
    }
    const std::optional<size_t> focused = m_list->FocusedRow();
    const size_t rows = m_log.Rows();
    size_t start = down ? 0 : (rows > 0 ? rows - 1 : 0);
    if (focused && rows > 0) start = down ? (*focused + 1) % rows : (*focused + rows - 1) % rows;
    const std::optional<size_t> found = m_columns.Find(what, start, down);
    if (!found) {
        Say(L"Not found: \"" + std::wstring(what) + L"\"");
        return false;
    }
    m_list->Select(*found);
    Say(L"");
    return true;
}
