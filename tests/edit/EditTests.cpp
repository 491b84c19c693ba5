// Changing windows of a helper process and undoing each change, read back from outside with the
// platform's own calls; then the commands of the form: the change dialog, undo refused, close.
#include "edit/ChangeDialog.h"
#include "edit/WindowEditor.h"
#include "platform/MessageBox.h"
#include "support/Form1Fixture.h"
#include "support/MessageBoxCloser.h"
#include "support/ScreenCapture.h"
#include "support/SyntheticDesktopProcess.h"

#include <commctrl.h>

#include <cstdio>
#include <functional>

namespace {
using Bits = SyntheticDesktopProcess::Bits;

// What anyone can see of a window. The frame is not compared while minimized or maximized.
struct Seen {
    std::wstring caption;
    DWORD style = 0, exStyle = 0;
    RECT rect = {}; // parent's client coordinates, screen for top-level windows
    LONG insetLeft = 0, insetTop = 0; // of the client area in the window
    bool visible = false, enabled = false, iconic = false, zoomed = false, aboveMarker = false;

    std::wstring Text() const
    {
        wchar_t text[256];
        std::swprintf(text, 256, L"style %08X ex %08X rect (%ld,%ld)-(%ld,%ld) inset %ld,%ld visible %d enabled %d "
                      L"iconic %d zoomed %d above %d",
                      static_cast<unsigned>(style), static_cast<unsigned>(exStyle), rect.left, rect.top, rect.right,
                      rect.bottom, insetLeft, insetTop, visible, enabled, iconic, zoomed, aboveMarker);
        return L"\"" + caption + L"\" " + text;
    }
};

Seen Observe(HWND window, HWND marker)
{
    Seen seen;
    wchar_t caption[256] = {};
    GetWindowTextW(window, caption, 256);
    seen.caption = caption;
    seen.style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    seen.exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    seen.visible = IsWindowVisible(window);
    seen.enabled = IsWindowEnabled(window);
    seen.iconic = IsIconic(window);
    seen.zoomed = IsZoomed(window);
    for (HWND below = GetWindow(window, GW_HWNDNEXT); below != nullptr; below = GetWindow(below, GW_HWNDNEXT)) {
        seen.aboveMarker = seen.aboveMarker || below == marker;
    }
    if (seen.iconic || seen.zoomed) return seen;
    GetWindowRect(window, &seen.rect);
    POINT client = {0, 0};
    ClientToScreen(window, &client);
    seen.insetLeft = client.x - seen.rect.left;
    seen.insetTop = client.y - seen.rect.top;
    if (seen.style & WS_CHILD) MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&seen.rect), 2);
    return seen;
}

// The insets the platform gives a window of the expected styles, without a menu.
void FrameFor(Seen& s)
{
    RECT frame = {};
    AdjustWindowRectEx(&frame, s.style, FALSE, s.exStyle);
    s.insetLeft = -frame.left;
    s.insetTop = -frame.top;
}

// The value a change must carry to make the window look as `expected`.
WindowValue ValueFor(ChangeKind kind, const Seen& expected)
{
    WindowValue value;
    value.text = expected.caption;
    value.rect = expected.rect;
    switch (kind) {
    case ChangeKind::Style: value.bits = expected.style; break;
    case ChangeKind::ExStyle: value.bits = expected.exStyle; break;
    case ChangeKind::Visible: value.bits = expected.visible; break;
    case ChangeKind::Enabled: value.bits = expected.enabled; break;
    case ChangeKind::Topmost: value.bits = (expected.exStyle & WS_EX_TOPMOST) != 0; break;
    case ChangeKind::ShowState:
        value.bits = expected.iconic ? SW_SHOWMINIMIZED : expected.zoomed ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
        break;
    default: break;
    }
    return value;
}

bool PollFor(const std::function<bool()>& done)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(20)) {
        PumpMessages();
        if (done()) return true;
    }
    return done();
}

// A topmost window of this test: a helper's window is above it only while topmost itself.
UniqueWindow MakeMarker()
{
    UniqueWindow marker(CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TestWindowClass(), L"marker", WS_POPUP, 0, 0,
                                        40, 40, nullptr, nullptr, nullptr, nullptr));
    ShowWindow(marker.get(), SW_SHOWNOACTIVATE);
    return marker;
}

