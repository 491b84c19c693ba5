// Form1 in this process on Wine: start-up, layout in pixels at the display's DPI, resizing,
// the docked progress bar, the scan command and how a failing scan is reported.
#include "Form1Fixture.h"
#include "app/Form1.h"
#include "inventory/APi.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "support/MessageBoxCloser.h"
#include "support/ScreenMetrics.h"
#include "support/TestWindows.h"
#include "support/TreeReader.h"
#include "window_model/ScreenWindowInfo.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window)
{
    return RectIn(window, GetParent(window));
}

RECT StatusPanelRect(HWND statusBar, int panel)
{
    RECT rect = {};
    SendMessageW(statusBar, SB_GETRECT, static_cast<WPARAM>(panel - 1), reinterpret_cast<LPARAM>(&rect));
    return rect;
}

class Form1Test : public Form1Fixture {
protected:
    HWND Tree() const { return m_form->TreeView1().hWnd(); }
    HWND StatusBar() const { return m_form->sBar1().hWnd(); }
    HWND ProgressBar() const { return m_form->pBar1().hWnd(); }

    void ResizeTo(int width, int height)
    {
        SetWindowPos(m_form->hWnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
        PumpMessages();
    }

    // The bar lies in panel 2: at its left edge, 45 twips down, 60 twips narrower than the
    // panel and 60 twips lower than the status bar.
    void ExpectBarDockedInPanel2()
    {
        EXPECT_EQ(StatusBar(), GetParent(ProgressBar()));
        const RECT panel = StatusPanelRect(StatusBar(), 2);
        RECT bar = RectInParent(ProgressBar());
        RECT status;
        GetWindowRect(StatusBar(), &status);
        EXPECT_EQ(panel.left, bar.left);
        EXPECT_EQ(PixelsY(45), bar.top);
        EXPECT_NEAR(panel.right - panel.left - PixelsX(60), bar.right - bar.left, 1);
        EXPECT_NEAR(status.bottom - status.top - PixelsY(60), bar.bottom - bar.top, 1);
    }

};

TEST_F(Form1Test, WindowHasItsCaptionMenuAndClientArea)
{
    wchar_t caption[32] = {};
    GetWindowTextW(m_form->hWnd(), caption, 32);
    EXPECT_STREQ(L"Form1", caption);
    const HMENU menu = GetMenu(m_form->hWnd());
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(1, GetMenuItemCount(menu));
    wchar_t item[32] = {};
    GetMenuStringW(menu, 0, item, 32, MF_BYPOSITION);
    EXPECT_STREQ(L"ClickHere(&C)", item);
    EXPECT_EQ(nullptr, GetSubMenu(menu, 0)) << "the command sits on the bar itself";
    EXPECT_EQ(static_cast<int>(Form1::kMeuFileId), static_cast<int>(GetMenuItemID(menu, 0)));

    RECT client;
    GetClientRect(m_form->hWnd(), &client);
    EXPECT_EQ(PixelsX(10365), client.right);
    EXPECT_EQ(PixelsY(7725), client.bottom);
    EXPECT_NE(0, GetWindowLongW(m_form->hWnd(), GWL_STYLE) & WS_THICKFRAME);
}

TEST_F(Form1Test, ControlsStandWhereDesignedInPixelsOfThisDisplay)
{
    const RECT tree = RectInParent(Tree());
    EXPECT_EQ(PixelsX(45), tree.left);
    EXPECT_EQ(PixelsY(45), tree.top);
    EXPECT_EQ(PixelsX(10230), tree.right - tree.left);
    EXPECT_EQ(PixelsY(7260), tree.bottom - tree.top);

    RECT client;
    GetClientRect(m_form->hWnd(), &client);
    const RECT status = RectInParent(StatusBar());
    EXPECT_EQ(client.bottom, status.bottom);
    EXPECT_EQ(0, status.left);
    EXPECT_EQ(client.right, status.right);
    EXPECT_EQ(4, static_cast<int>(SendMessageW(StatusBar(), SB_GETPARTS, 0, 0)));

    // Designed widths while the bar is wide enough for all four panels.
    const int widths[] = {7335, 1685, 540, 450};
    int left = 0;
    for (int panel = 1; panel <= 4; ++panel) {
        const RECT rect = StatusPanelRect(StatusBar(), panel);
        left += PixelsX(widths[panel - 1]);
        EXPECT_NEAR(left, rect.right, 2) << "panel " << panel;
    }
    ExpectBarDockedInPanel2();
}

TEST_F(Form1Test, TreeUsesItsFontAndRowsFiveTallerThanTheControlChose)
{
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(Tree(), WM_GETFONT, 0, 0));
    LOGFONTW logFont = {};
    ASSERT_NE(0, GetObjectW(font, sizeof logFont, &logFont));
    EXPECT_STREQ(L"\x5B8B\x4F53", logFont.lfFaceName);
    EXPECT_EQ(GB2312_CHARSET, logFont.lfCharSet);
    EXPECT_EQ(FW_NORMAL, logFont.lfWeight);
    EXPECT_EQ(-MulDiv(9, Dpi(LOGPIXELSY), 72), logFont.lfHeight);

    // An identical tree, left as the control sets itself up, tells what "+ 5" must give.
    UniqueWindow host = CreateTopWindow(L"reference");
    TreeViewControl reference(host.get(), 1, RECT{0, 0, 100, 100});
    reference.SetFont(font);
    const int chosen = reference.ItemHeight();
    reference.SetItemHeight(chosen + 5);
    EXPECT_EQ(reference.ItemHeight(), m_form->TreeView1().ItemHeight());
    EXPECT_GT(m_form->TreeView1().ItemHeight(), chosen);

