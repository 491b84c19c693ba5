// The three hooks of a watch set on the watched thread: from this process with
// WindowInventoryHook.dll for a 32-bit target, or, for a 64-bit one, by WindowInventoryHost64.exe
// with WindowInventoryHook64.dll, started for the purpose and ended with the hooks.
#pragma once
#include "platform/UniqueHandles.h"
#include "watch/WatchRefusal.h"

#include <windows.h>

#include <vector>

class WatchHooks {
public:
    WatchHooks(DWORD threadId, bool sixtyFour);
    ~WatchHooks() { Remove(); }
    WatchHooks(const WatchHooks&) = delete;
    WatchHooks& operator=(const WatchHooks&) = delete;

    // Whether they are set; if not, why (HookFileMissing or HookNotSet, with the error).
    bool Set() const noexcept { return m_set; }
    WatchRefusal Refusal() const noexcept { return m_refusal; }
    DWORD Error() const noexcept { return m_error; }

    // Takes the hooks out; when it returns, none of them runs any more.
    void Remove() noexcept;

private:
    void SetHere(DWORD threadId);
    void SetThroughHost(DWORD threadId);
    void Fail(WatchRefusal why, DWORD error);

    std::vector<UniqueHook> m_hooks;
    UniqueHandle m_host, m_stop;
    bool m_set = false;
    WatchRefusal m_refusal = WatchRefusal::HookNotSet;
    DWORD m_error = ERROR_SUCCESS;
};
