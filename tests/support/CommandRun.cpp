// The output goes to a file of the temporary folder: a pipe would need a reader beside the wait.
// Windows are watched through WinEvents, delivered out of context to this thread's queue: one
// hook for the started process from its first instruction (it starts suspended), one for any
// process, whose windows count when their process is a WindowInventory one.
#include "support/CommandRun.h"

#include "platform/UniqueHandles.h"
#include "support/TestWindows.h"

#include <tlhelp32.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace {
HWINEVENTHOOK g_startedHook = nullptr;
std::vector<std::string> g_made;

bool IsWindowInventory(DWORD processId)
{
    const UniqueAny<HANDLE, CloseKernelHandle, -1> snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == processId) {
            return lstrcmpiW(entry.szExeFile, L"WindowInventory.exe") == 0 ||
                   lstrcmpiW(entry.szExeFile, L"WindowInventory.com") == 0;
        }
    }
    return false;
}

void CALLBACK NoteWindow(HWINEVENTHOOK hook, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) noexcept
{
    if (object != OBJID_WINDOW || child != CHILDID_SELF || window == nullptr) return;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (hook != g_startedHook && (processId == 0 || !IsWindowInventory(processId))) return;
    char className[64] = "(gone)";
    GetClassNameA(window, className, 64);
    g_made.push_back(className);
    if (const UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId)); process) {
        TerminateProcess(process.get(), kMadeAWindow);
    }
}
} // namespace

std::pair<DWORD, std::string> RunCommand(std::wstring commandLine, const std::wstring& folder)
{
    wchar_t temporary[MAX_PATH] = {}, outputPath[MAX_PATH] = {};
    if (!GetTempPathW(MAX_PATH, temporary) || !GetTempFileNameW(temporary, L"out", 0, outputPath)) return {~0u, ""};
    std::pair<DWORD, std::string> result{~0u, ""};
    g_made.clear();
    {
        SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
        UniqueHandle output(CreateFileW(outputPath, GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr));
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output.get();
        PROCESS_INFORMATION run = {};
        if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                           folder.empty() ? nullptr : folder.c_str(), &startup, &run)) {
            const UniqueHandle process(run.hProcess), thread(run.hThread);
            g_startedHook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, NoteWindow,
                                            run.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
            const HWINEVENTHOOK anyHook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, NoteWindow,
                                                          0, 0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
            ResumeThread(run.hThread);
            for (int i = 0; i < 600 && MsgWaitForMultipleObjects(1, &run.hProcess, FALSE, 100, QS_ALLINPUT); ++i) {
                PumpMessages();
            }
            PumpMessages(); // what came just before it ended
            UnhookWinEvent(anyHook);
            UnhookWinEvent(g_startedHook);
            g_startedHook = nullptr;
            GetExitCodeProcess(run.hProcess, &result.first);
        }
    }
    std::ifstream file(outputPath, std::ios::binary);
    result.second.assign(std::istreambuf_iterator<char>(file), {});
    file.close();
    DeleteFileW(outputPath);
    if (!g_made.empty()) result.first = kMadeAWindow;
    for (const std::string& made : g_made) result.second += "!! made a window of class " + made + "\n";
    return result;
}
