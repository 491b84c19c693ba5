// The benchmark's window and its message pump.
#include "BenchHost.h"

#include <windows.h>
#include <commctrl.h>

BenchHost::BenchHost()
{
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&init);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"ScanBenchHost";
    RegisterClassW(&windowClass);
    // Visible, as the program's tree is: a hidden tree would never paint, suspended or not.
    m_window.reset(CreateWindowExW(0, L"ScanBenchHost", L"ScanBench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 560,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    m_tree = std::make_unique<TreeViewControl>(m_window.get(), 1, RECT{0, 0, 680, 480});
    m_progress = std::make_unique<ProgressBarControl>(m_window.get(), 2, RECT{0, 490, 680, 510});
    PumpMessages();
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
