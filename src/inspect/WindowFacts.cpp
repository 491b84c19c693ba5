// Facts are read from the platform at the moment they are asked for, never from the scan. The
// pane reads them again whenever the window it shows changes, up to 20 times a second while it
// follows the mouse: nothing here takes a process snapshot unless the process cannot be opened.
#include "inspect/WindowFacts.h"

#include "inspect/StyleNames.h"
#include "inventory/NodeText.h"
#include "platform/ProcessNames.h"
#include "platform/UniqueHandles.h"

namespace {
std::wstring Number(long long value)
{
    return std::to_wstring(value);
}

std::wstring HandleText(HWND window)
{
    return FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(window)));
}

const wchar_t* YesNo(bool value)
{
    return value ? L"yes" : L"no";
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
    return HexText(value);
}

std::wstring RelativeText(HWND window)
{
    if (window == nullptr) return L"none";
    std::wstring text = HandleText(window);
    if (window == GetDesktopWindow()) text += L" (desktop)";
    return text;
}

// The first entry of a fresh Toolhelp snapshot of `kind` that `wanted` picks.
template <class Entry, class Wanted>
std::optional<Entry> FindSnapshotEntry(DWORD kind, BOOL(WINAPI* first)(HANDLE, Entry*),
                                       BOOL(WINAPI* next)(HANDLE, Entry*), const Wanted& wanted)
{
    const HANDLE taken = CreateToolhelp32Snapshot(kind, 0);
    if (taken == INVALID_HANDLE_VALUE) return std::nullopt;
    const UniqueHandle snapshot(taken);
    Entry entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = first(snapshot.get(), &entry); more; more = next(snapshot.get(), &entry)) {
        if (wanted(entry)) return entry;
    }
    return std::nullopt;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) noexcept
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
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

// Lines of facts under group headings: a heading is a line of its own, a blank line before it.
class FactLines {
public:
    void Group(const wchar_t* heading)
    {
        if (!m_text.empty()) m_text += L"\r\n";
        m_text += heading;
        m_text += L"\r\n";
    }
    void Line(const wchar_t* label, const std::wstring& value)
    {
        m_text += label;
        m_text += L"\t" + value + L"\r\n";
    }
    // A word of flags in hex, then its names on the lines below; a word with no flag set has
    // nothing to name.
    void Flags(const wchar_t* label, DWORD value, const std::wstring& names)
    {
        Line(label, HexText(value));
        if (value != 0) Line(L"", FlagLines(names));
    }
    std::wstring Take() { return std::move(m_text); }

private:
    std::wstring m_text;
};
} // namespace

std::wstring HexText(DWORD value)
{
    wchar_t text[16];
    wsprintfW(text, L"0x%08X", value);
    return text;
}

std::wstring RectText(const RECT& rect)
{
    return L"(" + Number(rect.left) + L", " + Number(rect.top) + L")-(" + Number(rect.right) + L", " +
           Number(rect.bottom) + L"), " + Number(rect.right - rect.left) + L" x " + Number(rect.bottom - rect.top);
}

std::wstring StoredCaption(HWND window)
{
    wchar_t text[1024] = {};
    InternalGetWindowText(window, text, static_cast<int>(std::size(text)));
    return text;
}

std::wstring ClassNameOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return name;
}

std::optional<PROCESSENTRY32W> ProcessEntry(DWORD processId)
{
    return FindSnapshotEntry<PROCESSENTRY32W>(TH32CS_SNAPPROCESS, Process32FirstW, Process32NextW,
                                              [&](const PROCESSENTRY32W& entry) { return entry.th32ProcessID == processId; });
}

std::optional<THREADENTRY32> ThreadEntry(DWORD threadId)
{
    return FindSnapshotEntry<THREADENTRY32>(TH32CS_SNAPTHREAD, Thread32First, Thread32Next,
                                            [&](const THREADENTRY32& entry) { return entry.th32ThreadID == threadId; });
}

