// Windows are watched through WinEvents, delivered out of context to this thread's queue: one
// hook for the started process from its first instruction (it starts suspended), one for any
// process, whose windows count when their process is a WindowInventory one.
#include "CommandRun.h"

#include "platform/UniqueHandles.h"
#include "support/ProgramPath.h"
#include "support/TestWindows.h"

#include <tlhelp32.h>

#include <codecvt>
#include <fstream>
#include <iterator>
#include <locale>
#include <vector>

namespace {
HWINEVENTHOOK g_startedHook = nullptr;
std::vector<std::wstring> g_made;

bool IsWindowInventory(DWORD processId)
{
    const UniqueAny<HANDLE, CloseKernelHandle, -1> snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID != processId) continue;
        return lstrcmpiW(entry.szExeFile, L"WindowInventory.exe") == 0 || lstrcmpiW(entry.szExeFile, L"WindowInventory.com") == 0;
    }
    return false;
}

void CALLBACK NoteWindow(HWINEVENTHOOK hook, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) noexcept
{
    if (object != OBJID_WINDOW || child != CHILDID_SELF || window == nullptr) return;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (hook != g_startedHook && (processId == 0 || !IsWindowInventory(processId))) return;
    wchar_t className[64] = L"(gone)";
    GetClassNameW(window, className, 64);
    g_made.push_back(className);
    // It may wait for a box nobody answers.
    if (const UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId)); process) {
        TerminateProcess(process.get(), kMadeAWindow);
    }
}
} // namespace

std::string ReadFile(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string AsUtf8(const std::wstring& text)
{
    return std::wstring_convert<std::codecvt_utf8_utf16<wchar_t>>().to_bytes(text);
}

std::pair<DWORD, std::string> RunCommand(std::wstring commandLine)
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    const std::wstring outputPath = L"command-output.txt";
    UniqueHandle output(CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output.get();
    PROCESS_INFORMATION run = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &startup, &run)) {
        return {~0u, ""};
    }
    const UniqueHandle process(run.hProcess), thread(run.hThread);
    g_made.clear();
    g_startedHook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, NoteWindow, run.dwProcessId, 0,
                                    WINEVENT_OUTOFCONTEXT);
    const HWINEVENTHOOK anyHook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, NoteWindow, 0, 0,
                                                  WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    ResumeThread(run.hThread);
    const DWORD start = GetTickCount();
    while (MsgWaitForMultipleObjects(1, &run.hProcess, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
        PumpMessages();
        if (GetTickCount() - start > 120000) TerminateProcess(run.hProcess, STILL_ACTIVE);
    }
    PumpMessages(); // events posted before it ended
    UnhookWinEvent(g_startedHook);
    UnhookWinEvent(anyHook);
    g_startedHook = nullptr;
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(run.hProcess, &exitCode);
    output.reset();
    std::string said = ReadFile(outputPath);
    if (!g_made.empty()) {
        exitCode = kMadeAWindow;
        for (const std::wstring& made : g_made) said += "!! made a window of class " + AsUtf8(made) + "\n";
    }
    return {exitCode, said};
}

std::pair<DWORD, std::string> RunProgram(const std::wstring& arguments)
{
    return RunCommand(L"\"" + PathBesideThisProgram(L"WindowInventory.exe") + L"\" " + arguments);
}

void SettleTheShell()
{
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(GetDesktopWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
}
