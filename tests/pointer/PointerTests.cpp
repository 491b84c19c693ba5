// Point to find driven by real mouse input over a helper process's windows and the form's own:
// releasing the button selects exactly the deepest visible window under the pointer.
#include "support/Form1Fixture.h"
#include "platform/MessageBox.h"
#include "support/FormDriver.h"
#include "support/MessageBoxCloser.h"
#include "support/SyntheticDesktopProcess.h"

namespace {
HWND ChildNamed(HWND parent, const wchar_t* caption)
{
    return FindWindowExW(parent, nullptr, SyntheticDesktopProcess::kWindowClass, caption);
}

POINT CenterOf(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// The pointer goes there first, and the button events carry the point too: Wine may still take
// a click at a position that an earlier move left behind.
void MoveAndClick(POINT at)
{
    SetCursorPos(at.x, at.y);
    ASSERT_TRUE(PollUntil(10000, [&] {
        PumpMessages();
        POINT now = {};
        return GetCursorPos(&now) && now.x == at.x && now.y == at.y;
    })) << "the pointer did not get there";
    INPUT input[2] = {};
    for (INPUT& event : input) {
        event.type = INPUT_MOUSE;
        event.mi.dx = MulDiv(at.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
        event.mi.dy = MulDiv(at.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
        event.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    input[0].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(2u, SendInput(2, input, sizeof(INPUT)));
}

class PointerTest : public Form1Fixture {
protected:
    bool Translate(WORD key, bool control)
    {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_CONTROL] = control ? 0x80 : 0;
        SetKeyboardState(state);
        MSG message = {m_form->TreeView1().hWnd(), WM_KEYDOWN, key, 0, 0, {}};
        const bool taken = m_form->TranslateFormMessage(message);
        state[VK_CONTROL] = 0;
        SetKeyboardState(state);
        return taken;
    }
    std::wstring SelectedKey()
    {
        const HTREEITEM item = m_form->TreeView1().Selection();
        return item ? m_form->TreeView1().Key(item) : L"";
    }
};

TEST_F(PointerTest, ReleasingTheButtonSelectsTheDeepestVisibleWindowUnderIt)
{
    SyntheticDesktopProcess helper(L"target");
    ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
    SetWindowPos(m_form->hWnd(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const HWND top = FindWindowW(L"SyntheticDesktopTarget", L"target");
    ASSERT_NE(nullptr, top);
    const HWND left = ChildNamed(top, L"left"), right = ChildNamed(top, L"right");
    const HWND inner = ChildNamed(left, L"left inner");
    ASSERT_TRUE(left && right && inner && ChildNamed(right, L"right hidden"));
    RECT leftRect = {};
    GetWindowRect(left, &leftRect);
    RECT client = {};
    GetClientRect(top, &client);
    POINT belowChildren = {client.right / 2, client.bottom - 20};
    ClientToScreen(top, &belowChildren);

    const struct {
        POINT at;
        HWND expected;
    } cases[] = {
        {CenterOf(inner), inner},
        {POINT{leftRect.left + 10, leftRect.bottom - 10}, left},
        {CenterOf(right), right}, // over its hidden child
        {belowChildren, top},
        {CenterOf(m_form->TreeView1().hWnd()), m_form->TreeView1().hWnd()},
    };
    MessageBoxCloser closer(kApplicationTitle);
    for (const auto& c : cases) {
        SCOPED_TRACE(WindowNodeKey(HandleValue(c.expected)));
        if (c.expected == inner) {
            // The tree is empty: the menu of its empty space starts it, and the pick scans first.
            PostMessageW(m_form->hWnd(), WM_CHAR, L'o', 0);
            const HWND tree = m_form->TreeView1().hWnd();
            SendMessageW(m_form->hWnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree), MAKELPARAM(CenterOf(tree).x, CenterOf(tree).y));
        } else {
            ASSERT_TRUE(Translate('P', true));
        }
        ASSERT_TRUE(m_form->Pointer().Active());
        MoveAndClick(c.at);
        const std::wstring expected = WindowNodeKey(HandleValue(c.expected));
        EXPECT_TRUE(PollUntil(10000, [&] {
            PumpMessages();
            return SelectedKey() == expected;
        }));
        EXPECT_FALSE(m_form->Pointer().Active());
        EXPECT_EQ(GetCapture(), nullptr);
    }
    EXPECT_EQ(1u, closer.Texts().size()) << "one scan, for the first window";

    // Escape cancels and keeps the selection; Ctrl+M opens the log of the selected window.
    m_form->Inspector().SelectWindow(inner);
    ASSERT_TRUE(Translate('P', true));
    EXPECT_TRUE(Translate(VK_ESCAPE, false));
    EXPECT_FALSE(m_form->Pointer().Active());
    EXPECT_EQ(WindowNodeKey(HandleValue(inner)), SelectedKey());
    ASSERT_TRUE(Translate('M', true));
    ASSERT_EQ(1u, m_form->OpenLogs().size());
    EXPECT_EQ(inner, m_form->OpenLogs()[0]->Watched());
    EXPECT_TRUE(m_form->OpenLogs()[0]->Watching()) << m_form->OpenLogs()[0]->StatusText();
}
} // namespace
