// The dialog is described in memory: the library carries no resources of its own. It lays
// itself out again on WM_DPICHANGED, on Windows 8.1 too, where the system would only move it.
#include "inspect/TextDialog.h"

#include "controls/Twips.h"
#include "platform/RuntimeError.h"
#include "platform/ScreenPlace.h"
#include "platform/UniqueHandles.h"

#include <iterator>
#include <vector>

namespace {
// The text control has the id of a message box's text, so that whatever reads one reads both.
constexpr WORD kTextId = 0xFFFF;
// Dialog units.
constexpr short kWidth = 320, kHeight = 230, kMargin = 7, kButtonWidth = 50, kButtonHeight = 14;
constexpr int kLabelColumn = 56;

class TemplateWriter {
public:
    void Word(WORD value) { m_words.push_back(value); }
    void Dword(DWORD value)
    {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const wchar_t* text)
    {
        for (; *text != L'\0'; ++text) Word(*text);
        Word(0);
    }
    void Align()
    {
        if (m_words.size() % 2 != 0) Word(0);
    }
    // One item: DLGITEMTEMPLATE, its class as a predefined atom, its text, no creation data.
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom, const wchar_t* text)
    {
        Align();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        for (short value : {x, y, cx, cy}) Word(static_cast<WORD>(value));
        Word(id);
        Word(0xFFFF);
        Word(classAtom);
        Text(text);
        Word(0);
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    std::vector<WORD> m_words;
};

struct DialogState {
    const std::wstring* text = nullptr;
    // As the dialog manager laid the dialog out: its DPI, font and controls (client coordinates),
    // which every other DPI is scaled from.
    int dpi = 96;
    LOGFONTW font = {};
    RECT controls[2] = {};
    UniqueFont scaledFont;
};
constexpr int kControlIds[] = {kTextId, IDOK};

RECT RectInDialog(HWND dialog, int id)
{
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void Remember(HWND dialog, DialogState& state)
{
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    state.dpi = WindowDpi(dialog);
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof state.font, &state.font);
    for (size_t i = 0; i < std::size(kControlIds); ++i) state.controls[i] = RectInDialog(dialog, kControlIds[i]);
}

void LayOutAt(HWND dialog, DialogState& state, int dpi, const RECT& suggested)
{
    LOGFONTW font = state.font;
    font.lfHeight = MulDiv(font.lfHeight, dpi, state.dpi);
    UniqueFont scaled(CreateFontIndirectW(&font));
    SetWindowPos(dialog, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    for (size_t i = 0; i < std::size(kControlIds); ++i) {
        const HWND control = GetDlgItem(dialog, kControlIds[i]);
        const RECT& at = state.controls[i];
        if (scaled) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(scaled.get()), TRUE);
        MoveWindow(control, MulDiv(at.left, dpi, state.dpi), MulDiv(at.top, dpi, state.dpi),
                   MulDiv(at.right - at.left, dpi, state.dpi), MulDiv(at.bottom - at.top, dpi, state.dpi), TRUE);
    }
    if (scaled) state.scaledFont = std::move(scaled); // the old one goes once no control shows it
    RedrawWindow(dialog, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_INITDIALOG: {
        auto& state = *reinterpret_cast<DialogState*>(lParam);
        Remember(dialog, state);
        // Beside the form, not over the tree it tells about.
        MoveBesideOwner(dialog);
        const HWND text = GetDlgItem(dialog, kTextId);
        const int tabStop = kLabelColumn;
        SendMessageW(text, EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));
        SetWindowTextW(text, state.text->c_str());
        SetFocus(text);
        SendMessageW(text, EM_SETSEL, 0, 0);
        return FALSE; // the focus is set
    }
    case WM_DPICHANGED:
        // Handled here, so that the dialog manager does not scale it a second time.
        LayOutAt(dialog, *reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER)), HIWORD(wParam),
                 *reinterpret_cast<const RECT*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}
} // namespace

void ShowTextDialog(HWND owner, const std::wstring& title, const std::wstring& text)
{
    TemplateWriter writer;
    writer.Dword(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    writer.Dword(0);
    writer.Word(2); // items
    for (short value : {short(0), short(0), kWidth, kHeight}) writer.Word(static_cast<WORD>(value));
    writer.Word(0); // no menu
    writer.Word(0); // the dialog class
    writer.Text(title.c_str());
    writer.Word(8);
    writer.Text(L"MS Shell Dlg");
    const short textHeight = kHeight - 3 * kMargin - kButtonHeight;
    writer.Item(ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP, kMargin, kMargin,
                kWidth - 2 * kMargin, textHeight, kTextId, 0x0081 /* Edit */, L"");
    writer.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, kWidth - kMargin - kButtonWidth, kHeight - kMargin - kButtonHeight,
                kButtonWidth, kButtonHeight, IDOK, 0x0080 /* Button */, L"Close");
    DialogState context;
    context.text = &text;
    if (DialogBoxIndirectParamW(GetModuleHandleW(nullptr), writer.Get(), owner, DialogProc,
                                reinterpret_cast<LPARAM>(&context)) == -1) {
        RaiseLastError();
    }
}
