// The hooks a watch sets on the watched thread, from the hook DLL's exports: set by the log
// itself for a 32-bit target, and by the 64-bit host for a 64-bit one.
#pragma once
#include <windows.h>

namespace watch_hooks {
struct Hook {
    int kind;
    const char* procedure;
};
inline constexpr Hook kHooks[] = {{WH_CALLWNDPROC, "WatchCallWndProc"},
                                  {WH_CALLWNDPROCRET, "WatchCallWndRetProc"},
                                  {WH_GETMESSAGE, "WatchGetMessageProc"}};

// Sets `hook` from `module` on the thread; nullptr, with the last error set, when it cannot.
inline HHOOK Set(const Hook& hook, HMODULE module, DWORD threadId) noexcept
{
    const auto procedure = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(module, hook.procedure)));
    return procedure != nullptr ? SetWindowsHookExW(hook.kind, procedure, module, threadId) : nullptr;
}
} // namespace watch_hooks
