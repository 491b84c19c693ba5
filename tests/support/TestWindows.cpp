// Test windows of one plain class, and window objects built on them.
#include "support/TestWindows.h"

#include "window_model/ScreenWindowInfo.h"

#include <gtest/gtest.h>

#include <cwchar>

const wchar_t* TestWindowClass()
{
    static const wchar_t* const name = [] {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"WindowInventoryTestWindow";
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        RegisterClassW(&windowClass);
        return windowClass.lpszClassName;
    }();
    return name;
}

std::wstring HandleText(HWND window)
{
    wchar_t text[16];
    swprintf(text, 16, L"%08lXh", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window) & 0xFFFFFFFF));
    return text;
}

std::wstring NodeTextOf(HWND window, const std::wstring& caption, const std::wstring& className)
{
    return L"hWnd: " + HandleText(window) + L"  \x3010" + caption + L"\x3011  [Class:" + className + L"]";
}

std::wstring KeyOf(HWND window)
{
    return L"HWND" + std::to_wstring(HandleValue(window));
}

std::wstring KeyOfProcess(DWORD processId)
{
    return L"PID" + std::to_wstring(processId);
}

UniqueWindow CreateTopWindow(const std::wstring& caption, DWORD style)
{
    return UniqueWindow(CreateWindowExW(0, TestWindowClass(), caption.c_str(), style, 10, 10, 300, 200, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr));
}

UniqueWindow CreateChildWindow(HWND parent, const std::wstring& caption)
{
    return UniqueWindow(CreateWindowExW(0, TestWindowClass(), caption.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 50, 20,
                                        parent, nullptr, GetModuleHandleW(nullptr), nullptr));
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

ComPtr<IScreenWindowInfo> ObjectFor(HWND window)
{
    ComPtr<IScreenWindowInfo> object;
    EXPECT_EQ(S_OK, ScreenWindowInfo::Create(object.put()));
    if (window != nullptr) {
        EXPECT_EQ(S_OK, object->put_hWnd(HandleValue(window)));
    }
    return object;
}