int ThreadWindowCount(DWORD threadId)
{
    int count = 0;
    EnumThreadWindows(threadId, CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

std::wstring ExecutablePath(DWORD processId)
{
    if (std::wstring path = ReadProcessImagePath(processId); !path.empty()) return path;
    const std::optional<PROCESSENTRY32W> entry = ProcessEntry(processId);
    return entry ? entry->szExeFile : L"unknown";
}

std::wstring WindowProperties(HWND window)
{
    DWORD processId = 0;
    const DWORD threadId = GetWindowThreadProcessId(window, &processId);
    const std::wstring className = ClassNameOf(window);
    RECT windowRect = {};
    GetWindowRect(window, &windowRect);
    RECT client = {};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    const std::wstring bitness = Bitness(processId);

    FactLines facts;
    facts.Group(L"General");
    facts.Line(L"Handle:", HandleText(window));
    facts.Line(L"Caption:", StoredCaption(window));
    facts.Line(L"Parent:", RelativeText(GetAncestor(window, GA_PARENT)));
    facts.Line(L"Owner:", RelativeText(GetWindow(window, GW_OWNER)));
    if ((style & WS_CHILD) != 0) {
        const auto id = static_cast<DWORD>(GetWindowLongPtrW(window, GWLP_ID));
        facts.Line(L"Control ID:", Number(id) + L" (" + HexText(id) + L")");
    }
    // Asked in the window's own character set, where the platform gives the procedure itself.
    const auto windowLong = IsWindowUnicode(window) ? GetWindowLongPtrW : GetWindowLongPtrA;
    // A 32-bit caller is given only the low half of a 64-bit process's addresses.
    const std::wstring half = sizeof(void*) == 4 && bitness == L"64-bit" ? L" (low 32 bits)" : L"";
    const std::wstring procedure = ReadLong([&] { return windowLong(window, GWLP_WNDPROC); });
    const std::wstring instance = ReadLong([&] { return windowLong(window, GWLP_HINSTANCE); });
    facts.Line(L"Window proc:", procedure[0] == L'0' ? procedure + half : procedure);
    facts.Line(L"Instance:", instance[0] == L'0' ? instance + half : instance);
    facts.Line(L"Window:", RectText(windowRect));
    facts.Line(L"Client:", RectText(client));
    facts.Line(L"Visible:", YesNo(IsWindowVisible(window)));
    facts.Line(L"Enabled:", YesNo(IsWindowEnabled(window)));
    facts.Line(L"Minimized:", YesNo(IsIconic(window)));
    facts.Line(L"Maximized:", YesNo(IsZoomed(window)));
    facts.Line(L"Text:", IsWindowUnicode(window) ? L"Unicode window" : L"ANSI window");

    facts.Group(L"Styles");
    facts.Flags(L"Style:", style, StyleNames(style, className));
    facts.Flags(L"Ex. style:", exStyle, ExtendedStyleNames(exStyle));

    facts.Group(L"Class");
    facts.Line(L"Class:", className);
    const DWORD classStyle = static_cast<DWORD>(GetClassLongPtrW(window, GCL_STYLE));
    facts.Flags(L"Class style:", classStyle, ClassStyleNames(classStyle));
    wchar_t atom[16];
    wsprintfW(atom, L"0x%04X", static_cast<unsigned>(GetClassLongPtrW(window, GCW_ATOM)));
    facts.Line(L"Class atom:", atom);
    facts.Line(L"Class extra:", Number(GetClassLongPtrW(window, GCL_CBCLSEXTRA)) + L" bytes");
    facts.Line(L"Window extra:", Number(GetClassLongPtrW(window, GCL_CBWNDEXTRA)) + L" bytes");

    facts.Group(L"Process");
    facts.Line(L"Process:", Number(processId));
    facts.Line(L"Executable:", ExecutablePath(processId));
    facts.Line(L"Bitness:", bitness);
    facts.Line(L"Thread:", Number(threadId));
    return facts.Take();
}

std::wstring ProcessProperties(DWORD processId, const PROCESSENTRY32W& entry)
{
    const std::wstring path = ReadProcessImagePath(processId);
    FactLines facts;
    facts.Group(L"Process");
    facts.Line(L"Process:", Number(processId));
    facts.Line(L"Executable:", path.empty() ? entry.szExeFile : path);
    facts.Line(L"Bitness:", Bitness(processId));
    facts.Line(L"Parent process:", Number(entry.th32ParentProcessID));
    facts.Line(L"Threads:", Number(entry.cntThreads));
    return facts.Take();
}

std::wstring ThreadProperties(const THREADENTRY32& entry)
{
    FactLines facts;
    facts.Group(L"Thread");
    facts.Line(L"Thread:", Number(entry.th32ThreadID));
    facts.Line(L"Process:", Number(entry.th32OwnerProcessID));
    facts.Line(L"Executable:", ExecutablePath(entry.th32OwnerProcessID));
    facts.Line(L"Base priority:", Number(entry.tpBasePri));
    facts.Line(L"Top-level windows:", Number(ThreadWindowCount(entry.th32ThreadID)));
    // A thread that never made a window has no input state to tell.
    GUITHREADINFO input = {};
    input.cbSize = sizeof input;
    if (GetGUIThreadInfo(entry.th32ThreadID, &input)) {
        facts.Line(L"Active window:", RelativeText(input.hwndActive));
        facts.Line(L"Keyboard focus:", RelativeText(input.hwndFocus));
        facts.Line(L"Mouse capture:", RelativeText(input.hwndCapture));
        facts.Line(L"Caret:", RelativeText(input.hwndCaret));
    }
    return facts.Take();
}
