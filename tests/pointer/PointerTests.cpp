// Point to find driven by real mouse input from the finder tool, and by its keys, over the
// windows of a 32-bit and a 64-bit helper process and over the form's own.
#include "support/Form1Fixture.h"
#include "inspect/OverlayFrame.h"
#include "platform/MessageBox.h"
#include "support/FormDriver.h"
#include "support/MouseInput.h"
#include "support/MessageBoxCloser.h"
#include "support/SyntheticDesktopProcess.h"

namespace {
using Bits = SyntheticDesktopProcess::Bits;

RECT RectOf(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

POINT CenterOf(HWND window)
{
    const RECT rect = RectOf(window);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

class PointerTest : public Form1Fixture {
protected:
    // Typed into the finder once it is open: its keys are the form's.
    bool Press(WORD key, BYTE modifiers = 0)
    {
        const HWND finder = m_form->Pointer().Finder().hWnd();
        return PressKey(finder ? finder : m_form->TreeView1().hWnd(), key, modifiers);
    }
    std::wstring SelectedKey()
    {
        const HTREEITEM item = m_form->TreeView1().Selection();
        return item ? m_form->TreeView1().Key(item) : L"";
    }
    // Presses the finder's icon, and moves to `to` once the drag holds the capture, until the
    // window there is framed.
    void DragTo(POINT to, HWND framed)
    {
        const RECT icon = m_form->Pointer().Finder().IconScreenRect();
        MouseAt(POINT{(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2}, MOUSEEVENTF_LEFTDOWN);
        ASSERT_TRUE(PollUntil(10000, [&] {
            PumpMessages();
            return m_form->Pointer().Dragging();
        }));
        EXPECT_EQ(m_form->Pointer().Finder().hWnd(), GetCapture());
        // A hand that drags keeps moving: the move is given again until the window there is
        // framed, so that a move the platform merged with the press cannot stall the case.
        EXPECT_TRUE(PollUntil(10000, [&] {
            MouseAt(to, 0);
            PumpMessages();
            return m_form->Pointer().Framed() == framed;
        })) << "framed instead: " << ::testing::PrintToString(WindowPointer::Describe(m_form->Pointer().Framed()));
    }
};

TEST_F(PointerTest, TheFinderAndTheKeysPickTheSmallestVisibleWindowAndNoClickReachesIt)
{
    SetWindowPos(m_form->hWnd(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    MessageBoxCloser closer(kApplicationTitle);
    const HWND tree = m_form->TreeView1().hWnd();
    for (const Bits bits : SyntheticDesktopProcess::RunnableBits()) {
        SCOPED_TRACE(SyntheticDesktopProcess::ExeName(bits));
        SyntheticDesktopProcess helper(L"target", bits);
        ASSERT_TRUE(helper.WaitReady(20000)) << helper.Error();
        const HWND top = helper.TopWindows().at(0);
        const auto child = [](HWND parent, const wchar_t* className, const wchar_t* caption) {
            return FindWindowExW(parent, nullptr, className, caption);
        };
        const wchar_t* const plain = SyntheticDesktopProcess::kWindowClass;
        const HWND left = child(top, plain, L"left"), right = child(top, plain, L"right");
        const HWND inner = child(left, plain, L"left inner"), glass = child(top, plain, L"glass");
        const HWND group = child(top, L"Button", L"group"), press = child(top, L"Button", L"press");
        ASSERT_TRUE(left && right && inner && glass && group && press);
        const RECT leftRect = RectOf(left), pressRect = RectOf(press);

        enum How { Drag, Keys, DragThenEscape };
        const struct {
            How how;
            POINT at;
            HWND expected; // picked, or (Escape) framed only
        } cases[] = {
            {Drag, CenterOf(inner), inner},                                 // in a window in a window
            {Drag, POINT{leftRect.left + 2, leftRect.bottom - 2}, left},    // under its own frame
            {Drag, CenterOf(right), right},                                 // over a hidden child
            {Drag, CenterOf(glass), right},                                 // through a transparent one
            {Drag, POINT{pressRect.left - 30, CenterOf(press).y}, top},     // through a group box
            {Drag, CenterOf(press), press},                                 // below the group box
            {Drag, CenterOf(tree), tree},                                   // our own windows too
            {Keys, CenterOf(inner), inner},
            {DragThenEscape, CenterOf(right), right},                       // the selection stays
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(WindowPointer::Describe(c.expected));
            // Each pick or Esc closes the finder. The menu of the empty tree's space opens it
            // first (and the first pick scans), Ctrl+P from then on.
            if (m_form->Pointer().Finder().hWnd() == nullptr && m_form->TreeView1().Count() == 0) {
                PostMessageW(m_form->hWnd(), WM_CHAR, L'o', 0);
                SendMessageW(m_form->hWnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree),
                             MAKELPARAM(CenterOf(tree).x, CenterOf(tree).y));
            } else if (m_form->Pointer().Finder().hWnd() == nullptr) {
                ASSERT_TRUE(Press('P', FCONTROL));
            }
            ASSERT_TRUE(IsWindowVisible(m_form->Pointer().Finder().hWnd()));
            const std::wstring before = SelectedKey();
            if (c.how == Keys) {
                ASSERT_TRUE(Press('P', FCONTROL));
                // The mouse may move too while the keys point: it says where they start.
                MouseAt(POINT{c.at.x - 10, c.at.y - 1}, 0);
                ASSERT_TRUE(PollUntil(10000, [&] {
                    PumpMessages();
                    return m_form->Pointer().Framed() == c.expected;
                }));
                ASSERT_TRUE(Press(VK_RIGHT) && Press(VK_DOWN, FSHIFT));
                EXPECT_TRUE(PointerReaches(c.at));
                EXPECT_EQ(c.expected, m_form->Pointer().Framed());
            } else {
                DragTo(c.at, c.expected);
            }
            const HWND overlay = FindWindowW(OverlayFrame::kWindowClass, nullptr);
            ASSERT_NE(nullptr, overlay);
            const RECT expectedFrame = RectOf(c.expected), frame = RectOf(overlay);
            EXPECT_TRUE(c.expected == top || EqualRect(&expectedFrame, &frame));
            if (c.how == Keys) {
                ASSERT_TRUE(Press(VK_RETURN));
            } else if (c.how == Drag) {
                MouseAt(c.at, MOUSEEVENTF_LEFTUP);
            } else {
                ASSERT_TRUE(Press(VK_ESCAPE));
                MouseAt(c.at, MOUSEEVENTF_LEFTUP);
            }
            const std::wstring expected = c.how == DragThenEscape ? before : KeyOf(c.expected);
            EXPECT_TRUE(PollUntil(10000, [&] {
                PumpMessages();
                return !m_form->Pointer().Active() && SelectedKey() == expected;
            })) << SelectedKey();
            EXPECT_EQ(nullptr, GetCapture());
            EXPECT_EQ(nullptr, FindWindowW(OverlayFrame::kWindowClass, nullptr));
        }
        wchar_t caption[32] = {};
        InternalGetWindowText(top, caption, 32);
        EXPECT_STREQ(L"target", caption) << "the button under the finder was clicked";
        EXPECT_NE(top, GetForegroundWindow());
        if (bits == Bits::ThirtyTwo) {
            // Ctrl+M opens the log of the window picked last.
            ASSERT_TRUE(Press('M', FCONTROL));
            ASSERT_EQ(1u, m_form->OpenLogs().size());
            EXPECT_EQ(inner, m_form->OpenLogs()[0]->Watched());
            MessageLogWindow& log = *m_form->OpenLogs()[0];
            EXPECT_TRUE(PollUntil(20000, [&] {
                PumpMessages();
                log.Poll();
                return log.Watching();
            })) << log.StatusText();
            SendMessageW(m_form->OpenLogs()[0]->hWnd(), WM_CLOSE, 0, 0); // off the next helper's windows
        }
    }
    EXPECT_EQ(SyntheticDesktopProcess::RunnableBits().size(), closer.Texts().size())
        << "one scan for each helper, at its first pick";
}
} // namespace

namespace {
TEST_F(PointerTest, TheFinderOpensBesideTheFormOffOtherWindowsAndEscOrAPickCloseIt)
{
    SetWindowPos(m_form->hWnd(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const RECT form = RectOf(m_form->hWnd());
    // A window of another program where the finder used to open, below the form, and one right of it.
    const UniqueWindow below(CreateWindowExW(0, TestWindowClass(), L"below", WS_POPUP | WS_VISIBLE, form.left,
                                             form.bottom, 400, 150, nullptr, nullptr, nullptr, nullptr));
    const UniqueWindow right(CreateWindowExW(0, TestWindowClass(), L"right", WS_POPUP | WS_VISIBLE, form.right,
                                             form.top, 300, 200, nullptr, nullptr, nullptr, nullptr));
    MessageBoxCloser closer(kApplicationTitle);
    ASSERT_TRUE(Press('P', FCONTROL));
    const HWND finder = m_form->Pointer().Finder().hWnd();
    ASSERT_TRUE(IsWindowVisible(finder));
    RECT work = {}, common = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT place = RectOf(finder);
    UnionRect(&common, &place, &work);
    EXPECT_TRUE(EqualRect(&common, &work)) << "inside the work area";
    for (const RECT& other : {form, RectOf(below.get()), RectOf(right.get())}) {
        EXPECT_FALSE(IntersectRect(&common, &place, &other)) << place.left << ", " << place.top;
    }
    // Panel 1's prompt fits the panel.
    const HWND status = m_form->sBar1().hWnd();
    RECT panel = {};
    SendMessageW(status, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&panel));
    const HDC dc = GetDC(status);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(status, WM_GETFONT, 0, 0)));
    SIZE text = {};
    GetTextExtentPoint32W(dc, Panel1().c_str(), static_cast<int>(Panel1().size()), &text);
    SelectObject(dc, old);
    ReleaseDC(status, dc);
    EXPECT_LT(text.cx, panel.right - panel.left) << ::testing::PrintToString(Panel1());

    // Every press moves the pointer, however fast the presses come.
    const POINT start = CenterOf(below.get());
    MouseAt(start, 0);
    ASSERT_TRUE(PollUntil(10000, [&] {
        PumpMessages();
        return m_form->Pointer().Framed() == below.get();
    }));
    for (int press = 0; press < 56; ++press) {
        ASSERT_TRUE(Press(VK_RIGHT));
        PumpMessages();
    }
    EXPECT_TRUE(PointerReaches(POINT{start.x + 560, start.y}));
    ASSERT_TRUE(Press(VK_ESCAPE));
    EXPECT_EQ(nullptr, m_form->Pointer().Finder().hWnd()) << "Esc closes the finder";
    ASSERT_TRUE(Press('P', FCONTROL));
    ASSERT_TRUE(Press(VK_RETURN));
    EXPECT_EQ(nullptr, m_form->Pointer().Finder().hWnd()) << "a pick closes the finder";
}
} // namespace
