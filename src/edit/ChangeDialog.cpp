// The dialog is described in memory and its controls are made at WM_INITDIALOG from a table in
// dialog units: the library carries no resources of its own. Nothing is written to the window
// until a button is pressed.
#include "edit/ChangeDialog.h"

#include "edit/EditCommands.h"
#include "inspect/StyleNames.h"
#include "inventory/NodeText.h"
#include "platform/RuntimeError.h"
#include "platform/ScreenPlace.h"

#include <cwchar>

namespace {
enum : WORD {
    kCaption = 100, kStyleLabel, kExStyleLabel, kStyles, kExStyles, kBoundsLabel, kLeft, kTop, kWidth, kHeight,
    kApply, kShow, kHide, kEnable, kDisable, kMinimize, kMaximize, kRestore, kFront, kOnTop, kNotOnTop, kClose,
    kUndo, kHistory, kStatus
};
// Dialog units.
constexpr short kDialogWidth = 366, kDialogHeight = 302;

struct Item {
    const wchar_t* windowClass;
    const wchar_t* text;
    DWORD style;
    short x, y, cx, cy;
    WORD id;
};

constexpr DWORD kField = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kPush = BS_PUSHBUTTON | WS_TABSTOP;
const Item kItems[] = {
    {L"Static", L"&Caption:", SS_LEFT, 7, 9, 40, 8, 0},
    {L"Edit", L"", kField, 50, 7, 309, 12, kCaption},
    {L"Static", L"&Style:", SS_LEFT, 7, 25, 172, 8, kStyleLabel},
    {L"Static", L"E&xtended style:", SS_LEFT, 186, 25, 173, 8, kExStyleLabel},
    {L"Static", L"", SS_LEFT, 7, 150, 352, 8, kBoundsLabel},
    {L"Static", L"Left:", SS_LEFT, 7, 164, 20, 8, 0},
    {L"Edit", L"", kField, 28, 162, 40, 12, kLeft},
    {L"Static", L"Top:", SS_LEFT, 76, 164, 20, 8, 0},
    {L"Edit", L"", kField, 97, 162, 40, 12, kTop},
    {L"Static", L"Width:", SS_LEFT, 145, 164, 24, 8, 0},
    {L"Edit", L"", kField, 170, 162, 40, 12, kWidth},
    {L"Static", L"Height:", SS_LEFT, 218, 164, 26, 8, 0},
    {L"Edit", L"", kField, 245, 162, 40, 12, kHeight},
    {L"Button", L"&Apply", BS_DEFPUSHBUTTON | WS_TABSTOP, 303, 180, 56, 14, kApply},
    {L"Button", L"Show", kPush, 7, 199, 56, 14, kShow},
    {L"Button", L"Hide", kPush, 66, 199, 56, 14, kHide},
    {L"Button", L"Enable", kPush, 125, 199, 56, 14, kEnable},
    {L"Button", L"Disable", kPush, 184, 199, 56, 14, kDisable},
    {L"Button", L"Minimize", kPush, 243, 199, 56, 14, kMinimize},
    {L"Button", L"Maximize", kPush, 303, 199, 56, 14, kMaximize},
    {L"Button", L"Restore", kPush, 7, 216, 56, 14, kRestore},
    {L"Button", L"Bring to &front", kPush, 66, 216, 56, 14, kFront},
    {L"Button", L"Always on top", kPush, 125, 216, 56, 14, kOnTop},
    {L"Button", L"Not on top", kPush, 184, 216, 56, 14, kNotOnTop},
    {L"Button", L"Cl&ose window...", kPush, 243, 216, 56, 14, kClose},
    {L"Button", L"&Undo", kPush, 303, 216, 56, 14, kUndo},
    {L"Static", L"Last changes, newest first:", SS_LEFT, 7, 236, 352, 8, 0},
    {L"Edit", L"", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER, 7, 246, 352, 32, kHistory},
    {L"Static", L"", SS_LEFT | SS_NOPREFIX, 7, 282, 290, 16, kStatus},
    {L"Button", L"Close", kPush, 303, 283, 56, 14, IDCANCEL},
};

std::wstring Hex(DWORD bits, int digits)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%0*X", digits, static_cast<unsigned>(bits));
    return text;
}

RECT DialogRect(HWND dialog, short x, short y, short cx, short cy)
{
    RECT rect = {x, y, x + cx, y + cy};
    MapDialogRect(dialog, &rect);
    return rect;
}

bool ReadNumber(HWND dialog, WORD id, LONG& value)
{
    wchar_t text[32] = {};
    GetDlgItemTextW(dialog, id, text, 32);
    wchar_t* end = nullptr;
    value = std::wcstol(text, &end, 10);
    return end != text && *end == L'\0';
}
} // namespace

std::wstring ChangeDialog::Title(HWND window)
{
    return L"Change window " + FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(window)));
}

