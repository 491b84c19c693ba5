// Every write goes through the call the platform honours for that value: a style word alone
// changes nothing on screen until the frame is recalculated, the topmost bit is ignored in the
// extended style word, and visibility and enabling have calls of their own that tell the window.
#include "edit/WindowChange.h"

#include "inventory/NodeText.h"
#include "platform/ScreenPlace.h"

#include <cwchar>

namespace {
// How long a window of another thread gets to answer a caption change, or to come to the front.
constexpr UINT kAnswerMs = 2000;
// Bits of the style word that only their own calls change properly.
constexpr DWORD kStyleByCall = WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE;
constexpr UINT kFrameChanged = SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

bool OwnProcess(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId();
}

DWORD LastErrorOr(DWORD fallback)
{
    const DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

DWORD Word(HWND window, int index)
{
    return static_cast<DWORD>(GetWindowLongPtrW(window, index));
}

// SetWindowLongPtr returns the old word, which may be 0: only the error tells a failure.
DWORD SetWord(HWND window, int index, DWORD word)
{
    if (Word(window, index) == word) return 0;
    SetLastError(0);
    if (SetWindowLongPtrW(window, index, static_cast<LONG_PTR>(static_cast<LONG>(word))) == 0 && GetLastError() != 0) {
        return GetLastError();
    }
    return SetWindowPos(window, nullptr, 0, 0, 0, 0, kFrameChanged) ? 0 : LastErrorOr(ERROR_ACCESS_DENIED);
}

DWORD ShowState(HWND window)
{
    return IsIconic(window) ? SW_SHOWMINIMIZED : IsZoomed(window) ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
}

DWORD WriteShowState(HWND window, DWORD state)
{
    ShowWindow(window, state == SW_SHOWMINIMIZED ? SW_MINIMIZE : state == SW_SHOWMAXIMIZED ? SW_MAXIMIZE : SW_RESTORE);
    return 0;
}

DWORD WriteTopmost(HWND window, bool topmost)
{
    return SetWindowPos(window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                        SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE)
               ? 0
               : LastErrorOr(ERROR_ACCESS_DENIED);
}

DWORD WriteStyle(HWND window, DWORD wanted)
{
    const DWORD now = Word(window, GWL_STYLE);
    if (const DWORD error = SetWord(window, GWL_STYLE, (now & kStyleByCall) | (wanted & ~kStyleByCall))) return error;
    const DWORD differs = (now ^ wanted) & kStyleByCall;
    if (differs & WS_DISABLED) EnableWindow(window, (wanted & WS_DISABLED) == 0);
    if (differs & (WS_MINIMIZE | WS_MAXIMIZE)) {
        WriteShowState(window, (wanted & WS_MINIMIZE)   ? SW_SHOWMINIMIZED
                               : (wanted & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED
                                                        : SW_SHOWNORMAL);
    }
    if (differs & WS_VISIBLE) ShowWindow(window, (wanted & WS_VISIBLE) ? SW_SHOWNA : SW_HIDE);
    return 0;
}

DWORD WriteExStyle(HWND window, DWORD wanted)
{
    const DWORD now = Word(window, GWL_EXSTYLE);
    if (const DWORD error = SetWord(window, GWL_EXSTYLE, (now & WS_EX_TOPMOST) | (wanted & ~WS_EX_TOPMOST))) {
        return error;
    }
    return ((now ^ wanted) & WS_EX_TOPMOST) ? WriteTopmost(window, (wanted & WS_EX_TOPMOST) != 0) : 0;
}

DWORD WriteCaption(HWND window, const std::wstring& text)
{
    if (OwnProcess(window)) return SetWindowTextW(window, text.c_str()) ? 0 : LastErrorOr(ERROR_ACCESS_DENIED);
    // Another program's window may be hung: it gets a while to answer, not forever.
    DWORD_PTR answer = 0;
    SetLastError(0);
    if (!SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG | SMTO_NORMAL, kAnswerMs, &answer)) {
        return LastErrorOr(ERROR_TIMEOUT);
    }
    return 0;
}

bool OwnedBy(HWND window, HWND owner)
{
    for (HWND up = GetWindow(window, GW_OWNER); up != nullptr; up = GetWindow(up, GW_OWNER)) {
        if (up == owner) return true;
    }
    return false;
}

// Where the window lies now; `over` is the first window of its band lying over it, if one does.
FrontPlace ReadFrontPlace(HWND window, HWND& over)
{
    over = nullptr;
    if (IsIconic(window)) return kMinimized;
    if (GetForegroundWindow() == window) return kActiveInFront;
    const bool topmost = (Word(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    RECT rect = {};
    GetWindowRect(window, &rect);
    for (HWND above = GetWindow(window, GW_HWNDPREV); above != nullptr; above = GetWindow(above, GW_HWNDPREV)) {
        const DWORD exStyle = Word(above, GWL_EXSTYLE);
        if ((exStyle & WS_EX_TOPMOST) != 0 && !topmost) break; // the always-on-top band starts here
        RECT covered = {};
        if (!IsWindowVisible(above) || IsIconic(above) || (exStyle & WS_EX_TRANSPARENT) != 0 || OwnedBy(above, window) ||
            !GetWindowRect(above, &covered) || !IntersectRect(&covered, &covered, &rect) ||
            IsWindowCloaked(above)) {
            continue;
        }
        over = above;
        return kBehind;
    }
    return kInFront;
}

// Another thread activates its window in its own time: the place is read again until it is the
// one wanted, answering what other threads send us meanwhile (our windows lose the activation).
void AwaitFrontPlace(HWND window, DWORD wanted, DWORD alsoGood)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND over = nullptr;
        const FrontPlace place = ReadFrontPlace(window, over);
        if (place == wanted || place == alsoGood || GetTickCount() - start >= kAnswerMs) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

DWORD BringToFront(HWND window, const WindowValue& value)
{
    switch (value.bits) {
    case kMinimized:
        ShowWindow(window, SW_MINIMIZE);
        return 0;
    case kActiveInFront: {
        // A minimized window comes back first: activating it alone leaves it an icon.
        if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
        if (SetForegroundWindow(window)) {
            AwaitFrontPlace(window, kActiveInFront, kActiveInFront);
            return 0;
        }
        // Refused by the foreground rules: it still comes above the windows of its band.
        if (!SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE)) {
            return ERROR_ACCESS_DENIED;
        }
        AwaitFrontPlace(window, kActiveInFront, kInFront);
        return 0;
    }
    default:
        // Back where it was: the window that was active is again, and the window lies under the
        // one that lay over it.
        if (value.front != nullptr && value.front != window && IsWindow(value.front)) SetForegroundWindow(value.front);
        if (value.over != nullptr && IsWindow(value.over)) {
            SetWindowPos(window, value.over, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        AwaitFrontPlace(window, value.bits, value.bits);
        return 0;
    }
}

RECT Bounds(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    if (Word(window, GWL_STYLE) & WS_CHILD) {
        MapWindowPoints(HWND_DESKTOP, GetAncestor(window, GA_PARENT), reinterpret_cast<POINT*>(&rect), 2);
    }
    return rect;
}

std::wstring RectText(const RECT& rect)
{
    wchar_t text[96];
    std::swprintf(text, 96, L"(%ld, %ld), %ld x %ld", rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top);
    return text;
}
} // namespace

const wchar_t* ChangeName(ChangeKind kind)
{
    static const wchar_t* const names[] = {L"caption",    L"style",         L"extended style", L"position and size",
                                           L"visibility", L"enabled state", L"window state",   L"always on top",
                                           L"place",      L"open state"};
    return names[static_cast<int>(kind)];
}

WindowValue ReadWindowValue(ChangeKind kind, HWND window)
{
    WindowValue value;
    switch (kind) {
    case ChangeKind::Caption: {
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
        value.text = text;
        break;
    }
    case ChangeKind::Style: value.bits = Word(window, GWL_STYLE); break;
    case ChangeKind::ExStyle: value.bits = Word(window, GWL_EXSTYLE); break;
    case ChangeKind::Bounds: value.rect = Bounds(window); break;
    case ChangeKind::Visible: value.bits = (Word(window, GWL_STYLE) & WS_VISIBLE) != 0; break;
    case ChangeKind::Enabled: value.bits = IsWindowEnabled(window) != FALSE; break;
    case ChangeKind::ShowState: value.bits = ShowState(window); break;
    case ChangeKind::Topmost: value.bits = (Word(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; break;
    case ChangeKind::BringToFront:
        value.bits = ReadFrontPlace(window, value.over);
        value.front = GetForegroundWindow();
        break;
    case ChangeKind::Close: value.bits = IsWindow(window) != FALSE; break;
    }
    return value;
}

DWORD WriteWindowValue(ChangeKind kind, HWND window, const WindowValue& value)
{
    switch (kind) {
    case ChangeKind::Caption: return WriteCaption(window, value.text);
    case ChangeKind::Style: return WriteStyle(window, value.bits);
    case ChangeKind::ExStyle: return WriteExStyle(window, value.bits);
    case ChangeKind::Bounds: {
        const RECT& r = value.rect;
        return SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                            SWP_NOZORDER | SWP_NOACTIVATE)
                   ? 0
                   : LastErrorOr(ERROR_ACCESS_DENIED);
    }
    case ChangeKind::Visible: ShowWindow(window, value.bits ? SW_SHOWNA : SW_HIDE); return 0;
    case ChangeKind::Enabled: EnableWindow(window, value.bits != 0); return 0;
    case ChangeKind::ShowState: return WriteShowState(window, value.bits);
    case ChangeKind::Topmost: return WriteTopmost(window, value.bits != 0);
    case ChangeKind::BringToFront: return BringToFront(window, value);
    case ChangeKind::Close:
        return value.bits != 0 || PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : LastErrorOr(ERROR_ACCESS_DENIED);
    }
    return ERROR_INVALID_PARAMETER;
}

bool SameValue(ChangeKind kind, const WindowValue& a, const WindowValue& b)
{
    switch (kind) {
    case ChangeKind::Caption: return a.text == b.text;
    case ChangeKind::Bounds: return EqualRect(&a.rect, &b.rect) != FALSE;
    default: return a.bits == b.bits;
    }
}

bool StillStands(ChangeKind kind, const WindowValue& now, const WindowValue& set)
{
    if (kind != ChangeKind::BringToFront || (set.bits != kActiveInFront && set.bits != kInFront)) {
        return SameValue(kind, now, set);
    }
    return now.bits != kMinimized;
}

std::wstring DescribeValue(ChangeKind kind, const WindowValue& value)
{
    wchar_t hex[16];
    std::swprintf(hex, 16, L"0x%08X", static_cast<unsigned>(value.bits));
    switch (kind) {
    case ChangeKind::Caption: return L"\"" + value.text + L"\"";
    case ChangeKind::Style:
    case ChangeKind::ExStyle: return hex;
    case ChangeKind::Bounds: return RectText(value.rect);
    case ChangeKind::Visible: return value.bits ? L"shown" : L"hidden";
    case ChangeKind::Enabled: return value.bits ? L"enabled" : L"disabled";
    case ChangeKind::ShowState:
        return value.bits == SW_SHOWMINIMIZED ? L"minimized" : value.bits == SW_SHOWMAXIMIZED ? L"maximized" : L"normal";
    case ChangeKind::Topmost: return value.bits ? L"on" : L"off";
    case ChangeKind::BringToFront:
        switch (value.bits) {
        case kMinimized: return L"minimized";
        case kActiveInFront: return L"in front and active";
        case kInFront: return L"in front";
        default: return L"behind window " + FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(value.over)));
        }
    case ChangeKind::Close: return value.bits ? L"open" : L"closed";
    }
    return hex;
}
