// The wide Toolhelp walk and QueryFullProcessImageNameW, which needs only the limited query
// right that most processes grant.
#include "platform/ProcessNames.h"

#include "platform/UniqueHandles.h"

#include <tlhelp32.h>

std::unordered_map<DWORD, std::wstring> ReadUnicodeExeNames()
{
    std::unordered_map<DWORD, std::wstring> names;
    const UniqueAny<HANDLE, CloseKernelHandle, -1> snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return names;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        names[entry.th32ProcessID] = entry.szExeFile;
    }
    return names;
}

std::wstring ReadProcessImagePath(DWORD processId)
{
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return {};
    // Long paths (\\?\) are not cut at MAX_PATH.
    std::wstring path(32768, L'\0');
    DWORD length = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process.get(), 0, &path[0], &length)) return {};
    path.resize(length);
    return path;
}
