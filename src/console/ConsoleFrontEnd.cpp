// WindowInventory.com: the console's way into WindowInventory.exe (the devenv.com convention:
// for the bare name cmd and PowerShell run the .com before the .exe). A shell waits for a
// console program, so it starts the GUI program with the same arguments and its own standard
// handles, waits for it and hands on its exit code: `WindowInventory /export x.json` then
// behaves as a console command. Without arguments it starts the window and returns at once.
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <string>

namespace {
// The command line after the program's own name, as the shell wrote it.
std::wstring ArgumentsOf(const wchar_t* commandLine)
{
    const wchar_t* at = commandLine;
    if (*at == L'"') {
        for (++at; *at != L'\0' && *at != L'"'; ++at) {
        }
        if (*at == L'"') ++at;
    } else {
        while (*at != L'\0' && *at != L' ' && *at != L'\t') ++at;
    }
    while (*at == L' ' || *at == L'\t') ++at;
    return at;
}

void Complain(const std::wstring& message)
{
    const std::wstring line = L"WindowInventory: " + message + L"\r\n";
    DWORD written = 0;
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (!WriteConsoleW(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
        const std::string ascii(line.begin(), line.end());
        WriteFile(error, ascii.data(), static_cast<DWORD>(ascii.size()), &written, nullptr);
    }
}
} // namespace

int wmain()
{
    std::wstring program(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &program[0], static_cast<DWORD>(program.size()));
    program.resize(length);
    const size_t dot = program.find_last_of(L'.');
    if (length == 0 || dot == std::wstring::npos) {
        Complain(L"cannot find where this program lives");
        return 2;
    }
    program.replace(dot, std::wstring::npos, L".exe");

    const std::wstring arguments = ArgumentsOf(GetCommandLineW());
    std::wstring commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    const bool window = arguments.empty();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!window) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    // A command ends with this process (Ctrl+C, a closed console): the job takes the program
    // with it rather than leave a scan writing a file nobody waits for.
    const UniqueHandle job(window ? nullptr : CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    const bool jobbed = job && SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                                       sizeof limits);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, !window, jobbed ? CREATE_SUSPENDED : 0,
                        nullptr, nullptr, &startup, &started)) {
        Complain(L"cannot start " + program + L" (error " + std::to_wstring(GetLastError()) + L")");
        return 2;
    }
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    if (window) return 0;
    if (jobbed) {
        // Where jobs cannot nest (before Windows 8, inside another job) it runs outside one.
        AssignProcessToJobObject(job.get(), process.get());
        ResumeThread(thread.get());
    }
    WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 2;
    GetExitCodeProcess(process.get(), &exitCode);
    return static_cast<int>(exitCode);
}
