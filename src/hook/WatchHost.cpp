// WindowInventoryHost64.exe: a 32-bit program cannot set a 64-bit hook DLL into a 64-bit thread,
// so the message log starts this small 64-bit program to do it on its behalf.
//
//   WindowInventoryHost64.exe <thread id> <ready event> <stop event> <log process>
//
// The three handles are inherited from the log. The host sets the hooks on the thread, signals
// ready (or ends with the error as its exit code), and removes them when the log signals stop or
// ends in any way, so that no hook outlives its log.
#include "hook/WatchHookSet.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <iterator>

namespace {
HANDLE HandleArgument(const wchar_t* text)
{
    return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(std::wcstoull(text, nullptr, 10)));
}
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count != 5) return ERROR_BAD_ARGUMENTS;
    const auto threadId = static_cast<DWORD>(std::wcstoul(arguments[1], nullptr, 10));
    const HANDLE ready = HandleArgument(arguments[2]);
    const HANDLE waitFor[] = {HandleArgument(arguments[3]), HandleArgument(arguments[4])};

    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return ERROR_BAD_PATHNAME;
    wchar_t* slash = std::wcsrchr(path, L'\\');
    if (slash == nullptr || (slash - path) + 32 >= MAX_PATH) return ERROR_BAD_PATHNAME;
    std::wcscpy(slash + 1, L"WindowInventoryHook64.dll");
    const HMODULE module = LoadLibraryW(path);
    if (module == nullptr) return static_cast<int>(GetLastError());

    HHOOK set[std::size(watch_hooks::kHooks)] = {};
    DWORD error = ERROR_SUCCESS;
    for (size_t i = 0; i < std::size(set) && error == ERROR_SUCCESS; ++i) {
        set[i] = watch_hooks::Set(watch_hooks::kHooks[i], module, threadId);
        if (set[i] == nullptr) error = GetLastError();
    }
    if (error == ERROR_SUCCESS) {
        SetEvent(ready);
        WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
    }
    for (HHOOK hook : set) {
        if (hook != nullptr) UnhookWindowsHookEx(hook);
    }
    return static_cast<int>(error == ERROR_SUCCESS ? 0 : error == 0 ? ERROR_GEN_FAILURE : error);
}
