// Form1 where it used to go wrong: the status bar's designed height, a scan with a control
// missing, messages while the window is destroyed, errors raised while an error box is up, and
// generated code kept out of the heap scan after scan.
#include "Form1Fixture.h"
#include "controls/Twips.h"
#include "platform/MessageBox.h"
#include "platform/ThunkAllocator.h"
#include "support/MessageBoxCloser.h"
#include "support/ScreenMetrics.h"
#include "window_model/ScreenWindowInfo.h"

#include <gtest/gtest.h>

#include <climits>
#include <cwchar>

namespace {

using Form1FaultTest = Form1Fixture;

TEST_F(Form1FaultTest, StatusBarIs330TwipsHighAndTheBar60Less)
{
    // Form1's arithmetic at both DPIs (the bar's twips are read back from the status bar's
    // pixels), and the real windows at this display's DPI.
    const struct { int dpi, statusBar, progressBar; } cases[] = {{96, 22, 18}, {144, 33, 27}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.statusBar, TwipsToPixels(330, c.dpi));
        EXPECT_EQ(c.progressBar, TwipsToPixels(PixelsToTwips(c.statusBar, c.dpi) - 60.0f, c.dpi));
    }
    const auto height = [](HWND window) { RECT r; GetWindowRect(window, &r); return r.bottom - r.top; };
    EXPECT_EQ(PixelsY(330), height(m_form->sBar1().hWnd()));
    EXPECT_EQ(PixelsY(270), height(m_form->pBar1().hWnd()));
}

LRESULT CALLBACK RefuseProgressBars(int code, WPARAM wParam, LPARAM lParam)
{
    wchar_t name[64] = {};
    GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64);
    if (code == HCBT_CREATEWND && std::wcsstr(name, L"progress") != nullptr) return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(Form1MissingControlTest, AScanWithoutItsProgressBarIsReportedInsteadOfRun)
{
    MessageBoxCloser closer(kApplicationTitle);
    Form1 form;
    const HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseProgressBars, nullptr, GetCurrentThreadId());
    form.Show(SW_SHOWNORMAL);
    UnhookWindowsHookEx(hook);
    form.meu_File_Click();
    ProcessList.clear();
    ASSERT_EQ(2u, closer.Texts().size()) << "the failed creation, then the click";
    EXPECT_EQ(L"Run-time error '91': Object variable or With block variable not set", closer.Texts()[1]);
}

HWND g_form = nullptr;
LRESULT g_lengthWhileDestroyed = -1;

LRESULT CALLBACK AskTextLengthOnDestroy(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (sent->hwnd == g_form && sent->message == WM_DESTROY) {
        g_lengthWhileDestroyed = SendMessageW(g_form, WM_GETTEXTLENGTH, 0, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Form1FaultTest, MessagesWhileTheWindowIsDestroyedAreAnsweredForThatWindow)
{
    g_form = m_form->hWnd();
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, AskTextLengthOnDestroy, nullptr, GetCurrentThreadId());
    m_form.reset();
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(5, g_lengthWhileDestroyed) << "\"Form1\"";
}

std::vector<std::wstring> g_boxTexts;

// A box whose modal loop delivers one click of the scan command while it is up.
int WINAPI BoxThatClicksOnce(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    g_boxTexts.push_back(text);
    if (g_boxTexts.size() == 1) SendMessageW(g_form, WM_COMMAND, Form1::kMeuFileId, 0);
    return IDOK;
}

TEST_F(Form1FaultTest, AnErrorRaisedWhileAnErrorBoxIsUpIsShownAfterIt)
{
    g_form = m_form->hWnd();
    const MessageBoxFunction previous = ReplaceMessageBoxFunction(BoxThatClicksOnce);
    const LONG saved = std::exchange(WindowObjectCount, LONG_MAX);
    m_form->meu_File_Click();
    WindowObjectCount = saved;
    ReplaceMessageBoxFunction(previous);
    EXPECT_EQ(std::vector<std::wstring>(2, L"Run-time error '6': Overflow"), g_boxTexts);
}

// Committed executable memory that is neither a module's image nor the thunk allocator's.
std::vector<const void*> StrayExecutableRegions()
{
    std::vector<const void*> stray;
    MEMORY_BASIC_INFORMATION info;
    for (const BYTE* at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;
         at = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize) {
        const bool executable = (info.Protect & 0xF0) != 0; // the four PAGE_EXECUTE* values
        if (info.State == MEM_COMMIT && info.Type != MEM_IMAGE && executable &&
            !ThunkAllocator::Instance().Holds(info.BaseAddress)) {
            stray.push_back(info.BaseAddress);
        }
    }
    return stray;
}

LONG g_largestCount = 0;

int WINAPI RecordCount(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    g_largestCount = std::max(g_largestCount, static_cast<LONG>(std::wcstol(text, nullptr, 10)));
    return IDOK;
}

TEST_F(Form1FaultTest, ScansKeepGeneratedCodeOutOfTheHeapAndReuseTheAllocatorsPages)
{
    // Enough objects that fifty scans' worth of slots would fill several 64 KiB granules.
    UniqueWindow top = CreateTopWindow(L"many children");
    std::vector<UniqueWindow> children(300);
    for (UniqueWindow& child : children) child = CreateChildWindow(top.get());
    const MessageBoxFunction previous = ReplaceMessageBoxFunction(RecordCount);
    const size_t before = ThunkAllocator::Instance().ReservedBytes();
    m_form->meu_File_Click();
    EXPECT_EQ(std::vector<const void*>{}, StrayExecutableRegions());
    for (int scan = 1; scan < 50; ++scan) m_form->meu_File_Click();
    ReplaceMessageBoxFunction(previous);
    ASSERT_GT(g_largestCount, 300);
    const size_t granule = 64 * 1024;
    EXPECT_LE(ThunkAllocator::Instance().ReservedBytes(),
              before + (g_largestCount * kEnumThunkBytes + granule - 1) / granule * granule);
}

} // namespace
