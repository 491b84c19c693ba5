// A window's program answers WM_CLOSE in its own time (it may ask its user first), so whether
// the window closed is read once a timer fires rather than at once.
#include "edit/EditCommands.h"

#include "edit/ChangeDialog.h"
#include "inventory/NodeText.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"

namespace {
constexpr UINT kCloseCheckMs = 1000;

std::wstring Handle(HWND window)
{
    return FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(window)));
}

UINT_PTR TimerId(const EditCommands* commands)
{
    return reinterpret_cast<UINT_PTR>(commands);
}
} // namespace

EditCommands::EditCommands(HWND owner, TreeInspector& inspector) noexcept : m_owner(owner), m_inspector(inspector)
{
}

EditCommands::~EditCommands()
{
    KillTimer(m_owner, TimerId(this));
}

std::wstring EditCommands::Say(const std::wstring& text)
{
    m_inspector.Say(text);
    return text;
}

void EditCommands::OpenChangeDialog()
{
    if (const HWND window = m_inspector.SelectedWindow()) OpenChangeDialog(m_owner, window);
}

void EditCommands::OpenChangeDialog(HWND dialogOwner, HWND window)
{
    ChangeDialog dialog(*this, window);
    dialog.Show(dialogOwner);
}

void EditCommands::BringToFront()
{
    if (const HWND window = m_inspector.SelectedWindow()) BringToFront(window);
}

void EditCommands::CloseWindow()
{
    if (const HWND window = m_inspector.SelectedWindow()) CloseWindow(m_owner, window);
}

void EditCommands::Undo()
{
    UndoLast();
}

std::wstring EditCommands::Apply(const WindowChange& change)
{
    return Say(m_editor.Apply(change).text);
}

std::wstring EditCommands::BringToFront(HWND window)
{
    // A child comes to the front with the top-level window that holds it.
    const HWND root = GetAncestor(window, GA_ROOT);
    WindowValue front;
    front.bits = kActiveInFront;
    return Apply({ChangeKind::BringToFront, root != nullptr ? root : window, front});
}

std::wstring EditCommands::CloseWindow(HWND confirmOwner, HWND window)
{
    wchar_t caption[256] = {};
    InternalGetWindowText(window, caption, 256);
    const std::wstring question = L"Close window " + Handle(window) + L" \"" + caption +
                                  L"\"?\r\n\r\nIts program is sent WM_CLOSE and decides what happens. "
                                  L"Closing cannot be undone.";
    if (ShowMessageBox(confirmOwner, question, kApplicationTitle, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
        return Say(L"Window " + Handle(window) + L" was not closed");
    }
    WindowValue closed;
    const WindowEditor::Outcome outcome = m_editor.Apply({ChangeKind::Close, window, closed});
    if (outcome.changed) {
        m_closing = window;
        SetTimer(m_owner, TimerId(this), kCloseCheckMs, &CheckClosed);
    }
    return Say(outcome.text);
}

void CALLBACK EditCommands::CheckClosed(HWND owner, UINT, UINT_PTR id, DWORD) noexcept
{
    KillTimer(owner, id);
    auto* self = reinterpret_cast<EditCommands*>(id);
    ExceptionBarrier([&] {
        const std::wstring window = L"Window " + Handle(self->m_closing);
        self->Say(IsWindow(self->m_closing)
                      ? window + L" is still open: its program did not close it (it may be asking its user)"
                      : window + L" is closed");
    });
}

std::wstring EditCommands::UndoLast()
{
    return Say(m_editor.Undo().text);
}
