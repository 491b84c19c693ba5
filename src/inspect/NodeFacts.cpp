// Facts are read from the platform at the moment they are asked for, never from the scan.
#include "inspect/NodeFacts.h"

#include "inspect/StyleNames.h"
#include "inventory/NodeText.h"
#include "platform/UniqueHandles.h"

#include <tlhelp32.h>

#include <cwchar>
#include <optional>

namespace {
std::wstring Number(long long value)
{
    return std::to_wstring(value);
}

std::wstring Hex(DWORD value)
{
    wchar_t text[16];
    wsprintfW(text, L"0x%08X", value);
    return text;
}

std::wstring HandleText(HWND window)
{
    return FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(window)));
}

std::wstring RectText(const RECT& rect)
{
    return L"(" + Number(rect.left) + L", " + Number(rect.top) + L")-(" + Number(rect.right) + L", " +
           Number(rect.bottom) + L"), " + Number(rect.right - rect.left) + L" x " + Number(rect.bottom - rect.top);
}

const wchar_t* YesNo(bool value)
{
    return value ? L"yes" : L"no";
}

std::optional<PROCESSENTRY32W> ProcessEntry(DWORD processId)
{
    const HANDLE taken = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (taken == INVALID_HANDLE_VALUE) return std::nullopt;
    const UniqueHandle snapshot(taken);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == processId) return entry;
    }
    return std::nullopt;
}

// The full path where the process lets us read it, else the snapshot's file name.
std::wstring ExecutablePath(DWORD processId, const wchar_t* fallback)
{
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = static_cast<DWORD>(std::size(path));
    if (process && QueryFullProcessImageNameW(process.get(), 0, path, &size)) return path;
    return fallback;
}

// "32-bit" or "64-bit" as the process runs, "unknown" when it cannot be opened to ask.
std::wstring Bitness(DWORD processId)
{
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    BOOL emulated = FALSE;
    if (!process || !IsWow64Process(process.get(), &emulated)) return L"unknown";
    // A 32-bit program is emulated exactly when the system is 64-bit.
    BOOL weAreEmulated = FALSE;
    const bool system64 = sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &weAreEmulated) && weAreEmulated);
    return system64 && !emulated ? L"64-bit" : L"32-bit";
}

