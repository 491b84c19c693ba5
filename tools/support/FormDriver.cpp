// Finding and driving the product's windows across processes.
#include "support/FormDriver.h"

#include <commctrl.h>

namespace {
// A visible top-level window of a class and caption, in one process (any when 0). Captions are
// read without sending a message: the product's thread may be busy.
struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    wchar_t caption[64] = {};
    InternalGetWindowText(window, caption, 64);
    if ((search->processId == 0 || processId == search->processId) && IsWindowVisible(window) &&
        lstrcmpW(className, search->className) == 0 && lstrcmpW(caption, search->caption) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopWindow(DWORD processId, const wchar_t* className, const wchar_t* caption)
{
    WindowSearch search{processId, className, caption, nullptr};
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

HWND WaitForForm1(DWORD processId, DWORD timeoutMs)
{
    return PollUntil(timeoutMs, [&] { return FindTopWindow(processId, L"WindowInventoryForm1", L"Form1"); });
}

void ChooseScanCommand(HWND form)
{
    PostMessageW(form, WM_SYSCOMMAND, SC_KEYMENU, 'c');
}

HWND WaitForMessageBox(HWND form, DWORD timeoutMs)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(form, &processId);
    return PollUntil(timeoutMs, [&] { return FindTopWindow(processId, L"#32770", L"Window Inventory"); });
}

std::wstring MessageBoxText(HWND box)
{
    wchar_t text[256] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(GetDlgItem(box, 0xFFFF), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000,
                        &ignored);
    return text;
}

void PressOk(HWND box)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    PollUntil(10000, [&] { return !IsWindow(box); });
}

HWND FindTree(HWND form)
{
    return FindWindowExW(form, nullptr, WC_TREEVIEWW, nullptr);
}

bool WaitForTreeItems(HWND tree, DWORD timeoutMs)
{
    return PollUntil(timeoutMs, [&] {
        DWORD_PTR count = 0;
        SendMessageTimeoutW(tree, TVM_GETCOUNT, 0, 0, SMTO_BLOCK, 1000, &count);
        return count > 0;
    });
}