void ChangeDialog::Show(HWND owner)
{
    std::vector<WORD> words;
    const auto dword = [&](DWORD value) { words.insert(words.end(), {LOWORD(value), HIWORD(value)}); };
    const auto text = [&](const std::wstring& value) {
        words.insert(words.end(), value.begin(), value.end());
        words.push_back(0);
    };
    dword(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    dword(0);
    words.insert(words.end(), {0, 0, 0, static_cast<WORD>(kDialogWidth), static_cast<WORD>(kDialogHeight), 0, 0});
    text(Title(m_window));
    words.push_back(8);
    text(L"MS Shell Dlg");
    if (DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(words.data()), owner,
                                DialogProc, reinterpret_cast<LPARAM>(this)) == -1) {
        RaiseLastError();
    }
}

INT_PTR CALLBACK ChangeDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    auto* self = reinterpret_cast<ChangeDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    HRESULT failure = S_OK;
    switch (message) {
    case WM_INITDIALOG:
        failure = ExceptionBarrier([&] { self->OnInit(dialog); });
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        if (HIWORD(wParam) != BN_CLICKED || LOWORD(wParam) < kApply) return FALSE;
        failure = ExceptionBarrier([&] { self->OnCommand(LOWORD(wParam)); });
        break;
    case WM_DESTROY:
        self->m_styles.reset();
        self->m_exStyles.reset();
        return FALSE;
    default:
        return FALSE;
    }
    if (FAILED(failure)) ExceptionBarrier([&] { self->Tell(DescribeError(failure)); });
    return TRUE;
}