    const int afterLoad = m_form->TreeView1().ItemHeight();
    MessageBoxCloser closer(kApplicationTitle);
    m_form->meu_File_Click();
    m_form->meu_File_Click();
    EXPECT_EQ(afterLoad, m_form->TreeView1().ItemHeight()) << "scans leave the height alone";
}

TEST_F(Form1Test, ResizingMovesTheStatusBarAndTheDockedBarButNeverTheTree)
{
    const RECT treeBefore = RectInParent(Tree());
    RECT window;
    GetWindowRect(m_form->hWnd(), &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;

    for (const SIZE size : {SIZE{width + 200, height + 120}, SIZE{width - 250, height - 100}, SIZE{width, height}}) {
        ResizeTo(size.cx, size.cy);
        RECT client;
        GetClientRect(m_form->hWnd(), &client);
        const RECT status = RectInParent(StatusBar());
        EXPECT_EQ(client.bottom, status.bottom) << size.cx;
        EXPECT_EQ(client.right, status.right) << size.cx;
        const RECT tree = RectInParent(Tree());
        EXPECT_TRUE(EqualRect(&treeBefore, &tree)) << size.cx;
        ExpectBarDockedInPanel2();
    }

    // Narrower than the panels: the first gives way, so panel 2 and the bar move left.
    const int panel2Before = StatusPanelRect(StatusBar(), 2).left;
    ResizeTo(width - 250, height);
    EXPECT_LT(StatusPanelRect(StatusBar(), 2).left, panel2Before);
    ExpectBarDockedInPanel2();
}

TEST_F(Form1Test, MinimizeAndRestoreKeepTheBarInPanel2)
{
    ShowWindow(m_form->hWnd(), SW_MINIMIZE);
    PumpMessages();
    EXPECT_EQ(StatusBar(), GetParent(ProgressBar()));
    ShowWindow(m_form->hWnd(), SW_RESTORE);
    PumpMessages();
    ExpectBarDockedInPanel2();
}

TEST_F(Form1Test, EveryMessageReturnsWhatTheWindowsOwnProcedureReturned)
{
    // WM_NCHITTEST and WM_GETTEXTLENGTH have answers worth comparing; WM_SIZE runs the placement too.
    const LRESULT hit = SendMessageW(m_form->hWnd(), WM_NCHITTEST, 0, MAKELPARAM(5, 5));
    const LRESULT direct = DefWindowProcW(m_form->hWnd(), WM_NCHITTEST, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(direct, hit);
    EXPECT_EQ(5, SendMessageW(m_form->hWnd(), WM_GETTEXTLENGTH, 0, 0));
    RECT client;
    GetClientRect(m_form->hWnd(), &client);
    EXPECT_EQ(0, SendMessageW(m_form->hWnd(), WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(client.right, client.bottom)));
    ExpectBarDockedInPanel2();
}

TEST_F(Form1Test, EachScanIsAFullNewInventoryReplacingTheLast)
{
    UniqueWindow mine = CreateTopWindow(L"scan me");
    UniqueWindow child = CreateChildWindow(mine.get(), L"my child");

    MessageBoxCloser closer(kApplicationTitle);
    m_form->meu_File_Click();
    const std::vector<TreeNode> first = ReadTree(Tree());
    m_form->meu_File_Click();
    const std::vector<TreeNode> second = ReadTree(Tree());

    ASSERT_EQ(2u, closer.Texts().size());
    EXPECT_EQ(ProcessList.size(), second.size()) << "one root per recorded process, no leftovers";
    EXPECT_EQ(first.size(), second.size());
    EXPECT_EQ(0, WindowObjectCount) << "every object of the scan is released";

    const std::wstring ownRoot = L" [PID:" + std::to_wstring(GetCurrentProcessId()) + L"]";
    const TreeNode* own = nullptr;
    for (const TreeNode& root : second) {
        if (root.text.size() > ownRoot.size() && root.text.compare(root.text.size() - ownRoot.size(), ownRoot.size(), ownRoot) == 0) {
            own = &root;
        }
    }
    ASSERT_NE(nullptr, own);
    const std::wstring mineText = L"hWnd: " + FormatHandleHex(HandleValue(mine.get())) + L"  \x3010scan me\x3011";
    const TreeNode* mineNode = FindNode(own->children, mineText);
    ASSERT_NE(nullptr, mineNode);
    ASSERT_EQ(1u, mineNode->children.size());
    EXPECT_EQ(0u, mineNode->children[0].text.find(L"hWnd: " + FormatHandleHex(HandleValue(child.get()))));
    // The box reported every object the scan built, which the fill then released.
    EXPECT_GT(std::stol(closer.Texts()[1]), 0);
}

TEST_F(Form1Test, FailingScanIsReportedAndTheNextScanWorks)
{
    UniqueWindow mine = CreateTopWindow(L"object that cannot be counted");
    MessageBoxCloser closer(kApplicationTitle);
    const LONG saved = WindowObjectCount;
    WindowObjectCount = 2147483647;
    m_form->meu_File_Click();
    WindowObjectCount = saved;

    const std::vector<std::wstring> texts = closer.Texts();
    ASSERT_EQ(1u, texts.size()) << "the error box, and no count box";
    EXPECT_EQ(L"Run-time error '6': Overflow", texts[0]);
    EXPECT_TRUE(IsWindow(m_form->hWnd()));

    m_form->meu_File_Click();
    EXPECT_EQ(2u, closer.Texts().size());
    EXPECT_EQ(ProcessList.size(), ReadTree(Tree()).size());
    EXPECT_EQ(0, WindowObjectCount);
}

} // namespace
