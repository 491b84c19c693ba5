// Polls for the message box and presses its OK button.
#include "support/MessageBoxCloser.h"

namespace {
struct Search {
    const std::wstring* caption;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    // Nothing here may send a message: the box's thread is busy whenever no box is up.
    wchar_t title[256] = {};
    InternalGetWindowText(window, title, 256);
    if (lstrcmpW(className, L"#32770") == 0 && *search->caption == title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

MessageBoxCloser::MessageBoxCloser(std::wstring caption) : m_caption(std::move(caption)), m_thread([this] { Watch(); })
{
}

MessageBoxCloser::~MessageBoxCloser()
{
    m_stop = true;
    m_thread.join();
}

std::vector<std::wstring> MessageBoxCloser::Texts() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_texts;
}

void MessageBoxCloser::Watch()
{
    while (!m_stop) {
        Search search{&m_caption, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            // The message text is the box's static control (id 0xFFFF).
            wchar_t text[4096] = {};
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(GetDlgItem(search.found, 0xFFFF), WM_GETTEXT, std::size(text),
                                reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000, &ignored);
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_texts.push_back(text);
            }
            PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(search.found, IDOK)));
            // Wait for this box to go before looking for the next.
            while (!m_stop && IsWindow(search.found) && IsWindowVisible(search.found)) Sleep(5);
        }
        Sleep(10);
    }
}
