// A SyntheticDesktop helper process (tools/SyntheticDesktop.cpp) started beside the running
// executable: windows of a chosen shape in another process, for scans to find.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <string>
#include <vector>

class SyntheticDesktopProcess {
public:
    // Starts "SyntheticDesktop.exe <shape arguments>" without waiting for its windows. The
    // helper ends with this object, or with this process if it is never destroyed.
    explicit SyntheticDesktopProcess(const std::wstring& shapeArguments);
    ~SyntheticDesktopProcess();
    SyntheticDesktopProcess(const SyntheticDesktopProcess&) = delete;
    SyntheticDesktopProcess& operator=(const SyntheticDesktopProcess&) = delete;

    // False when the executable could not be started (the reason is in Error()).
    bool Started() const noexcept { return static_cast<bool>(m_process); }
    const std::wstring& Error() const noexcept { return m_error; }
    DWORD ProcessId() const noexcept { return m_processId; }

    // Waits until all its windows exist; false on time-out or when the helper ended first.
    bool WaitReady(DWORD timeoutMs);
    // Asks the helper to end and waits for it; a helper that does not end in time is killed.
    void Quit();

    // Its top-level windows of the helper's own class, in z-order.
    std::vector<HWND> TopWindows() const;

    static constexpr const wchar_t* kWindowClass = L"SyntheticDesktopWindow";

private:
    UniqueHandle m_ready;
    UniqueHandle m_quit;
    UniqueHandle m_process;
    DWORD m_processId = 0;
    std::wstring m_error;
};