TEST(WindowEditorTest, EachChangeTakesEffectSeenFromOutsideAndItsUndoRestoresTheWindow)
{
    const struct Row {
        const char* what;
        ChangeKind kind;
        bool child; // "left" of the helper's "target", else "target" itself
        void (*expect)(Seen&);
    } rows[] = {
        {"caption", ChangeKind::Caption, false, [](Seen& s) { s.caption = L"Retitled \x263A \x4E2D"; }},
        // The frame is recalculated: the caption bar goes.
        {"no caption", ChangeKind::Style, false, [](Seen& s) { s.style &= ~WS_CAPTION; FrameFor(s); }},
        {"hidden and disabled by style", ChangeKind::Style, true,
         [](Seen& s) { s.style = (s.style & ~WS_VISIBLE) | WS_DISABLED; s.visible = s.enabled = false; }},
        {"no client edge", ChangeKind::ExStyle, true, [](Seen& s) { s.exStyle &= ~WS_EX_CLIENTEDGE; FrameFor(s); }},
        {"topmost by style", ChangeKind::ExStyle, false, [](Seen& s) { s.exStyle |= WS_EX_TOPMOST; s.aboveMarker = true; }},
        {"child moved", ChangeKind::Bounds, true, [](Seen& s) { s.rect = {30, 40, 130, 90}; }},
        {"top moved", ChangeKind::Bounds, false, [](Seen& s) { s.rect = {700, 120, 1000, 360}; }},
        {"hidden", ChangeKind::Visible, true, [](Seen& s) { s.style &= ~WS_VISIBLE; s.visible = false; }},
        {"disabled", ChangeKind::Enabled, false, [](Seen& s) { s.style |= WS_DISABLED; s.enabled = false; }},
        {"minimized", ChangeKind::ShowState, false,
         [](Seen& s) { s = Seen{s.caption, s.style | WS_MINIMIZE, s.exStyle, {}, 0, 0, true, true, true}; }},
        {"maximized", ChangeKind::ShowState, false,
         [](Seen& s) { s = Seen{s.caption, s.style | WS_MAXIMIZE, s.exStyle, {}, 0, 0, true, true, false, true}; }},
        {"always on top", ChangeKind::Topmost, false, [](Seen& s) { s.exStyle |= WS_EX_TOPMOST; s.aboveMarker = true; }},
    };
    const UniqueWindow marker = MakeMarker();
    for (const Bits bits : SyntheticDesktopProcess::RunnableBits()) {
        SyntheticDesktopProcess helper(L"target", bits);
        ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
        const HWND top = helper.TopWindows().at(0);
        const HWND left = FindWindowExW(top, nullptr, SyntheticDesktopProcess::kWindowClass, L"left");
        ASSERT_NE(nullptr, left);
        WindowEditor editor;
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.what) + (bits == Bits::SixtyFour ? " in 64 bits" : ""));
            const HWND window = row.child ? left : top;
            const Seen before = Observe(window, marker.get());
            Seen expected = before;
            row.expect(expected);
            const WindowEditor::Outcome applied = editor.Apply({row.kind, window, ValueFor(row.kind, expected)});
            EXPECT_TRUE(applied.changed) << applied.text;
            EXPECT_EQ(expected.Text(), Observe(window, marker.get()).Text());
            const WindowEditor::Outcome undone = editor.Undo();
            EXPECT_EQ(L"Undone: ", undone.text.substr(0, 8)) << undone.text;
            EXPECT_EQ(before.Text(), Observe(window, marker.get()).Text());
        }

        // A minimized window is restored, then activated; undo minimizes it again.
        ASSERT_TRUE(editor.Apply({ChangeKind::ShowState, top, WindowValue{L"", SW_SHOWMINIMIZED}}).changed);
        WindowValue front;
        front.bits = kActiveInFront;
        const std::wstring place = L"Window " + HandleText(top) + L": place ";
        EXPECT_EQ(place + L"minimized \x2192 in front and active", editor.Apply({ChangeKind::BringToFront, top, front}).text);
        EXPECT_TRUE(!IsIconic(top) && GetForegroundWindow() == top);
        EXPECT_EQ(L"Undone: " + place + L"in front and active \x2192 minimized", editor.Undo().text);
        EXPECT_TRUE(IsIconic(top));
    }

    // A window that stopped answering is left alone, and does not hold us up for good.
    SyntheticDesktopProcess hung(L"hung 0");
    ASSERT_TRUE(hung.WaitReady(20000)) << hung.Error();
    const HWND stuck = hung.TopWindows().at(0);
    WindowEditor editor;
    EXPECT_EQ(L"Window " + HandleText(stuck) + L" is not responding: nothing changed",
              editor.Apply({ChangeKind::Caption, stuck, WindowValue{L"retitled"}}).text);
    wchar_t caption[64] = {};
    GetWindowTextW(stuck, caption, 64);
    EXPECT_STREQ(L"hung top", caption);
}
} // namespace

