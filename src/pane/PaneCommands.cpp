// What the pane shows and its commands: following the selection, point to find and the mouse,
// the links, the keys, Copy for a script and Change. Following the mouse looks at the pointer on
// a timer, 20 times a second; a look costs two questions to the system (where the pointer is,
// whether Ctrl is down) and reads nothing unless the pointer has moved.
#include "pane/PropertiesPane.h"

#include "inspect/TreeCopy.h"
#include "inventory/APi.h"
#include "pane/PointerFacts.h"
#include "platform/RuntimeError.h"
#include "pointer/WindowPointer.h"

#include <algorithm>
#include <utility>

namespace {
constexpr UINT_PTR kFollowTimer = 1;
constexpr UINT kFollowMs = 50;
const std::wstring kNoText;
} // namespace

const std::wstring& PropertiesPane::FactsText() const noexcept
{
    return m_facts ? m_facts->Text() : kNoText;
}

HWND PropertiesPane::LinkWindow(Relation relation) const noexcept
{
    return m_links[relation] ? m_links[relation]->hWnd() : nullptr;
}

void PropertiesPane::Open(const NodeSubject& subject)
{
    if (!IsOpen()) Create(true);
    m_selection = subject;
    Show(subject, false);
    ShowWindow(hWnd(), IsIconic(hWnd()) ? SW_RESTORE : SW_SHOW);
    SetActiveWindow(hWnd());
}

void PropertiesPane::ShowSelection(const NodeSubject& subject)
{
    m_selection = subject;
    m_pending = nullptr; // a window the pointer passed on its way to the tree
    if (IsOpen() && !m_pointing) Show(subject, false);
}

void PropertiesPane::ShowPointed(HWND window, bool pointing)
{
    if (!IsOpen()) return;
    m_pointing = pointing;
    m_pending = nullptr;
    if (!pointing) {
        Show(m_selection, false);
    } else if (window != nullptr) {
        Show({NodeSubject::Kind::Window, static_cast<LONG>(reinterpret_cast<INT_PTR>(window))}, false);
    }
}

void PropertiesPane::Show(const NodeSubject& subject, bool keepPlace)
{
    const bool same = subject.kind == m_subject.kind && subject.id == m_subject.id;
    m_subject = subject;
    std::wstring text = subject.kind == NodeSubject::Kind::None ? L"No node is selected" : PropertiesText(subject);
    if (text.empty()) text = GoneText(subject);
    m_facts->SetText(text, keepPlace && same);
    const std::wstring title = subject.kind == NodeSubject::Kind::None ? L"Properties" : PropertiesTitle(subject);
    if (wchar_t shown[64] = {}; GetWindowTextW(hWnd(), shown, 64) == 0 || title != shown) {
        SetWindowTextW(hWnd(), title.c_str());
    }
    ShowLinks();
}

void PropertiesPane::ShowLinks()
{
    const HWND window = m_subject.kind == NodeSubject::Kind::Window ? WindowOf(m_subject) : nullptr;
    const bool live = window != nullptr && IsWindow(window);
    m_related = {};
    if (live) {
        m_related = {GetAncestor(window, GA_PARENT), GetWindow(window, GW_OWNER), GetWindow(window, GW_CHILD),
                     GetWindow(window, GW_HWNDPREV), GetWindow(window, GW_HWNDNEXT)};
    }
    for (size_t i = 0; i < kRelations; ++i) {
        // The desktop is every top-level window's parent, and no node of the tree.
        if (m_related[i] != nullptr && m_related[i] == GetDesktopWindow()) {
            m_related[i] = nullptr;
            m_links[i]->Set(L"desktop", false);
        } else if (m_related[i] != nullptr) {
            m_links[i]->Set(FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(m_related[i]))), true);
        } else {
            m_links[i]->Set(live ? L"none" : L"", false);
        }
    }
    EnableWindow(m_changeButton, live);
    EnableWindow(m_copy, live);
}

void PropertiesPane::FollowLink(Relation relation)
{
    const HWND window = m_related[relation];
    if (window == nullptr) return;
    if (!IsWindow(window)) {
        Say(L"Window " + FormatHandleHex(static_cast<LONG>(reinterpret_cast<INT_PTR>(window))) + L" no longer exists");
        return;
    }
    m_select(window);
}

std::wstring PropertiesPane::SetFollowMouse(bool follow)
{
    if (follow && !IsOpen()) {
        Create(false);
        Show(m_selection, false);
    }
    if (!IsOpen()) return L"";
    m_following = follow;
    m_lastPointer.reset(); // the first look reads, wherever the pointer is
    m_pending = nullptr;
    ShowFrozen(false);
    CheckDlgButton(hWnd(), kFollowId, follow ? BST_CHECKED : BST_UNCHECKED);
    if (follow) {
        SetTimer(hWnd(), kFollowTimer, kFollowMs, nullptr);
    } else {
        KillTimer(hWnd(), kFollowTimer);
        Show(m_selection, false);
    }
    Layout();
    return follow ? L"The properties pane follows the mouse: hold Ctrl to freeze it, Ctrl+U stops it"
                  : L"The properties pane shows the selection again";
}

