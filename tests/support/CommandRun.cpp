// The output goes to a file of the temporary folder: a pipe would need a reader beside the wait.
#include "support/CommandRun.h"

#include "platform/UniqueHandles.h"
#include "support/TestWindows.h"

#include <fstream>
#include <iterator>

std::pair<DWORD, std::string> RunCommand(std::wstring commandLine, const std::wstring& folder)
{
    wchar_t temporary[MAX_PATH] = {}, outputPath[MAX_PATH] = {};
    if (!GetTempPathW(MAX_PATH, temporary) || !GetTempFileNameW(temporary, L"out", 0, outputPath)) return {~0u, ""};
    std::pair<DWORD, std::string> result{~0u, ""};
    {
        SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
        UniqueHandle output(CreateFileW(outputPath, GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr));
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output.get();
        PROCESS_INFORMATION run = {};
        if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                           folder.empty() ? nullptr : folder.c_str(), &startup, &run)) {
            const UniqueHandle process(run.hProcess), thread(run.hThread);
            for (int i = 0; i < 600 && MsgWaitForMultipleObjects(1, &run.hProcess, FALSE, 100, QS_ALLINPUT); ++i) {
                PumpMessages();
            }
            GetExitCodeProcess(run.hProcess, &result.first);
        }
    }
    std::ifstream file(outputPath, std::ios::binary);
    result.second.assign(std::istreambuf_iterator<char>(file), {});
    file.close();
    DeleteFileW(outputPath);
    return result;
}