namespace {
HWND g_changed = nullptr; // the window the change dialog is open on, for the ticks that drive it

class EditFormTest : public Form1Fixture {
protected:
    // Opens the change dialog from the form on the helper's window, modal, while `tick` drives it
    // every `ms` milliseconds until the tick closes it.
    void DriveChangeDialog(const SyntheticDesktopProcess& helper, TIMERPROC tick, UINT ms)
    {
        g_changed = helper.TopWindows().at(0);
        SetTimer(nullptr, 0, ms, tick);
        m_form->Edit().OpenChangeDialog(m_form->hWnd(), g_changed);
    }
};

// Runs inside the change dialog's modal loop: unticks WS_CAPTION, applies, closes the dialog.
void CALLBACK UntickCaption(HWND, UINT, UINT_PTR timer, DWORD) noexcept
{
    const HWND dialog = FindWindowW(nullptr, ChangeDialog::Title(g_changed).c_str());
    if (dialog == nullptr) return;
    KillTimer(nullptr, timer);
    const HWND styles = FindWindowExW(dialog, nullptr, WC_LISTVIEWW, nullptr);
    LVFINDINFOW find = {};
    find.flags = LVFI_STRING;
    find.psz = L"WS_CAPTION";
    const auto item = SendMessageW(styles, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find));
    LVITEMW unticked = {};
    unticked.stateMask = LVIS_STATEIMAGEMASK;
    unticked.state = INDEXTOSTATEIMAGEMASK(1);
    SendMessageW(styles, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&unticked));
    const HWND apply = FindWindowExW(dialog, nullptr, L"Button", L"&Apply");
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(apply), BN_CLICKED), reinterpret_cast<LPARAM>(apply));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(EditFormTest, TheDialogAppliesTickedFlagsCtrlZUndoesOnlyWhatStillStandsAndCloseAsksFirst)
{
    SyntheticDesktopProcess helper(L"target");
    ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
    const HWND top = helper.TopWindows().at(0);
    const std::wstring handle = HandleText(top), window = L"Window " + handle;
    {
        MessageBoxCloser closer(kApplicationTitle);
        m_form->meu_File_Click();
    }
    ASSERT_TRUE(m_form->Inspector().SelectWindow(top));

    g_changed = top;
    SetTimer(nullptr, 0, 50, UntickCaption);
    m_form->Edit().OpenChangeDialog();
    EXPECT_EQ(0x140F0000, GetWindowLongPtrW(top, GWL_STYLE));
    EXPECT_EQ(window + L": style 0x14CF0000 \x2192 0x140F0000 (-WS_CAPTION)", Panel1());
    EXPECT_TRUE(PressKey(m_form->TreeView1().hWnd(), 'Z', FCONTROL));
    EXPECT_EQ(0x14CF0000, GetWindowLongPtrW(top, GWL_STYLE));
    EXPECT_EQ(L"Undone: " + window + L": style 0x140F0000 \x2192 0x14CF0000 (+WS_CAPTION)", Panel1());

    // Someone else retitles the window after us: our change no longer stands.
    m_form->Edit().Apply({ChangeKind::Caption, top, WindowValue{L"ours"}});
    SetWindowTextW(top, L"theirs");
    EXPECT_TRUE(PressKey(m_form->TreeView1().hWnd(), 'Z', FCONTROL));
    EXPECT_EQ(L"Nothing undone: the caption of window " + handle + L" was changed meanwhile (now \"theirs\")",
              Panel1());

    std::vector<std::wstring> asked;
    {
        MessageBoxCloser closer(kApplicationTitle);
        m_form->Edit().CloseWindow();
        asked = closer.Texts();
    }
    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ(L"Close window " + handle + L" \"theirs\"?", asked[0].substr(0, asked[0].find(L'\r')));
    EXPECT_TRUE(PollFor([&] { return !IsWindow(top); }));
    EXPECT_TRUE(PollFor([&] { return Panel1() == window + L" is closed"; })) << Panel1();
    EXPECT_TRUE(PressKey(m_form->TreeView1().hWnd(), 'Z', FCONTROL));
    EXPECT_EQ(L"Nothing undone: closing window " + handle + L" cannot be undone", Panel1());
    EXPECT_EQ(window + L" no longer exists: nothing changed",
              m_form->Edit().Apply({ChangeKind::Caption, top, WindowValue{L"late"}}));
}
} // namespace