bool PropertiesPane::FollowTick()
{
    POINT at = {};
    if (!m_following || m_pointing || IsIconic(hWnd()) || !GetCursorPos(&at)) return false;
    const bool frozen = GetAsyncKeyState(VK_CONTROL) < 0;
    if (frozen != m_frozen) ShowFrozen(frozen);
    if (frozen || (m_lastPointer && m_lastPointer->x == at.x && m_lastPointer->y == at.y)) {
        ShowPending();
        return false;
    }
    m_lastPointer = at;
    const HWND window = WindowPointer::WindowAt(at);
    // Over the form or the pane the user is on the way to a command: the pane holds what it has.
    if (window == nullptr || GetAncestor(window, GA_ROOTOWNER) == GetAncestor(m_owner, GA_ROOTOWNER)) return false;
    ++m_reads;
    const PointerReading reading = ReadPointer(at, window);
    ShowPointerText(::PointerText(reading));
    if (reading.colour != m_colour) {
        m_colour = reading.colour;
        RECT swatch = SwatchScreenRect();
        MapWindowPoints(nullptr, hWnd(), reinterpret_cast<POINT*>(&swatch), 2);
        InvalidateRect(hWnd(), &swatch, TRUE);
    }
    // The full facts take a text box the time of a frame and more to lay out: they wait until the
    // pointer rests, and are not read at all for the windows it only passes over.
    const bool shown = m_subject.kind == NodeSubject::Kind::Window && WindowOf(m_subject) == window;
    m_pending = shown ? nullptr : window;
    return true;
}

void PropertiesPane::ShowPending()
{
    if (m_pending == nullptr || !IsOpen()) return;
    const HWND window = std::exchange(m_pending, nullptr);
    ++m_reads;
    Show({NodeSubject::Kind::Window, static_cast<LONG>(reinterpret_cast<INT_PTR>(window))}, false);
}

void PropertiesPane::ShowPointerText(const std::wstring& text)
{
    if (text == m_pointerText) return;
    m_pointerText = text;
    // "Label:\tvalue" lines into the two columns; a line without a label continues the value above.
    std::wstring labels, values;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find(L"\r\n", start), text.size());
        const std::wstring line = text.substr(start, end - start);
        const size_t tab = line.find(L'\t');
        if (tab != 0) labels += line.substr(0, tab);
        labels += L"\r\n";
        values += (tab == std::wstring::npos ? L"" : line.substr(tab + 1)) + L"\r\n";
        start = end + 2;
    }
    SetWindowTextW(m_pointerLabels, labels.c_str());
    SetWindowTextW(m_pointerValues, values.c_str());
}

void PropertiesPane::ShowFrozen(bool frozen)
{
    m_frozen = frozen;
    SetWindowTextW(m_pointerHeading, frozen ? L"Under the mouse: frozen while Ctrl is held"
                                            : L"Under the mouse, in physical pixels (hold Ctrl to freeze):");
}

std::wstring PropertiesPane::CopyForScript()
{
    ShowPending();
    const NodeSubject& subject = IsOpen() ? m_subject : m_selection;
    const HWND window = subject.kind == NodeSubject::Kind::Window ? WindowOf(subject) : nullptr;
    if (window == nullptr) return L"Only a window has a script line: select one";
    if (!IsWindow(window)) return GoneText(subject);
    const std::wstring line = ScriptLine(window);
    return CopyTextToClipboard(m_owner, line) ? L"Copied: " + line
                                              : L"The clipboard is in use by another program: nothing was copied";
}

void PropertiesPane::Say(const std::wstring& text)
{
    m_status = text;
    if (IsOpen()) SetWindowTextW(m_statusLine, text.c_str());
}

bool PropertiesPane::TranslatePaneMessage(MSG& message) noexcept
{
    if (!m_window || message.hwnd == nullptr || (message.hwnd != hWnd() && !IsChild(hWnd(), message.hwnd))) return false;
    if (TranslateAcceleratorW(hWnd(), m_keys.get(), &message)) return true;
    return IsDialogMessageW(hWnd(), &message) != FALSE;
}

void PropertiesPane::OnCommand(UINT id, UINT code)
{
    const HRESULT failed = ExceptionBarrier([&] {
        if (id >= kLinkId && id < kLinkId + kRelations) {
            FollowLink(static_cast<Relation>(id - kLinkId));
            return;
        }
        switch (id) {
        case kFollowId:
            // The key toggles; a click has toggled the box already.
            if (code == BN_CLICKED) Say(SetFollowMouse(IsDlgButtonChecked(hWnd(), kFollowId) == BST_CHECKED));
            if (code == 1) Say(SetFollowMouse(!m_following));
            break;
        case kCopyId:
            if (code <= 1) Say(CopyForScript());
            break;
        case kChangeId:
            if (code == BN_CLICKED && m_subject.kind == NodeSubject::Kind::Window) {
                m_change(hWnd(), WindowOf(m_subject));
                if (IsOpen()) Show(m_subject, true);
            }
            break;
        case kRefreshId:
            Show(m_subject, true);
            break;
        case IDCANCEL: // Esc
            PostMessageW(hWnd(), WM_CLOSE, 0, 0);
            break;
        default:
            break;
        }
    });
    if (FAILED(failed)) Say(DescribeError(failed));
}
