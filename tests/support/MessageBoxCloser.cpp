// A WH_CALLWNDPROCRET hook of this thread: once a dialog has answered WM_INITDIALOG its text,
// icon and buttons are set, and OK is posted for its modal loop to take.
#include "support/MessageBoxCloser.h"

namespace {
MessageBoxCloser* g_active = nullptr;
}

MessageBoxCloser::MessageBoxCloser(const std::wstring& title)
    : m_hook(SetWindowsHookExW(WH_CALLWNDPROCRET, AfterMessage, nullptr, GetCurrentThreadId()))
{
    lstrcpynW(m_title, title.c_str(), 128);
    g_active = this;
}

std::vector<std::wstring> MessageBoxCloser::Texts() const
{
    std::vector<std::wstring> texts;
    for (int i = 0; i < m_count; ++i) texts.emplace_back(m_boxes[i].text);
    return texts;
}

MessageBoxCloser::~MessageBoxCloser()
{
    UnhookWindowsHookEx(m_hook);
    g_active = nullptr;
}

LRESULT CALLBACK MessageBoxCloser::AfterMessage(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    wchar_t className[16] = {};
    if (code == HC_ACTION && call->message == WM_INITDIALOG && g_active != nullptr && g_active->m_count < 8 &&
        GetClassNameW(call->hwnd, className, 16) && lstrcmpW(className, L"#32770") == 0) {
        wchar_t title[128] = {};
        GetWindowTextW(call->hwnd, title, 128);
        if (g_active->m_title[0] != L'\0' && lstrcmpW(title, g_active->m_title) != 0) {
            return CallNextHookEx(nullptr, code, wParam, lParam);
        }
        ShownBox& box = g_active->m_boxes[g_active->m_count++];
        lstrcpynW(box.title, title, 64);
        GetDlgItemTextW(call->hwnd, 0xFFFF, box.text, 4096); // the message text's static control
        box.owner = GetWindow(call->hwnd, GW_OWNER);
        box.topmost = (GetWindowLongW(call->hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        for (const int iconId : {0x14, 0x440}) { // Windows' icon control, Wine's
            if (const HWND icon = GetDlgItem(call->hwnd, iconId)) {
                box.icon = reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0));
            }
        }
        for (int id = IDOK; id <= IDCONTINUE; ++id) {
            const HWND button = GetDlgItem(call->hwnd, id);
            // By style: the box itself is not shown yet.
            if (button != nullptr && (GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE)) box.buttons |= 1u << id;
        }
        PostMessageW(call->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(call->hwnd, IDOK)));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
