// SyntheticDesktop: a process that owns a desktop's worth of windows of a chosen shape, so that
// the benchmark and the robustness tests can scan windows of another process on demand.
//
//   SyntheticDesktop.exe <shape> [numbers] [--quit EVENT] [--parent PID]
//
//   flat N K    N top-level windows, each with K child windows
//   wide N K    the same shape; named for the desktops of few top-level windows with many children
//   chain D     one top-level window with a chain of D nested child windows beneath it
//   churn [N K] keeps N (8) top-level windows with K (4) children, the first child with a child
//               of its own, destroying the oldest and creating a new one as fast as it can
//   hung [K]    one visible top-level window with K (3) children, then the GUI thread stops
//               answering messages for good
//   target      one visible top-level window "target" at (760, 100), 400 x 300, for pointing and
//               watching: children "left" (10, 10, 180 x 200) holding "left inner" (20, 20,
//               100 x 80), and "right" (200, 10, 180 x 200) holding the hidden "right hidden";
//               beside them "glass" (300, 150, 60 x 40, transparent) over "right", a group box
//               "group" (200, 212, 180 x 50) and within it, below it in z-order, the push button
//               "press" (280, 228, 80 x 26). The top-level window answers WM_APP + 1 with
//               wParam + lParam, sends itself N of those on WM_APP + 5 with N, and takes the
//               caption "target clicked" once "press" is clicked. Posted WM_APP + 6, it opens the modal
//               dialog "dialog": an edit box and the default button OK, which Enter presses and
//               which closes it; the dialog paints itself at once on WM_APP + 8
//   controls    one visible top-level window "controls" of class SyntheticDesktopControls at
//               (760, 660), 400 x 200, for reading controls by class and instance: in creation
//               order the Edit "alpha" (ID 101; 10, 10, 150 x 24), the Button "Apply" (ID 201;
//               170, 10, 80 x 24), the plain child "panel" (ID 300; 10, 50, 240 x 60) holding the
//               Edit "beta" (ID 102; 10, 10, 150 x 24), the Edit "gamma" (ID 103; 10, 120,
//               150 x 24) and the Button "Close" (ID 202; 170, 120, 80 x 24)
//   threads     two GUI threads: this one's top-level window "thread one" with the child "one
//               child", then a second thread's top-level window "thread two" and the child "two
//               in one" it makes in "thread one"
//
// Once the windows exist, and before "churn" changes any, one line goes to standard output: the
// handles of the top-level windows in hexadecimal, in the order made. The process ends when the
// named event of --quit is set or when process PID ends, whichever comes first; a watcher
// thread does it, since the GUI thread of "hung" never looks again.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <deque>
#include <string>
#include <vector>

namespace {
const wchar_t kClassName[] = L"SyntheticDesktopWindow";

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "SyntheticDesktop: %s (error %lu)\n", what, GetLastError());
    ExitProcess(2);
}

void RegisterWindowClass()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassW(&windowClass)) Fail("cannot register the window class");
}

// Top-level windows stay hidden unless asked: nothing is painted, yet every one is reported.
HWND MakeTop(const std::wstring& caption, bool visible = false)
{
    const HWND window = CreateWindowExW(0, kClassName, caption.c_str(), WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0),
                                        20, 20, 240, 160, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) Fail("cannot create a top-level window");
    return window;
}

HWND MakeChild(HWND parent, const std::wstring& caption)
{
    const HWND window = CreateWindowExW(0, kClassName, caption.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, parent,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) Fail("cannot create a child window");
    return window;
}

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

struct Options {
    std::wstring shape;
    std::vector<int> numbers;
    std::wstring quitEvent;
    DWORD parentId = 0;
};

Options Parse()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 2) Fail("usage: SyntheticDesktop <shape> [numbers] [--quit E] [--parent PID]");
    Options options;
    options.shape = arguments[1];
    for (int i = 2; i < count; ++i) {
        const std::wstring argument = arguments[i];
        const bool hasValue = i + 1 < count;
        if (argument == L"--quit" && hasValue) {
            options.quitEvent = arguments[++i];
        } else if (argument == L"--parent" && hasValue) {
            options.parentId = static_cast<DWORD>(std::wcstoul(arguments[++i], nullptr, 10));
        } else {
            options.numbers.push_back(static_cast<int>(std::wcstol(arguments[i], nullptr, 10)));
        }
    }
    LocalFree(arguments);
    return options;
}

int Number(const Options& options, size_t index, int fallback)
{
    return index < options.numbers.size() ? options.numbers[index] : fallback;
}

// What the watcher waits for: the quit event and the parent process.
std::vector<HANDLE> g_endSignals;

DWORD WINAPI Watch(void*)
{
    WaitForMultipleObjects(static_cast<DWORD>(g_endSignals.size()), g_endSignals.data(), FALSE, INFINITE);
    ExitProcess(0);
}

