// The system's modeless Find dialog: it reports each "Find Next" to its owner through the
// registered FINDMSGSTRING message, and needs the message loop to route its keys to it.
#pragma once
#include "inspect/TreeSearch.h"
#include "platform/UniqueHandles.h"

#include <windows.h>
#include <commdlg.h>

#include <optional>

class FindDialog {
public:
    explicit FindDialog(HWND owner) noexcept : m_owner(owner) {}
    FindDialog(const FindDialog&) = delete;
    FindDialog& operator=(const FindDialog&) = delete;

    // The message the dialog sends its owner.
    static UINT Message() noexcept;

    // Shows the dialog, or brings the open one forward.
    void Open();
    HWND hWnd() const noexcept { return m_dialog.get(); }
    // The loop's routing: true when `message` was the dialog's and has been handled.
    bool RouteMessage(MSG& message) noexcept;
    // Reads the owner's FINDMSGSTRING: the search the user asked for, or nothing.
    std::optional<FindQuery> OnMessage(LPARAM lParam) noexcept;
    // The last search asked for, for repeating it.
    const std::optional<FindQuery>& LastQuery() const noexcept { return m_last; }

private:
    HWND m_owner;
    wchar_t m_text[256] = {};
    FINDREPLACEW m_request = {};
    UniqueWindow m_dialog;
    std::optional<FindQuery> m_last;
};
