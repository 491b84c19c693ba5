// A SyntheticDesktop helper process (tools/SyntheticDesktop.cpp) started beside the running
// executable: windows of a chosen shape in another process, for scans to find.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <string>
#include <vector>

class SyntheticDesktopProcess {
public:
    // Which build of the helper runs: the 32-bit one, or SyntheticDesktop64.exe in a 64-bit
    // process (under WoW64 the windows of 64-bit programs are most of what users inspect).
    enum class Bits { ThirtyTwo, SixtyFour };
    // Starts "SyntheticDesktop.exe <shape arguments>" without waiting for its windows. The
    // helper ends with this object, or with this process if it is never destroyed.
    explicit SyntheticDesktopProcess(const std::wstring& shapeArguments, Bits bits = Bits::ThirtyTwo);
    ~SyntheticDesktopProcess();
    SyntheticDesktopProcess(const SyntheticDesktopProcess&) = delete;
    SyntheticDesktopProcess& operator=(const SyntheticDesktopProcess&) = delete;

    // False when the executable could not be started (the reason is in Error()).
    bool Started() const noexcept { return static_cast<bool>(m_process); }
    const std::wstring& Error() const noexcept { return m_error; }
    DWORD ProcessId() const noexcept { return m_processId; }

    // Waits for the helper's report of the windows it made; false on time-out or when the
    // helper ended first.
    bool WaitReady(DWORD timeoutMs);
    // Asks the helper to end and waits for it; a helper that does not end in time is killed.
    void Quit();

    // The top-level windows the helper reported, as it made them. The report comes before the
    // helper changes anything, so a helper that churns cannot make this list race its changes.
    const std::vector<HWND>& TopWindows() const noexcept { return m_topWindows; }

    static constexpr const wchar_t* kWindowClass = L"SyntheticDesktopWindow";
    // Whether the 64-bit build can run here: only on 64-bit Windows, where this 32-bit process
    // runs under WoW64. The builds that can, the 32-bit one first.
    static bool SixtyFourBitRuns() noexcept;
    static std::vector<Bits> RunnableBits();
    // The executable's name as the tree shows it, for each build.
    static const wchar_t* ExeName(Bits bits) noexcept
    {
        return bits == Bits::SixtyFour ? L"SyntheticDesktop64.exe" : L"SyntheticDesktop.exe";
    }

private:
    UniqueHandle m_quit;
    UniqueHandle m_process;
    UniqueHandle m_report; // the read end of the helper's standard output
    DWORD m_processId = 0;
    std::vector<HWND> m_topWindows;
    std::wstring m_error;
};
