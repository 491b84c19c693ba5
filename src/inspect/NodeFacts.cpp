// Facts are read from the platform at the moment they are asked for, never from the scan.
#include "inspect/NodeFacts.h"

#include "inspect/WindowFacts.h"
#include "inventory/NodeText.h"

#include <cwchar>

namespace {
std::wstring Number(long long value)
{
    return std::to_wstring(value);
}

std::wstring HandleText(HWND window)
{
    return FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(window)));
}

struct WindowCount {
    DWORD processId;
    int count;
};

BOOL CALLBACK CountWindowOf(HWND window, LPARAM context)
{
    auto* counting = reinterpret_cast<WindowCount*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == counting->processId) ++counting->count;
    return TRUE;
}

int TopLevelWindowCount(DWORD processId)
{
    WindowCount counting{processId, 0};
    EnumWindows(CountWindowOf, reinterpret_cast<LPARAM>(&counting));
    return counting.count;
}
} // namespace

NodeSubject SubjectOfKey(const std::wstring& key)
{
    // The number is the key's tail; the key formats themselves tell which kind it was.
    const size_t digits = key.find_first_of(L"-0123456789");
    if (digits == std::wstring::npos) return {};
    wchar_t* end = nullptr;
    const long long value = std::wcstoll(key.c_str() + digits, &end, 10);
    if (*end != L'\0' || value < LONG_MIN || value > LONG_MAX) return {};
    const LONG id = static_cast<LONG>(value);
    if (key == WindowNodeKey(id)) return {NodeSubject::Kind::Window, id};
    if (key == ProcessNodeKey(id)) return {NodeSubject::Kind::Process, id};
    if (key == ThreadNodeKey(static_cast<DWORD>(id))) return {NodeSubject::Kind::Thread, id};
    return {};
}

std::wstring GoneText(const NodeSubject& subject)
{
    if (subject.kind == NodeSubject::Kind::Window) return L"Window " + HandleText(WindowOf(subject)) + L" no longer exists";
    if (subject.kind == NodeSubject::Kind::Thread) return L"Thread " + Number(subject.id) + L" has ended";
    return L"Process " + Number(subject.id) + L" has exited";
}

const wchar_t* KindText(const NodeSubject& subject)
{
    switch (subject.kind) {
    case NodeSubject::Kind::Process: return L"A process";
    case NodeSubject::Kind::Thread: return L"A thread";
    default: return L"A window";
    }
}

std::wstring SummaryFacts(const NodeSubject& subject)
{
    switch (subject.kind) {
    case NodeSubject::Kind::Window: {
        const HWND window = WindowOf(subject);
        if (!IsWindow(window)) return GoneText(subject);
        RECT rect = {};
        GetWindowRect(window, &rect);
        const DWORD threadId = GetWindowThreadProcessId(window, nullptr);
        return L"Window " + HandleText(window) + L": " + RectText(rect) + L", " +
               (IsWindowVisible(window) ? L"visible" : L"hidden") + L", thread " + Number(threadId);
    }
    case NodeSubject::Kind::Process: {
        const DWORD processId = static_cast<DWORD>(subject.id);
        if (!ProcessEntry(processId)) return GoneText(subject);
        const int windows = TopLevelWindowCount(processId);
        return L"Process " + Number(processId) + L": " + Number(windows) +
               (windows == 1 ? L" top-level window" : L" top-level windows");
    }
    case NodeSubject::Kind::Thread: {
        const std::optional<THREADENTRY32> entry = ThreadEntry(static_cast<DWORD>(subject.id));
        if (!entry) return GoneText(subject);
        const int windows = ThreadWindowCount(entry->th32ThreadID);
        return L"Thread " + Number(subject.id) + L" of process " + Number(entry->th32OwnerProcessID) + L": " +
               Number(windows) + (windows == 1 ? L" top-level window" : L" top-level windows");
    }
    case NodeSubject::Kind::None:
        break;
    }
    return {};
}

std::wstring PropertiesText(const NodeSubject& subject)
{
    if (subject.kind == NodeSubject::Kind::Window) {
        return IsWindow(WindowOf(subject)) ? WindowProperties(WindowOf(subject)) : std::wstring();
    }
    if (subject.kind == NodeSubject::Kind::Process) {
        const std::optional<PROCESSENTRY32W> entry = ProcessEntry(static_cast<DWORD>(subject.id));
        return entry ? ProcessProperties(static_cast<DWORD>(subject.id), *entry) : std::wstring();
    }
    if (subject.kind == NodeSubject::Kind::Thread) {
        const std::optional<THREADENTRY32> entry = ThreadEntry(static_cast<DWORD>(subject.id));
        return entry ? ThreadProperties(*entry) : std::wstring();
    }
    return {};
}

std::wstring PropertiesTitle(const NodeSubject& subject)
{
    if (subject.kind == NodeSubject::Kind::Window) return L"Properties of window " + HandleText(WindowOf(subject));
    if (subject.kind == NodeSubject::Kind::Thread) return L"Properties of thread " + Number(subject.id);
    return L"Properties of process " + Number(subject.id);
}