// Ends the process once told to, or once the parent is gone, so that no helper outlives its run.
void StartWatcher(const Options& options)
{
    if (!options.quitEvent.empty()) {
        const HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, options.quitEvent.c_str());
        if (quit == nullptr) Fail("cannot open the quit event");
        g_endSignals.push_back(quit);
    }
    if (options.parentId != 0) {
        const HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, options.parentId);
        if (parent == nullptr) ExitProcess(0); // already gone
        g_endSignals.push_back(parent);
    }
    if (g_endSignals.empty()) return; // runs until killed
    const HANDLE thread = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
    if (thread == nullptr) Fail("cannot start the watcher thread");
    CloseHandle(thread);
}

// The report: whoever started the helper learns which windows it made without racing it.
void Report(const std::vector<HWND>& tops)
{
    std::string line;
    char handle[16];
    for (HWND top : tops) {
        std::snprintf(handle, sizeof handle, line.empty() ? "%lx" : " %lx",
                      static_cast<unsigned long>(reinterpret_cast<INT_PTR>(top)));
        line += handle;
    }
    line += '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::vector<HWND> BuildFlat(const std::wstring& shape, int tops, int children)
{
    std::vector<HWND> made;
    for (int t = 0; t < tops; ++t) {
        made.push_back(MakeTop(shape + L" top " + std::to_wstring(t)));
        for (int c = 0; c < children; ++c) {
            MakeChild(made.back(), shape + L" child " + std::to_wstring(t) + L"." + std::to_wstring(c));
        }
    }
    return made;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_APP + 8) return RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (message != WM_COMMAND || (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL)) return FALSE;
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
}

// The dialog's template, built in memory: DWORD-aligned items after the header, no font.
void OpenDialog(HWND owner)
{
    std::vector<WORD> words;
    const auto put = [&](DWORD value, int count) {
        for (int i = 0; i < count; ++i, value >>= 16) words.push_back(static_cast<WORD>(value & 0xFFFF));
    };
    const auto text = [&](const wchar_t* value) {
        for (; *value != L'\0'; ++value) words.push_back(static_cast<WORD>(*value));
        words.push_back(0);
    };
    put(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 2); // style
    put(0, 2);                                                               // extended style
    words.push_back(2);                                                      // items
    for (const short value : {short(10), short(10), short(160), short(60)}) words.push_back(static_cast<WORD>(value));
    put(0, 1);  // no menu
    put(0, 1);  // the dialog class
    text(L"dialog");
    const struct {
        DWORD style;
        short x, y, cx, cy;
        WORD id, atom; // the class by its atom: 0x81 an edit box, 0x80 a button
        const wchar_t* text;
    } items[] = {{WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 10, 10, 140, 14, 100, 0x81, L""},
                 {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 55, 35, 50, 14, IDOK, 0x80, L"OK"}};
    for (const auto& item : items) {
        if (words.size() % 2 != 0) words.push_back(0);
        put(item.style, 2);
        put(0, 2);
        for (const short value : {item.x, item.y, item.cx, item.cy}) words.push_back(static_cast<WORD>(value));
        words.push_back(item.id);
        words.push_back(0xFFFF);
        words.push_back(item.atom);
        text(item.text);
        words.push_back(0); // no creation data
    }
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(words.data()), owner, DialogProc, 0);
}

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP + 6) {
        OpenDialog(window);
        return 0;
    }
    if (message == WM_APP + 1) return static_cast<LRESULT>(wParam + lParam);
    // WM_APP + 5 with N: the window sends itself N times WM_APP + 1 with parameters wider than 32
    // bits in the 64-bit build, which no 32-bit sender can send it.
    if (message == WM_APP + 5) {
        for (WPARAM i = 0; i < wParam; ++i) {
            SendMessageW(window, WM_APP + 1, static_cast<WPARAM>(0x100000001ull + i), static_cast<LPARAM>(0x200000000ll));
        }
        return static_cast<LRESULT>(wParam);
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) SetWindowTextW(window, L"target clicked");
    return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<HWND> BuildTarget()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = TargetProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"SyntheticDesktopTarget";
    if (!RegisterClassW(&windowClass)) Fail("cannot register the target class");
    const HWND top = CreateWindowExW(0, windowClass.lpszClassName, L"target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 760, 100,
                                     400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (top == nullptr) Fail("cannot create the target window");
    const auto make = [](HWND parent, const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* caption,
                         RECT at) {
        const HWND child = CreateWindowExW(exStyle, className, caption, WS_CHILD | style, at.left, at.top, at.right,
                                           at.bottom, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (child == nullptr) Fail("cannot create a target child");
        return child;
    };
    const auto place = [&](HWND parent, const wchar_t* caption, int x, int y, int width, int height, bool visible) {
        return make(parent, kClassName, WS_EX_CLIENTEDGE, visible ? WS_VISIBLE : 0, caption, {x, y, width, height});
    };
    place(place(top, L"left", 10, 10, 180, 200, true), L"left inner", 20, 20, 100, 80, true);
    place(place(top, L"right", 200, 10, 180, 200, true), L"right hidden", 10, 10, 100, 100, false);
    make(top, kClassName, WS_EX_TRANSPARENT, WS_VISIBLE, L"glass", {300, 150, 60, 40});
    make(top, L"Button", 0, WS_VISIBLE | BS_GROUPBOX, L"group", {200, 212, 180, 50});
    make(top, L"Button", 0, WS_VISIBLE | BS_PUSHBUTTON, L"press", {280, 228, 80, 26});
    UpdateWindow(top);
    return {top};
}

std::vector<HWND> BuildControls()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"SyntheticDesktopControls";
    if (!RegisterClassW(&windowClass)) Fail("cannot register the controls class");
    const HWND top = CreateWindowExW(0, windowClass.lpszClassName, L"controls", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 760,
                                     660, 400, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (top == nullptr) Fail("cannot create the controls window");
    const auto make = [](HWND parent, const wchar_t* className, const wchar_t* text, int id, RECT at) {
        const HWND child = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE, at.left, at.top, at.right,
                                           at.bottom, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                           GetModuleHandleW(nullptr), nullptr);
        if (child == nullptr) Fail("cannot create a control");
        return child;
    };
    make(top, L"Edit", L"alpha", 101, {10, 10, 150, 24});
    make(top, L"Button", L"Apply", 201, {170, 10, 80, 24});
    make(make(top, kClassName, L"panel", 300, {10, 50, 240, 60}), L"Edit", L"beta", 102, {10, 10, 150, 24});
    make(top, L"Edit", L"gamma", 103, {10, 120, 150, 24});
    make(top, L"Button", L"Close", 202, {170, 120, 80, 24});
    UpdateWindow(top);
    return {top};
}

