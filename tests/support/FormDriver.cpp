// Finding and driving the product's windows across processes.
#include "support/FormDriver.h"

#include <commctrl.h>

namespace {
struct BoxSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindBoxOf(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<BoxSearch*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    wchar_t title[64] = {};
    InternalGetWindowText(window, title, 64);
    if (processId == search->processId && IsWindowVisible(window) && lstrcmpW(className, L"#32770") == 0 &&
        lstrcmpW(title, L"Window Inventory") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct FormSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindFormOf(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<FormSearch*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    wchar_t title[64] = {};
    InternalGetWindowText(window, title, 64);
    if ((search->processId == 0 || processId == search->processId) && IsWindowVisible(window) &&
        lstrcmpW(className, L"WindowInventoryForm1") == 0 && lstrcmpW(title, L"Form1") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

template <class Probe>
auto PollUntil(DWORD timeoutMs, Probe probe) -> decltype(probe())
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (auto result = probe()) return result;
        if (GetTickCount() - start >= timeoutMs) return {};
        Sleep(20);
    }
}
} // namespace

HWND WaitForForm1(DWORD processId, DWORD timeoutMs)
{
    return PollUntil(timeoutMs, [&] {
        FormSearch search{processId, nullptr};
        EnumWindows(FindFormOf, reinterpret_cast<LPARAM>(&search));
        return search.found;
    });
}

void ChooseScanCommand(HWND form)
{
    PostMessageW(form, WM_SYSCOMMAND, SC_KEYMENU, 'c');
}

HWND WaitForMessageBox(HWND form, DWORD timeoutMs)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(form, &processId);
    return PollUntil(timeoutMs, [&] {
        BoxSearch search{processId, nullptr};
        EnumWindows(FindBoxOf, reinterpret_cast<LPARAM>(&search));
        return search.found;
    });
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
