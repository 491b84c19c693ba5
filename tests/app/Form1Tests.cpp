// Form1 in this process: its window, controls and font at this display's DPI, the progress bar
// docked through resizing, every message's result, and the scan with its count and error boxes.
#include "Form1Fixture.h"
#include "platform/MessageBox.h"
#include "support/MessageBoxCloser.h"
#include "support/TreeReader.h"
#include "window_model/ScreenWindowInfo.h"

#include <commctrl.h>

#include <cmath>
#include <ostream>

// Rectangles compared and shown whole in the expectations.
bool operator==(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}
std::ostream& operator<<(std::ostream& out, const RECT& r)
{
    return out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

// The design's twips as whole pixels of this display, worked out apart from the program's own
// conversion.
int Dpi(int index)
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, index);
    ReleaseDC(nullptr, screen);
    return dpi;
}
int PixelsX(double twips)
{
    return static_cast<int>(std::lround(twips * Dpi(LOGPIXELSX) / 1440.0));
}
int PixelsY(double twips)
{
    return static_cast<int>(std::lround(twips * Dpi(LOGPIXELSY) / 1440.0));
}

RECT RectInParent(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class Form1Test : public Form1Fixture {
protected:
    HWND Tree() const { return m_form->TreeView1().hWnd(); }
    HWND StatusBar() const { return m_form->sBar1().hWnd(); }

    RECT Panel(int panel) const
    {
        RECT rect = {};
        SendMessageW(StatusBar(), SB_GETRECT, static_cast<WPARAM>(panel - 1), reinterpret_cast<LPARAM>(&rect));
        return rect;
    }

    // The status bar along the client's bottom edge, the tree where it was designed, and the
    // progress bar inside the status bar over panel 2: at its left edge, 45 twips down, 60 twips
    // narrower than the panel and 60 twips lower than the status bar.
    void ExpectLayout() const
    {
        RECT client;
        GetClientRect(m_form->hWnd(), &client);
        const RECT status = RectInParent(StatusBar());
        EXPECT_EQ(0, status.left);
        EXPECT_EQ(client.right, status.right);
        EXPECT_EQ(client.bottom, status.bottom);
        EXPECT_EQ((RECT{PixelsX(45), PixelsY(45), PixelsX(45) + PixelsX(10230), PixelsY(45) + PixelsY(7260)}),
                  RectInParent(Tree()));
        const HWND bar = m_form->pBar1().hWnd();
        ASSERT_EQ(StatusBar(), GetParent(bar));
        const RECT panel = Panel(2);
        const RECT placed = RectInParent(bar);
        EXPECT_EQ(panel.left, placed.left);
        EXPECT_EQ(PixelsY(45), placed.top);
        EXPECT_NEAR(panel.right - panel.left - PixelsX(60), placed.right - placed.left, 1);
        EXPECT_NEAR(status.bottom - status.top - PixelsY(60), placed.bottom - placed.top, 1);
    }
};

TEST_F(Form1Test, WindowControlsAndFontStandAsDesigned)
{
    wchar_t text[32] = {};
    GetWindowTextW(m_form->hWnd(), text, 32);
    EXPECT_STREQ(L"Form1", text);
    const HMENU menu = GetMenu(m_form->hWnd());
    ASSERT_EQ(1, GetMenuItemCount(menu));
    GetMenuStringW(menu, 0, text, 32, MF_BYPOSITION);
    EXPECT_STREQ(L"ClickHere(&C)", text);
    EXPECT_EQ(nullptr, GetSubMenu(menu, 0)) << "the command sits on the bar itself";
    RECT client;
    GetClientRect(m_form->hWnd(), &client);
    EXPECT_EQ((RECT{0, 0, PixelsX(10365), PixelsY(7725)}), client);
    EXPECT_NE(0, GetWindowLongW(m_form->hWnd(), GWL_STYLE) & WS_THICKFRAME);

    // Four panels of the designed widths while the bar is wide enough for all of them.
    ASSERT_EQ(4, SendMessageW(StatusBar(), SB_GETPARTS, 0, 0));
    int right = 0;
    for (const auto& [panel, width] : {std::pair{1, 7335}, std::pair{2, 1685}, std::pair{3, 540}, std::pair{4, 450}}) {
        right += PixelsX(width);
        EXPECT_NEAR(right, Panel(panel).right, 2) << "panel " << panel;
    }
    ExpectLayout();

    LOGFONTW font = {};
    ASSERT_NE(0, GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Tree(), WM_GETFONT, 0, 0)), sizeof font, &font));
    EXPECT_STREQ(L"\x5B8B\x4F53", font.lfFaceName);
    EXPECT_EQ(GB2312_CHARSET, font.lfCharSet);
    EXPECT_EQ(FW_NORMAL, font.lfWeight);
    EXPECT_EQ(-MulDiv(9, Dpi(LOGPIXELSY), 72), font.lfHeight);
    // Rows 5 pixels taller than an identical tree, left as the control sets itself up, chose
    // (as the control takes it: it may round the height).
    UniqueWindow host = CreateTopWindow(L"reference");
    TreeViewControl reference(host.get(), 1, RECT{0, 0, 100, 100});
    reference.SetFont(reinterpret_cast<HFONT>(SendMessageW(Tree(), WM_GETFONT, 0, 0)));
    const int chosen = reference.ItemHeight();
    reference.SetItemHeight(chosen + 5);
    EXPECT_EQ(reference.ItemHeight(), m_form->TreeView1().ItemHeight());
    EXPECT_GT(m_form->TreeView1().ItemHeight(), chosen);
}