struct SecondThread {
    HWND one = nullptr;
    HWND two = nullptr;
    HANDLE ready = nullptr;
};

DWORD WINAPI RunSecondThread(void* context)
{
    auto& second = *static_cast<SecondThread*>(context);
    second.two = MakeTop(L"thread two");
    MakeChild(second.one, L"two in one");
    SetEvent(second.ready);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}

std::vector<HWND> BuildThreads()
{
    static SecondThread second;
    second.one = MakeTop(L"thread one");
    MakeChild(second.one, L"one child");
    second.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE thread = second.ready ? CreateThread(nullptr, 0, RunSecondThread, &second, 0, nullptr) : nullptr;
    if (thread == nullptr) Fail("cannot start the second thread");
    CloseHandle(thread);
    // Its child in this thread's window tells this thread (WM_PARENTNOTIFY): answered while waiting.
    while (MsgWaitForMultipleObjects(1, &second.ready, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) Pump();
    return {second.one, second.two};
}

std::vector<HWND> BuildChain(int depth)
{
    const HWND top = MakeTop(L"chain top");
    HWND parent = top;
    for (int level = 1; level <= depth; ++level) parent = MakeChild(parent, L"chain " + std::to_wstring(level));
    return {top};
}

HWND MakeChurnWindow(unsigned generation, int children)
{
    const std::wstring name = L"churn " + std::to_wstring(generation);
    const HWND top = MakeTop(name);
    for (int c = 0; c < children; ++c) {
        const HWND child = MakeChild(top, name + L"." + std::to_wstring(c));
        if (c == 0) MakeChild(child, name + L".0.0");
    }
    return top;
}

[[noreturn]] void Churn(int tops, int children)
{
    std::deque<HWND> alive;
    unsigned generation = 0;
    while (static_cast<int>(alive.size()) < tops) alive.push_back(MakeChurnWindow(generation++, children));
    Report({alive.begin(), alive.end()});
    for (;;) {
        DestroyWindow(alive.front());
        alive.pop_front();
        alive.push_back(MakeChurnWindow(generation++, children));
        Pump();
    }
}
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const Options options = Parse();
    StartWatcher(options);
    RegisterWindowClass();

    std::vector<HWND> made;
    if (options.shape == L"flat" || options.shape == L"wide") {
        made = BuildFlat(options.shape, Number(options, 0, 10), Number(options, 1, 5));
    } else if (options.shape == L"chain") {
        made = BuildChain(Number(options, 0, 16));
    } else if (options.shape == L"churn") {
        Churn(Number(options, 0, 8), Number(options, 1, 4));
    } else if (options.shape == L"target") {
        made = BuildTarget();
    } else if (options.shape == L"controls") {
        made = BuildControls();
    } else if (options.shape == L"threads") {
        made = BuildThreads();
    } else if (options.shape == L"hung") {
        const HWND top = MakeTop(L"hung top", true);
        for (int c = 0; c < Number(options, 0, 3); ++c) MakeChild(top, L"hung child " + std::to_wstring(c));
        Pump();
        Report({top});
        Sleep(INFINITE);
    } else {
        Fail("unknown shape");
    }

    Pump();
    Report(made);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