namespace {
// Types into the change dialog's fields and presses Enter there, as a person would, one step per
// tick of its modal loop: a caption, then a left edge; then closes it.
int g_enterStep = 0;
void CALLBACK TypeAndPressEnter(HWND, UINT, UINT_PTR timer, DWORD) noexcept
{
    const HWND dialog = FindWindowW(nullptr, ChangeDialog::Title(g_changed).c_str());
    if (dialog == nullptr) return;
    const auto enterInto = [&](HWND field, const wchar_t* text) {
        SetWindowTextW(field, text);
        SetFocus(field);
        PostMessageW(field, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(field, WM_KEYUP, VK_RETURN, 0);
    };
    // The fields in the dialog's order: the caption first, then left, top, width and height.
    const HWND caption = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
    HWND left = FindWindowExW(dialog, caption, L"Edit", nullptr);
    switch (g_enterStep++) {
    case 0: enterInto(caption, L"typed"); break;
    case 1: enterInto(left, L"123"); break;
    default:
        KillTimer(nullptr, timer);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

TEST_F(EditFormTest, EnterInTheChangeDialogAppliesWhatWasTyped)
{
    SyntheticDesktopProcess helper(L"target");
    ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
    g_enterStep = 0;
    DriveChangeDialog(helper, TypeAndPressEnter, 50);
    wchar_t caption[32] = {};
    GetWindowTextW(g_changed, caption, 32);
    EXPECT_STREQ(L"typed", caption);
    RECT rect = {};
    GetWindowRect(g_changed, &rect);
    EXPECT_EQ(123, rect.left);
    const std::wstring moved = L"Window " + HandleText(g_changed) + L": position and size (";
    EXPECT_EQ(moved, Panel1().substr(0, moved.size()));
}
} // namespace

namespace {
TEST_F(EditFormTest, BringToFrontSaysWhereTheWindowLiesAndCtrlZPutsItBackBehind)
{
    SyntheticDesktopProcess helper(L"target");
    ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
    const HWND top = helper.TopWindows().at(0);
    {
        MessageBoxCloser closer(kApplicationTitle);
        m_form->meu_File_Click();
    }
    ASSERT_TRUE(m_form->Inspector().SelectWindow(top));
    RECT rect = {};
    GetWindowRect(top, &rect);
    const UniqueWindow cover(CreateWindowExW(0, TestWindowClass(), L"cover", WS_OVERLAPPEDWINDOW, rect.left + 20,
                                             rect.top + 20, 200, 150, nullptr, nullptr, nullptr, nullptr));
    ShowWindow(cover.get(), SW_SHOW);
    ASSERT_EQ(cover.get(), GetForegroundWindow());
    const std::wstring place = L"Window " + HandleText(top) + L": place ";
    const std::wstring behind = L"behind window " + HandleText(cover.get());

    m_form->Edit().BringToFront();
    EXPECT_EQ(place + behind + L" \x2192 in front and active", Panel1());
    EXPECT_EQ(top, GetForegroundWindow());
    // Back in the form to undo it: the form is active now, and the change still stands.
    SetForegroundWindow(m_form->hWnd());
    EXPECT_TRUE(PressKey(m_form->TreeView1().hWnd(), 'Z', FCONTROL));
    EXPECT_EQ(L"Undone: " + place + L"in front and active \x2192 " + behind, Panel1());
    EXPECT_EQ(cover.get(), GetForegroundWindow());
    EXPECT_EQ(top, GetWindow(cover.get(), GW_HWNDNEXT));
}
} // namespace

namespace {
// Hides and shows the window the dialog is open on, which lies over it, one step per tick; then
// compares the last changes box as the screen shows it with the box painted afresh.
int g_showStep = 0;
bool g_sameAsFresh = false;
void CALLBACK HideShowAndLook(HWND, UINT, UINT_PTR timer, DWORD) noexcept
{
    const HWND dialog = FindWindowW(nullptr, ChangeDialog::Title(g_changed).c_str());
    if (dialog == nullptr) return;
    if (g_showStep < 6) {
        const HWND button = FindWindowExW(dialog, nullptr, L"Button", g_showStep++ % 2 == 0 ? L"Hide" : L"Show");
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
        return;
    }
    KillTimer(nullptr, timer);
    HWND box = nullptr;
    for (HWND edit = nullptr; (edit = FindWindowExW(dialog, edit, L"Edit", nullptr)) != nullptr;) {
        if (GetWindowLongW(edit, GWL_STYLE) & ES_MULTILINE) box = edit;
    }
    RECT rect = {};
    GetWindowRect(box, &rect);
    const std::vector<DWORD> shown = CaptureScreen(rect);
    RedrawWindow(box, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    g_sameAsFresh = shown == CaptureScreen(rect);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(EditFormTest, TheLastChangesBoxShowsWhatAFreshPaintShowsWhileAWindowComesAndGoesOverTheDialog)
{
    SyntheticDesktopProcess helper(L"target");
    ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
    g_showStep = 0;
    DriveChangeDialog(helper, HideShowAndLook, 100);
    EXPECT_TRUE(g_sameAsFresh) << "lines left over from an earlier paint";
}
} // namespace
