// Creation and the message loop run on the same thread, which owns the windows.
#include "OwnWindows.h"

#include "support/TestWindows.h"

OwnWindows::OwnWindows()
{
    const HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = std::thread([this, ready] { Run(ready); });
    WaitForSingleObject(ready, 30000);
    CloseHandle(ready);
}

OwnWindows::~OwnWindows()
{
    // The thread has its queue before it signals ready, so the quit cannot be lost.
    PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    if (m_thread.joinable()) m_thread.join();
}

std::wstring OwnWindows::LongCaption()
{
    std::wstring caption = L"Long caption: beyond byte 254 the scan shows nothing ";
    for (int i = 0; caption.size() < 300; ++i) caption += static_cast<wchar_t>(L'a' + i % 26);
    return caption;
}

std::wstring OwnWindows::ForeignCaption()
{
    return L"Caf\x00E9 \x65E5\x672C\x8A9E \x0416\x0416 \x2603";
}

void OwnWindows::Run(HANDLE ready)
{
    m_threadId = GetCurrentThreadId();
    constexpr DWORD topStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    // Declared top first: children are destroyed before their parents when the thread ends.
    UniqueWindow top = CreateTopWindow(L"E2E chain top", topStyle);
    UniqueWindow a = CreateChildWindow(top.get(), L"E2E chain A");
    UniqueWindow b = CreateChildWindow(a.get(), L"E2E chain B");
    UniqueWindow c = CreateChildWindow(b.get(), L"E2E chain C");
    UniqueWindow untitled = CreateTopWindow(L"", topStyle);
    UniqueWindow longTitled = CreateTopWindow(LongCaption(), topStyle);
    UniqueWindow foreign = CreateTopWindow(ForeignCaption(), topStyle);
    if (top && a && b && c && untitled && longTitled && foreign) {
        chainTop = top.get();
        chainA = a.get();
        chainB = b.get();
        chainC = c.get();
        noCaption = untitled.get();
        longCaption = longTitled.get();
        foreignCaption = foreign.get();
    }
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // makes sure the queue exists
    SetEvent(ready);
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
