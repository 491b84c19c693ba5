// Starting, awaiting and ending SyntheticDesktop helpers through named events.
#include "support/SyntheticDesktopProcess.h"

#include "support/ScreenMetrics.h"

namespace {
std::wstring UniqueEventName(const wchar_t* purpose)
{
    static LONG counter = 0;
    return L"SyntheticDesktop." + std::to_wstring(GetCurrentProcessId()) + L"." +
           std::to_wstring(InterlockedIncrement(&counter)) + L"." + purpose;
}

struct WindowSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (processId == search->processId && lstrcmpW(className, SyntheticDesktopProcess::kWindowClass) == 0) {
        search->found.push_back(window);
    }
    return TRUE;
}
} // namespace

SyntheticDesktopProcess::SyntheticDesktopProcess(const std::wstring& shapeArguments)
{
    const std::wstring readyName = UniqueEventName(L"ready");
    const std::wstring quitName = UniqueEventName(L"quit");
    m_ready.reset(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    m_quit.reset(CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
    if (!m_ready || !m_quit) {
        m_error = L"cannot create the helper's events";
        return;
    }
    const std::wstring path = PathBesideThisProgram(L"SyntheticDesktop.exe");
    std::wstring commandLine = L"\"" + path + L"\" " + shapeArguments + L" --ready " + readyName + L" --quit " +
                               quitName + L" --parent " + std::to_wstring(GetCurrentProcessId());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created = {};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
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
    if (!m_process) return false;
    const HANDLE waits[] = {m_ready.get(), m_process.get()};
    return WaitForMultipleObjects(2, waits, FALSE, timeoutMs) == WAIT_OBJECT_0;
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

std::vector<HWND> SyntheticDesktopProcess::TopWindows() const
{
    WindowSearch search{m_processId, {}};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
