// Starting and ending SyntheticDesktop helpers; their report arrives on their standard output.
#include "support/SyntheticDesktopProcess.h"

#include "support/ProgramPath.h"

#include <cstdio>
#include <sstream>

SyntheticDesktopProcess::SyntheticDesktopProcess(const std::wstring& shapeArguments, Bits bits)
{
    static LONG counter = 0;
    const std::wstring quitName = L"SyntheticDesktop." + std::to_wstring(GetCurrentProcessId()) + L"." +
                                  std::to_wstring(InterlockedIncrement(&counter)) + L".quit";
    m_quit.reset(CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!m_quit || !CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        m_error = L"cannot create the helper's event or pipe";
        return;
    }
    m_report.reset(readEnd);
    const UniqueHandle helperEnd(writeEnd); // closed here once the helper has its copy
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    const std::wstring path = PathBesideThisProgram(ExeName(bits));
    std::wstring commandLine = L"\"" + path + L"\" " + shapeArguments + L" --quit " + quitName + L" --parent " +
                               std::to_wstring(GetCurrentProcessId());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION created = {};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &created)) {
        m_error = L"cannot start " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
        return;
    }
    CloseHandle(created.hThread);
    m_process.reset(created.hProcess);
    m_processId = created.dwProcessId;
}

SyntheticDesktopProcess::~SyntheticDesktopProcess()
{
    Quit();
}

bool SyntheticDesktopProcess::WaitReady(DWORD timeoutMs)
{
    // One line: the top-level windows' handles in hexadecimal. Polled, so that the time-out holds.
    std::string line;
    const DWORD start = GetTickCount();
    while (m_process && (line.empty() || line.back() != '\n')) {
        DWORD available = 0;
        if (!PeekNamedPipe(m_report.get(), nullptr, 0, nullptr, &available, nullptr)) return false; // it ended
        if (available == 0) {
            if (GetTickCount() - start >= timeoutMs) return false;
            Sleep(10);
            continue;
        }
        char buffer[256];
        DWORD read = 0;
        if (!ReadFile(m_report.get(), buffer, available < sizeof buffer ? available : sizeof buffer, &read, nullptr)) {
            return false;
        }
        line.append(buffer, read);
    }
    m_topWindows.clear();
    std::istringstream handles(line);
    for (unsigned long handle = 0; handles >> std::hex >> handle;) {
        m_topWindows.push_back(reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)));
    }
    return static_cast<bool>(m_process);
}

void SyntheticDesktopProcess::Quit()
{
    if (!m_process) return;
    SetEvent(m_quit.get());
    if (WaitForSingleObject(m_process.get(), 10000) != WAIT_OBJECT_0) {
        TerminateProcess(m_process.get(), 1);
        WaitForSingleObject(m_process.get(), 10000);
    }
    m_process.reset();
}

bool SyntheticDesktopProcess::SixtyFourBitRuns() noexcept
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::vector<SyntheticDesktopProcess::Bits> SyntheticDesktopProcess::RunnableBits()
{
    if (SixtyFourBitRuns()) return {Bits::ThirtyTwo, Bits::SixtyFour};
    std::printf("[   INFO   ] a 32-bit system runs no 64-bit process: the 32-bit helper alone here\n");
    return {Bits::ThirtyTwo};
}
