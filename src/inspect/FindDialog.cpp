// FindTextW keeps pointers into this object for as long as the dialog is open.
#include "inspect/FindDialog.h"

#include "platform/RuntimeError.h"

UINT FindDialog::Message() noexcept
{
    static const UINT message = RegisterWindowMessageW(FINDMSGSTRINGW);
    return message;
}

void FindDialog::Open()
{
    if (m_dialog) {
        SetActiveWindow(m_dialog.get());
        return;
    }
    m_request = {};
    m_request.lStructSize = sizeof m_request;
    m_request.hwndOwner = m_owner;
    // The whole node text is searched: a whole-word match means nothing there.
    m_request.Flags = FR_DOWN | FR_HIDEWHOLEWORD;
    if (m_last) {
        lstrcpynW(m_text, m_last->text.c_str(), static_cast<int>(std::size(m_text)));
        if (!m_last->down) m_request.Flags &= ~FR_DOWN;
        if (m_last->matchCase) m_request.Flags |= FR_MATCHCASE;
    }
    m_request.lpstrFindWhat = m_text;
    m_request.wFindWhatLen = static_cast<WORD>(sizeof m_text);
    m_dialog.reset(FindTextW(&m_request));
    if (!m_dialog) RaiseLastError();
}

bool FindDialog::RouteMessage(MSG& message) noexcept
{
    return m_dialog && IsDialogMessageW(m_dialog.get(), &message);
}

std::optional<FindQuery> FindDialog::OnMessage(LPARAM lParam) noexcept
{
    const auto* request = reinterpret_cast<const FINDREPLACEW*>(lParam);
    if (request != &m_request) return std::nullopt;
    if ((request->Flags & FR_DIALOGTERM) != 0) {
        m_dialog.release(); // it destroys itself
        return std::nullopt;
    }
    if ((request->Flags & FR_FINDNEXT) == 0) return std::nullopt;
    m_last = FindQuery{m_text, (request->Flags & FR_MATCHCASE) != 0, (request->Flags & FR_DOWN) != 0};
    return m_last;
}