void ChangeDialog::OnInit(HWND dialog)
{
    m_dialog = dialog;
    const auto font = SendMessageW(dialog, WM_GETFONT, 0, 0);
    for (const Item& item : kItems) {
        const RECT rect = DialogRect(dialog, item.x, item.y, item.cx, item.cy);
        const HWND control = CreateWindowExW(0, item.windowClass, item.text, WS_CHILD | WS_VISIBLE | item.style,
                                             rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, dialog,
                                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)),
                                             GetModuleHandleW(nullptr), nullptr);
        if (control == nullptr) RaiseLastError();
        SendMessageW(control, WM_SETFONT, font, FALSE);
    }
    // The lists follow their labels in the tab order.
    m_styles = std::make_unique<CheckListControl>(dialog, kStyles, DialogRect(dialog, 7, 35, 172, 110));
    m_exStyles = std::make_unique<CheckListControl>(dialog, kExStyles, DialogRect(dialog, 186, 35, 173, 110));
    SetWindowPos(m_styles->hWnd(), GetDlgItem(dialog, kStyleLabel), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(m_exStyles->hWnd(), GetDlgItem(dialog, kExStyleLabel), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    const bool child = (GetWindowLongPtrW(m_window, GWL_STYLE) & WS_CHILD) != 0;
    for (const StyleFlag& flag : StyleFlags(child)) m_styleTicks.push_back({flag.mask, flag.name});
    // The low word is the class's own (BS_*, ES_*, ...): a line per bit, by value.
    for (DWORD bit = 0x8000; bit != 0; bit >>= 1) m_styleTicks.push_back({bit, Hex(bit, 4)});
    for (const StyleFlag& flag : ExtendedStyleFlags()) m_exStyleTicks.push_back({flag.mask, flag.name});
    for (const Tick& tick : m_styleTicks) m_styles->Add(tick.name, false);
    for (const Tick& tick : m_exStyleTicks) m_exStyles->Add(tick.name, false);
    SetDlgItemTextW(dialog, kBoundsLabel,
                    child ? L"Position and size in the parent's client area:" : L"Position and size on the screen:");
    // Enter applies what was typed: the dialog manager's default is IDOK, which this dialog lacks.
    SendMessageW(dialog, DM_SETDEFID, kApply, 0);
    // Beside what it was opened from (the form, the Properties dialog), not over it.
    MoveBesideOwner(dialog);
    Refresh();
}

void ChangeDialog::Refresh()
{
    if (!IsWindow(m_window)) return;
    m_caption = ReadWindowValue(ChangeKind::Caption, m_window).text;
    m_style = ReadWindowValue(ChangeKind::Style, m_window).bits;
    m_exStyle = ReadWindowValue(ChangeKind::ExStyle, m_window).bits;
    m_bounds = ReadWindowValue(ChangeKind::Bounds, m_window).rect;
    SetDlgItemTextW(m_dialog, kCaption, m_caption.c_str());
    SetDlgItemTextW(m_dialog, kStyleLabel, (L"&Style: " + Hex(m_style, 8)).c_str());
    SetDlgItemTextW(m_dialog, kExStyleLabel, (L"E&xtended style: " + Hex(m_exStyle, 8)).c_str());
    for (int i = 0; i < m_styles->Count(); ++i) {
        m_styles->SetChecked(i, (m_style & m_styleTicks[i].mask) == m_styleTicks[i].mask);
    }
    for (int i = 0; i < m_exStyles->Count(); ++i) {
        m_exStyles->SetChecked(i, (m_exStyle & m_exStyleTicks[i].mask) == m_exStyleTicks[i].mask);
    }
    const LONG numbers[] = {m_bounds.left, m_bounds.top, m_bounds.right - m_bounds.left, m_bounds.bottom - m_bounds.top};
    const WORD ids[] = {kLeft, kTop, kWidth, kHeight};
    for (int i = 0; i < 4; ++i) SetDlgItemTextW(m_dialog, ids[i], std::to_wstring(numbers[i]).c_str());
    std::wstring history;
    for (const std::wstring& line : m_commands.Editor().HistoryLines()) history += line + L"\r\n";
    // The edit control scrolls while the whole text goes in (to its end, then back to the top),
    // moving what the screen shows of it; lines of earlier paints were left in the box, over the
    // new ones, when a window came or went over the dialog meanwhile. It fills with drawing off
    // and is painted whole once.
    const HWND box = GetDlgItem(m_dialog, kHistory);
    SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    SetWindowTextW(box, history.c_str());
    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(box, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

DWORD ChangeDialog::Ticked(const CheckListControl& list, const std::vector<Tick>& ticks, DWORD from)
{
    // Only the lines ticked or unticked count: WS_CAPTION and its halves stay consistent.
    DWORD bits = from;
    for (int i = 0; i < list.Count(); ++i) {
        const bool was = (from & ticks[i].mask) == ticks[i].mask;
        if (list.Checked(i) != was) bits = list.Checked(i) ? bits | ticks[i].mask : bits & ~ticks[i].mask;
    }
    return bits;
}

void ChangeDialog::ApplyFields()
{
    std::vector<WindowChange> changes;
    WindowValue value;
    const int length = GetWindowTextLengthW(GetDlgItem(m_dialog, kCaption));
    value.text.resize(static_cast<size_t>(length) + 1);
    value.text.resize(static_cast<size_t>(GetDlgItemTextW(m_dialog, kCaption, value.text.data(), length + 1)));
    if (value.text != m_caption) changes.push_back({ChangeKind::Caption, m_window, value});
    if (const DWORD style = Ticked(*m_styles, m_styleTicks, m_style); style != m_style) {
        changes.push_back({ChangeKind::Style, m_window, WindowValue{L"", style}});
    }
    if (const DWORD exStyle = Ticked(*m_exStyles, m_exStyleTicks, m_exStyle); exStyle != m_exStyle) {
        changes.push_back({ChangeKind::ExStyle, m_window, WindowValue{L"", exStyle}});
    }
    LONG left = 0, top = 0, width = 0, height = 0;
    if (!ReadNumber(m_dialog, kLeft, left) || !ReadNumber(m_dialog, kTop, top) || !ReadNumber(m_dialog, kWidth, width) ||
        !ReadNumber(m_dialog, kHeight, height)) {
        Tell(L"Left, top, width and height must be whole numbers: nothing changed");
        return;
    }
    const RECT bounds = {left, top, left + width, top + height};
    if (!EqualRect(&bounds, &m_bounds)) changes.push_back({ChangeKind::Bounds, m_window, WindowValue{L"", 0, bounds}});
    if (changes.empty()) {
        Tell(L"Nothing to apply: no field differs from the window");
        return;
    }
    std::wstring told;
    for (const WindowChange& change : changes) told += (told.empty() ? L"" : L"\r\n") + m_commands.Apply(change);
    Tell(told);
}

void ChangeDialog::OnCommand(WORD id)
{
    const auto state = [&](ChangeKind kind, DWORD bits) { return m_commands.Apply({kind, m_window, WindowValue{L"", bits}}); };
    switch (id) {
    case kApply: ApplyFields(); break;
    case kShow: Tell(state(ChangeKind::Visible, 1)); break;
    case kHide: Tell(state(ChangeKind::Visible, 0)); break;
    case kEnable: Tell(state(ChangeKind::Enabled, 1)); break;
    case kDisable: Tell(state(ChangeKind::Enabled, 0)); break;
    case kMinimize: Tell(state(ChangeKind::ShowState, SW_SHOWMINIMIZED)); break;
    case kMaximize: Tell(state(ChangeKind::ShowState, SW_SHOWMAXIMIZED)); break;
    case kRestore: Tell(state(ChangeKind::ShowState, SW_SHOWNORMAL)); break;
    case kFront: Tell(m_commands.BringToFront(m_window)); break;
    case kOnTop: Tell(state(ChangeKind::Topmost, 1)); break;
    case kNotOnTop: Tell(state(ChangeKind::Topmost, 0)); break;
    case kClose: Tell(m_commands.CloseWindow(m_dialog, m_window)); break;
    case kUndo: Tell(m_commands.UndoLast()); break;
    default: return;
    }
    Refresh();
}

void ChangeDialog::Tell(const std::wstring& text)
{
    SetDlgItemTextW(m_dialog, kStatus, text.c_str());
}