TEST_F(Form1Test, ResizingMinimizingAndRestoringKeepTheBarDockedAndTheTreeInPlace)
{
    RECT window;
    GetWindowRect(m_form->hWnd(), &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int panel2 = Panel(2).left;
    const struct {
        const char* name;
        int command; // a ShowWindow command, or 0 to size the window
        int width, height;
    } steps[] = {{"wider", 0, width + 200, height + 120}, {"narrower than the panels", 0, width - 250, height - 100},
                 {"minimized", SW_MINIMIZE, 0, 0},       {"restored", SW_RESTORE, 0, 0},
                 {"as designed", 0, width, height}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.command != 0) {
            ShowWindow(m_form->hWnd(), step.command);
        } else {
            SetWindowPos(m_form->hWnd(), nullptr, 0, 0, step.width, step.height, SWP_NOMOVE | SWP_NOZORDER);
        }
        PumpMessages();
        if (step.command != SW_MINIMIZE) ExpectLayout();
        if (step.width == width - 250) {
            EXPECT_LT(Panel(2).left, panel2) << "panel 1 gives way";
        }
    }
}

TEST_F(Form1Test, EveryMessageReturnsWhatTheWindowsOwnProcedureReturned)
{
    EXPECT_EQ(DefWindowProcW(m_form->hWnd(), WM_NCHITTEST, 0, MAKELPARAM(5, 5)),
              SendMessageW(m_form->hWnd(), WM_NCHITTEST, 0, MAKELPARAM(5, 5)));
    EXPECT_EQ(5, SendMessageW(m_form->hWnd(), WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(0, SendMessageW(m_form->hWnd(), WM_SIZE, SIZE_RESTORED, 0));
}

TEST_F(Form1Test, EachScanShowsTheCountInAPlainBoxAndAFullNewInventory)
{
    UniqueWindow mine = CreateTopWindow(L"scan me");
    UniqueWindow child = CreateChildWindow(mine.get(), L"my child");
    const int itemHeight = m_form->TreeView1().ItemHeight();
    MessageBoxCloser closer;
    m_form->meu_File_Click();
    const size_t firstRoots = ReadTree(Tree()).size();
    m_form->meu_File_Click();
    const std::vector<TreeNode> roots = ReadTree(Tree());

    // OK only, no icon, application-modal over the form, with the application's title.
    ASSERT_EQ(2u, closer.Boxes().size());
    for (const ShownBox& box : closer.Boxes()) {
        EXPECT_STREQ(kApplicationTitle, box.title);
        EXPECT_EQ(1u << IDOK, box.buttons);
        EXPECT_EQ(nullptr, box.icon);
        EXPECT_EQ(m_form->hWnd(), box.owner);
        EXPECT_FALSE(box.topmost);
        EXPECT_GT(std::stol(box.text), 0);
    }
    EXPECT_EQ(ProcessList.size(), roots.size()) << "one root per recorded process, none left from before";
    EXPECT_EQ(firstRoots, roots.size());
    EXPECT_EQ(0, WindowObjectCount) << "every object of the scan is released";
    EXPECT_EQ(itemHeight, m_form->TreeView1().ItemHeight()) << "scans leave the row height alone";
    const TreeNode* own = RootOf(roots, GetCurrentProcessId());
    ASSERT_NE(nullptr, own);
    const TreeNode* node = FindNode(own->children, L"hWnd: " + FormatHandleHex(HandleValue(mine.get())) + L"  \x3010scan me");
    ASSERT_NE(nullptr, node);
    ASSERT_EQ(1u, node->children.size());
    EXPECT_EQ(0u, node->children[0].text.find(L"hWnd: " + FormatHandleHex(HandleValue(child.get()))));
}

TEST_F(Form1Test, AFailingScanIsReportedWithTheErrorIconAndTheNextScanWorks)
{
    UniqueWindow mine = CreateTopWindow(L"object that cannot be counted");
    MessageBoxCloser closer;
    const LONG saved = WindowObjectCount;
    WindowObjectCount = 2147483647;
    m_form->meu_File_Click();
    WindowObjectCount = saved;
    ASSERT_EQ(1u, closer.Boxes().size()) << "the error box, and no count box";
    const ShownBox error = closer.Boxes()[0];
    EXPECT_STREQ(L"Run-time error '6': Overflow", error.text);
    EXPECT_STREQ(kApplicationTitle, error.title);
    EXPECT_EQ(LoadIconW(nullptr, IDI_ERROR), error.icon);
    EXPECT_EQ(m_form->hWnd(), error.owner);
    EXPECT_TRUE(IsWindowEnabled(m_form->hWnd()));

    m_form->meu_File_Click();
    EXPECT_EQ(2u, closer.Texts().size());
    EXPECT_EQ(ProcessList.size(), ReadTree(Tree()).size());
    EXPECT_EQ(0, WindowObjectCount);
}

} // namespace
