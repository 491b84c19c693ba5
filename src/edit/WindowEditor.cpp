// Nothing is written before the window is known to exist, to belong to a process we may change,
// and to answer: a refused or vanished window is told about and left as it is.
#include "edit/WindowEditor.h"

#include "inspect/StyleNames.h"
#include "inventory/NodeText.h"
#include "platform/ProcessIntegrity.h"

namespace {
constexpr size_t kHistoryLimit = 100;
constexpr UINT kAnswerMs = 2000;

std::wstring Handle(HWND window)
{
    return FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(window)));
}

std::wstring Subject(const WindowChange& change)
{
    return L"Window " + Handle(change.window) + L": " + ChangeName(change.kind);
}

// The box bits are named as the window's kind reads them, also when WS_CHILD itself changes.
std::wstring Names(ChangeKind kind, DWORD bits, bool child)
{
    if (kind == ChangeKind::ExStyle) return ExtendedStyleNames(bits);
    std::wstring names;
    for (const StyleFlag& flag : StyleFlags(child)) {
        if ((bits & flag.mask) != flag.mask) continue;
        names += (names.empty() ? L"" : L" | ") + std::wstring(flag.name);
        bits &= ~flag.mask;
    }
    return bits == 0 ? names : names + (names.empty() ? L"" : L" | ") + StyleNames(bits);
}

// A style word changes by flags: their names say more than the two numbers.
std::wstring FlagsChanged(ChangeKind kind, DWORD from, DWORD to)
{
    std::wstring names;
    const auto add = [&](const wchar_t* sign, DWORD bits) {
        if (bits != 0) names += (names.empty() ? L" (" : L", ") + std::wstring(sign) + Names(kind, bits, from & WS_CHILD);
    };
    add(L"-", from & ~to);
    add(L"+", to & ~from);
    return names.empty() ? names : names + L")";
}

std::wstring Transition(ChangeKind kind, const WindowValue& from, const WindowValue& to)
{
    const bool style = kind == ChangeKind::Style || kind == ChangeKind::ExStyle;
    return DescribeValue(kind, from) + L" \x2192 " + DescribeValue(kind, to) +
           (style ? FlagsChanged(kind, from.bits, to.bits) : L"");
}
} // namespace

std::wstring WindowEditor::Unreachable(HWND window)
{
    DWORD processId = 0;
    const DWORD threadId = GetWindowThreadProcessId(window, &processId);
    if (threadId == 0 || !IsWindow(window)) return L"Window " + Handle(window) + L" no longer exists: nothing changed";
    if (RunsAboveThisProcess(processId)) {
        return L"Window " + Handle(window) +
               L" belongs to a process of higher integrity: Windows does not let this program change it; nothing changed";
    }
    DWORD_PTR answer = 0;
    if (threadId != GetCurrentThreadId() &&
        !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, kAnswerMs, &answer)) {
        return L"Window " + Handle(window) + L" is not responding: nothing changed";
    }
    return L"";
}

std::wstring WindowEditor::Write(const WindowChange& change, WindowValue& now)
{
    if (std::wstring why = Unreachable(change.window); !why.empty()) return why;
    const DWORD error = WriteWindowValue(change.kind, change.window, change.value);
    if (!IsWindow(change.window)) {
        return change.kind == ChangeKind::Close ? L"" : L"Window " + Handle(change.window) + L" vanished while it was changed";
    }
    if (error == ERROR_ACCESS_DENIED && change.kind == ChangeKind::BringToFront) {
        return Subject(change) + L": Windows' foreground rules refused to bring it to the front";
    }
    if (error == ERROR_ACCESS_DENIED) {
        return L"Window " + Handle(change.window) + L": Windows denied the change (a process of higher integrity); nothing changed";
    }
    if (error == ERROR_TIMEOUT) return L"Window " + Handle(change.window) + L" did not answer in time: nothing changed";
    if (error != 0) return Subject(change) + L": the change failed with error " + std::to_wstring(error);
    now = ReadWindowValue(change.kind, change.window);
    return L"";
}

