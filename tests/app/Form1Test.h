// The form tests' fixture: a shown Form1 for each test, the design's twips worked out apart
// from the program's own, and the scans it drives; shared by the form's and the robustness tests.
#pragma once
#include "CountingAllocator.h"
#include "app/Form1.h"
#include "inventory/APi.h"
#include "platform/MessageBox.h"
#include "support/FormDriver.h"
#include "support/MessageBoxCloser.h"
#include "support/TestWindows.h"
#include "support/TreeReader.h"
#include "window_model/ScreenWindowInfo.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>

// Rectangles compared whole in the expectations.
inline bool operator==(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

namespace form1_tests {
using AllocationFault = CountingAllocator::Fault;

inline int DisplayDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// The design's twips as whole pixels at a DPI (this display's unless said), worked out apart
// from the program's own.
inline int Pixels(double twips, int dpi = DisplayDpi())
{
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

inline RECT RectInParent(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// A shown Form1 for each test, and nothing of its scans left behind after it.
class Form1Test : public ::testing::Test {
protected:
    Form1Test()
    {
        m_form->Show(SW_SHOWNORMAL);
        PumpMessages();
    }
    ~Form1Test() override
    {
        m_form.reset();
        ProcessList.clear();
    }

    HWND Tree() const { return m_form->TreeView1().hWnd(); }
    size_t Roots() const
    {
        const std::vector<std::wstring> lines = ReadTree(Tree());
        return std::count_if(lines.begin(), lines.end(), [](const std::wstring& line) { return line[0] != L' '; });
    }
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
    void ExpectLayout(int dpi = DisplayDpi()) const
    {
        RECT client;
        GetClientRect(m_form->hWnd(), &client);
        const RECT status = RectInParent(StatusBar());
        EXPECT_EQ((RECT{0, client.bottom - (status.bottom - status.top), client.right, client.bottom}), status);
        const int top = Pixels(45, dpi);
        EXPECT_EQ((RECT{top, top, top + Pixels(10230, dpi), top + Pixels(7260, dpi)}), RectInParent(Tree()));
        EXPECT_EQ(Pixels(330, dpi), status.bottom - status.top);
        ASSERT_EQ(StatusBar(), GetParent(m_form->pBar1().hWnd()));
        const RECT panel = Panel(2);
        const RECT bar = RectInParent(m_form->pBar1().hWnd());
        EXPECT_EQ(panel.left, bar.left);
        EXPECT_EQ(top, bar.top);
        EXPECT_NEAR(panel.right - panel.left - Pixels(60, dpi), bar.right - bar.left, 1);
        EXPECT_NEAR(status.bottom - status.top - Pixels(60, dpi), bar.bottom - bar.top, 1);
    }

    // One click of the scan command, its record then read whole (what a measure of the process
    // finds is then the scan's, not a reading still under way); returns the boxes it showed.
    // With `failAt`, the click's allocation of that number fails, and `failed` tells whether it came.
    std::vector<ShownBox> Scan(LONG failAt = 0, bool* failed = nullptr)
    {
        MessageBoxCloser closer;
        {
            const AllocationFault fault(failAt);
            m_form->meu_File_Click();
            if (failed != nullptr) *failed = AllocationFault::Failed();
        }
        m_form->LastRecord();
        return closer.Boxes();
    }

    // A scan that must succeed: one box with the count, every object released after the fill.
    long ScanExpectingCount()
    {
        const std::vector<ShownBox> boxes = Scan();
        EXPECT_EQ(0, WindowObjectCount) << "objects left after the fill";
        const std::wstring text = boxes.size() == 1 ? boxes[0].text : L"none or several";
        EXPECT_EQ(std::wstring::npos, text.find_first_not_of(L"0123456789")) << "the scan said " << ::testing::PrintToString(text);
        return std::wcstol(text.c_str(), nullptr, 10);
    }

    std::unique_ptr<Form1> m_form = std::make_unique<Form1>();
};
} // namespace form1_tests