// A value read with GetWindowLongPtr or GetClassLongPtr as the platform gives it (for another
// process's window that may be a special handle rather than an address); "not readable" when
// it refuses.
template <class Read>
std::wstring ReadLong(Read read)
{
    SetLastError(ERROR_SUCCESS);
    const auto value = static_cast<DWORD>(read());
    if (value == 0 && GetLastError() != ERROR_SUCCESS) return L"not readable";
    return Hex(value);
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

// Read without a message, so that a hung window cannot hold the inspector up.
std::wstring Caption(HWND window)
{
    wchar_t text[1024] = {};
    InternalGetWindowText(window, text, static_cast<int>(std::size(text)));
    return text;
}

std::wstring RelativeText(HWND window)
{
    if (window == nullptr) return L"none";
    std::wstring text = HandleText(window);
    if (window == GetDesktopWindow()) text += L" (desktop)";
    return text;
}

// The edit control would wrap a long list back to its left margin: three names to a line, each
// line in the value column.
std::wstring FlagLines(const std::wstring& names)
{
    std::wstring lines;
    size_t start = 0;
    for (int count = 1;; ++count) {
        const size_t bar = names.find(L" | ", start);
        if (bar == std::wstring::npos) return lines + names.substr(start);
        lines += names.substr(start, bar - start) + (count % 3 == 0 ? L" |\r\n\t" : L" | ");
        start = bar + 3;
    }
}

std::wstring WindowProperties(HWND window)
{
    DWORD processId = 0;
    const DWORD threadId = GetWindowThreadProcessId(window, &processId);
    wchar_t className[256] = {};
    GetClassNameW(window, className, static_cast<int>(std::size(className)));
    RECT windowRect = {};
    GetWindowRect(window, &windowRect);
    RECT client = {};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    const std::optional<PROCESSENTRY32W> process = ProcessEntry(processId);

    std::wstring text;
    auto line = [&](const wchar_t* label, const std::wstring& value) {
        text += label;
        text += L"\t" + value + L"\r\n";
    };
    // A word of flags in hex, then its names on the lines below; a word with no flag set has
    // nothing to name.
    auto flags = [&](const wchar_t* label, DWORD value, const std::wstring& names) {
        line(label, Hex(value));
        if (value != 0) line(L"", FlagLines(names));
    };
    line(L"Handle:", HandleText(window));
    line(L"Parent:", RelativeText(GetAncestor(window, GA_PARENT)));
    line(L"Owner:", RelativeText(GetWindow(window, GW_OWNER)));
    line(L"Caption:", Caption(window));
    line(L"Class:", className);
    const DWORD classStyle = static_cast<DWORD>(GetClassLongPtrW(window, GCL_STYLE));
    flags(L"Class style:", classStyle, ClassStyleNames(classStyle));
    wchar_t atom[16];
    wsprintfW(atom, L"0x%04X", static_cast<unsigned>(GetClassLongPtrW(window, GCW_ATOM)));
    line(L"Class atom:", atom);
    line(L"Class extra:", Number(GetClassLongPtrW(window, GCL_CBCLSEXTRA)) + L" bytes");
    line(L"Window extra:", Number(GetClassLongPtrW(window, GCL_CBWNDEXTRA)) + L" bytes");
    line(L"Process:", Number(processId));
    line(L"Executable:", ExecutablePath(processId, process ? process->szExeFile : L"unknown"));
    const std::wstring bitness = Bitness(processId);
    line(L"Bitness:", bitness);
    line(L"Thread:", Number(threadId));
    if ((style & WS_CHILD) != 0) {
        const auto id = static_cast<DWORD>(GetWindowLongPtrW(window, GWLP_ID));
        line(L"Control ID:", Number(id) + L" (" + Hex(id) + L")");
    }
    // Asked in the window's own character set, where the platform gives the procedure itself.
    const auto windowLong = IsWindowUnicode(window) ? GetWindowLongPtrW : GetWindowLongPtrA;
    // A 32-bit caller is given only the low half of a 64-bit process's addresses.
    const std::wstring half = sizeof(void*) == 4 && bitness == L"64-bit" ? L" (low 32 bits)" : L"";
    const std::wstring procedure = ReadLong([&] { return windowLong(window, GWLP_WNDPROC); });
    const std::wstring instance = ReadLong([&] { return windowLong(window, GWLP_HINSTANCE); });
    line(L"Window proc:", procedure[0] == L'0' ? procedure + half : procedure);
    line(L"Instance:", instance[0] == L'0' ? instance + half : instance);
    line(L"Window:", RectText(windowRect));
    line(L"Client:", RectText(client));
    flags(L"Style:", style, StyleNames(style, className));
    flags(L"Ex. style:", exStyle, ExtendedStyleNames(exStyle));
    line(L"Visible:", YesNo(IsWindowVisible(window)));
    line(L"Enabled:", YesNo(IsWindowEnabled(window)));
    line(L"Minimized:", YesNo(IsIconic(window)));
    line(L"Maximized:", YesNo(IsZoomed(window)));
    line(L"Text:", IsWindowUnicode(window) ? L"Unicode window" : L"ANSI window");
    return text;
}

std::wstring ProcessProperties(DWORD processId, const PROCESSENTRY32W& entry)
{
    return L"Process:\t" + Number(processId) + L"\r\nExecutable:\t" + ExecutablePath(processId, entry.szExeFile) +
           L"\r\nBitness:\t" + Bitness(processId) + L"\r\nParent process:\t" + Number(entry.th32ParentProcessID) + L"\r\nThreads:\t" +
           Number(entry.cntThreads) + L"\r\n";
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
    return {};
}

std::wstring GoneText(const NodeSubject& subject)
{
    if (subject.kind == NodeSubject::Kind::Window) return L"Window " + HandleText(WindowOf(subject)) + L" no longer exists";
    return L"Process " + Number(subject.id) + L" has exited";
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
    return {};
}

std::wstring PropertiesTitle(const NodeSubject& subject)
{
    if (subject.kind == NodeSubject::Kind::Window) return L"Properties of window " + HandleText(WindowOf(subject));
    return L"Properties of process " + Number(subject.id);
}