WindowEditor::Outcome WindowEditor::Apply(const WindowChange& change)
{
    if (std::wstring why = Unreachable(change.window); !why.empty()) return {false, why};
    const WindowValue old = ReadWindowValue(change.kind, change.window);
    if (SameValue(change.kind, old, change.value)) {
        return {false, Subject(change) + L" is " + DescribeValue(change.kind, old) + L" already: nothing to change"};
    }
    WindowValue now;
    if (std::wstring why = Write(change, now); !why.empty()) return {false, why};
    if (change.kind == ChangeKind::Close) {
        m_history.push_back({change, old, change.value});
        return {true, L"Window " + Handle(change.window) + L": asked to close (WM_CLOSE posted)"};
    }
    if (SameValue(change.kind, now, old)) {
        return {false, Subject(change) + L" stays " + DescribeValue(change.kind, old) + L": the window did not take " +
                           DescribeValue(change.kind, change.value)};
    }
    m_history.push_back({change, old, now});
    if (m_history.size() > kHistoryLimit) m_history.pop_front();
    if (SameValue(change.kind, now, change.value)) return {true, Subject(change) + L" " + Transition(change.kind, old, now)};
    const wchar_t* const why = change.kind == ChangeKind::BringToFront
                                   ? L": Windows' foreground rules kept another window active"
                                   : L": the window took the change in part";
    return {true, Subject(change) + L" " + Transition(change.kind, old, now) + L", not " +
                      DescribeValue(change.kind, change.value) + why};
}

std::wstring WindowEditor::WhyNotUndoable(const Entry& entry)
{
    const WindowChange& change = entry.change;
    if (change.kind == ChangeKind::Close) return L"closing window " + Handle(change.window) + L" cannot be undone";
    if (!IsWindow(change.window)) return L"window " + Handle(change.window) + L" no longer exists";
    const WindowValue now = ReadWindowValue(change.kind, change.window);
    if (StillStands(change.kind, now, entry.set)) return L"";
    return L"the " + std::wstring(ChangeName(change.kind)) + L" of window " + Handle(change.window) +
           L" was changed meanwhile (now " + DescribeValue(change.kind, now) + L")";
}

WindowEditor::Outcome WindowEditor::Undo()
{
    if (m_history.empty()) return {false, L"Nothing to undo"};
    std::wstring firstWhy;
    size_t dropped = 0;
    while (!m_history.empty()) {
        const Entry entry = m_history.back();
        m_history.pop_back();
        if (std::wstring why = WhyNotUndoable(entry); !why.empty()) {
            if (firstWhy.empty()) firstWhy = why;
            ++dropped;
            continue;
        }
        const std::wstring skipped =
            dropped == 0 ? L"" : L" (skipped " + std::to_wstring(dropped) + L" that no longer stand: " + firstWhy + L")";
        WindowValue now;
        const WindowChange back{entry.change.kind, entry.change.window, entry.old};
        if (std::wstring why = Write(back, now); !why.empty()) return {false, L"Not undone: " + why + skipped};
        if (!SameValue(back.kind, now, entry.old)) {
            return {!SameValue(back.kind, now, entry.set),
                    L"Undo of " + Subject(back) + L" did not take: it is " + DescribeValue(back.kind, now) + skipped};
        }
        return {true, L"Undone: " + Subject(back) + L" " + Transition(back.kind, entry.set, now) + skipped};
    }
    return {false, L"Nothing undone: " + firstWhy};
}

std::vector<std::wstring> WindowEditor::HistoryLines() const
{
    std::vector<std::wstring> lines;
    for (auto entry = m_history.rbegin(); entry != m_history.rend(); ++entry) {
        lines.push_back(Subject(entry->change) + L" " + Transition(entry->change.kind, entry->old, entry->set));
    }
    return lines;
}
