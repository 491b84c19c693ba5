// The host is waited for while the log opens (it reports ready or ends with its error) and while
// the log closes, so that the hooks are set, and gone, when the caller goes on.
#include "watch/WatchHooks.h"

#include "hook/WatchHookSet.h"

#include <string>
#include <utility>

namespace {
constexpr DWORD kHostTimeoutMs = 15000;

std::wstring Beside(const wchar_t* file)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L"\\/") + 1) + file;
}

// Loaded once and kept: the system runs its code in this process too when a window of ours is
// watched.
HMODULE HookModule()
{
    static const HMODULE module = LoadLibraryW(Beside(L"WindowInventoryHook.dll").c_str());
    return module;
}

std::wstring HandleText(HANDLE handle)
{
    return std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(handle)));
}
} // namespace

WatchHooks::WatchHooks(DWORD threadId, bool sixtyFour)
{
    if (sixtyFour) SetThroughHost(threadId);
    else SetHere(threadId);
}

void WatchHooks::Fail(WatchRefusal why, DWORD error)
{
    Remove();
    m_refusal = why;
    m_error = error;
}

void WatchHooks::SetHere(DWORD threadId)
{
    if (HookModule() == nullptr) return Fail(WatchRefusal::HookFileMissing, GetLastError());
    for (const watch_hooks::Hook& hook : watch_hooks::kHooks) {
        UniqueHook set(watch_hooks::Set(hook, HookModule(), threadId));
        if (!set) return Fail(WatchRefusal::HookNotSet, GetLastError());
        m_hooks.push_back(std::move(set));
    }
    m_set = true;
}

void WatchHooks::SetThroughHost(DWORD threadId)
{
    const std::wstring host = Beside(L"WindowInventoryHost64.exe");
    if (GetFileAttributesW(host.c_str()) == INVALID_FILE_ATTRIBUTES ||
        GetFileAttributesW(Beside(L"WindowInventoryHook64.dll").c_str()) == INVALID_FILE_ATTRIBUTES) {
        return Fail(WatchRefusal::HookFileMissing, ERROR_FILE_NOT_FOUND);
    }
    // Inheritable: a child started elsewhere meanwhile would hold them without knowing their
    // values, which only keeps two events and a handle of ours alive as long as it runs.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    UniqueHandle ready(CreateEventW(&inherit, TRUE, FALSE, nullptr));
    m_stop.reset(CreateEventW(&inherit, TRUE, FALSE, nullptr));
    HANDLE self = nullptr;
    if (!ready || !m_stop ||
        !DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0)) {
        return Fail(WatchRefusal::HookNotSet, GetLastError());
    }
    UniqueHandle parent(self);
    std::wstring command = L"\"" + host + L"\" " + std::to_wstring(threadId) + L" " + HandleText(ready.get()) + L" " +
                           HandleText(m_stop.get()) + L" " + HandleText(parent.get());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(host.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &started)) {
        return Fail(WatchRefusal::HookNotSet, GetLastError());
    }
    UniqueHandle thread(started.hThread);
    m_host.reset(started.hProcess);
    const HANDLE waitFor[] = {ready.get(), m_host.get()};
    const DWORD woke = WaitForMultipleObjects(2, waitFor, FALSE, kHostTimeoutMs);
    if (woke != WAIT_OBJECT_0) {
        DWORD code = ERROR_TIMEOUT;
        if (woke == WAIT_OBJECT_0 + 1) GetExitCodeProcess(m_host.get(), &code);
        return Fail(WatchRefusal::HookNotSet, code);
    }
    m_set = true;
}

void WatchHooks::Remove() noexcept
{
    m_hooks.clear();
    if (m_host) {
        SetEvent(m_stop.get());
        if (WaitForSingleObject(m_host.get(), kHostTimeoutMs) != WAIT_OBJECT_0) TerminateProcess(m_host.get(), 1);
        m_host.reset();
    }
    m_set = false;
}
