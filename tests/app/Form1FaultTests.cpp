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

#include <algorithm>
#include <climits>
#include <cwchar>
#include <vector>

namespace {

using Form1FaultTest = Form1Fixture;

int WindowHeight(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return rect.bottom - rect.top;
}

TEST_F(Form1FaultTest, StatusBarIs330TwipsHighAndTheBar60Less)
{
    // Form1's arithmetic at each DPI: the bar's height in twips is read back from the status
    // bar's pixels. The display here runs at one of them.
    const struct { int dpi, statusBar, progressBar; } cases[] = {{96, 22, 18}, {144, 33, 27}};
    for (const auto& c : cases) {
        const int statusBar = TwipsToPixels(330, c.dpi);
        EXPECT_EQ(c.statusBar, statusBar) << c.dpi;
        EXPECT_EQ(c.progressBar, TwipsToPixels(PixelsToTwips(statusBar, c.dpi) - 60.0f, c.dpi)) << c.dpi;
    }
    EXPECT_EQ(PixelsY(330), WindowHeight(m_form->sBar1().hWnd()));
    EXPECT_EQ(PixelsY(270), WindowHeight(m_form->pBar1().hWnd()));
}

LRESULT CALLBACK RefuseProgressBars(int code, WPARAM wParam, LPARAM lParam)
{
    wchar_t name[64] = {};
    if (code == HCBT_CREATEWND && GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64) &&
        std::wcsstr(name, L"progress") != nullptr) {
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(Form1MissingControlTest, AScanWithoutItsProgressBarIsReportedInsteadOfRun)
{
    MessageBoxCloser closer(kApplicationTitle);
    Form1 form;
    const HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseProgressBars, nullptr, GetCurrentThreadId());
    form.Show(SW_SHOWNORMAL);
    UnhookWindowsHookEx(hook);
    ASSERT_NE(nullptr, form.hWnd());
    form.meu_File_Click();
    ProcessList.clear();
    const std::vector<std::wstring> texts = closer.Texts();
    ASSERT_EQ(2u, texts.size()) << "the failed creation, then the click";
    EXPECT_EQ(L"Run-time error '91': Object variable or With block variable not set", texts[1]);
}

HWND g_destroyedForm = nullptr;
LRESULT g_lengthWhileDestroyed = -1;

LRESULT CALLBACK AskTextLengthOnDestroy(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->hwnd == g_destroyedForm && message->message == WM_DESTROY) {
        g_lengthWhileDestroyed = SendMessageW(g_destroyedForm, WM_GETTEXTLENGTH, 0, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Form1FaultTest, MessagesWhileTheWindowIsDestroyedAreAnsweredForThatWindow)
{
    g_destroyedForm = m_form->hWnd();
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, AskTextLengthOnDestroy, nullptr, GetCurrentThreadId());
    m_form.reset();
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(5, g_lengthWhileDestroyed) << "\"Form1\"";
}

std::vector<std::wstring> g_boxTexts;
HWND g_clickedForm = nullptr;

// A box whose modal loop delivers one click of the scan command while the first box is up.
int WINAPI BoxThatClicksOnce(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    g_boxTexts.push_back(text);
    if (g_boxTexts.size() == 1) SendMessageW(g_clickedForm, WM_COMMAND, Form1::kMeuFileId, 0);
    return IDOK;
}

TEST_F(Form1FaultTest, AnErrorRaisedWhileAnErrorBoxIsUpIsShownAfterIt)
{
    g_clickedForm = m_form->hWnd();
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
    constexpr DWORD executable = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    std::vector<const void*> stray;
    MEMORY_BASIC_INFORMATION info;
    for (const BYTE* at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;
         at = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize) {
        if (info.State != MEM_COMMIT || info.Type == MEM_IMAGE || (info.Protect & executable) == 0) continue;
        const auto* last = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize - 1;
        if (!ThunkAllocator::Instance().Holds(info.BaseAddress) || !ThunkAllocator::Instance().Holds(last)) {
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
    // Three hundred windows of this process: enough objects that fifty scans' worth of slots
    // would fill several of the allocator's 64 KiB reservations.
    UniqueWindow top = CreateTopWindow(L"many children");
    std::vector<UniqueWindow> children;
    for (int i = 0; i < 300; ++i) children.push_back(CreateChildWindow(top.get()));

    const MessageBoxFunction previous = ReplaceMessageBoxFunction(RecordCount);
    const size_t before = ThunkAllocator::Instance().ReservedBytes();
    m_form->meu_File_Click();
    EXPECT_EQ(std::vector<const void*>{}, StrayExecutableRegions());
    for (int scan = 1; scan < 50; ++scan) m_form->meu_File_Click();
    ReplaceMessageBoxFunction(previous);

    ASSERT_GT(g_largestCount, 300);
    const size_t granule = 64 * 1024;
    const size_t needed = (g_largestCount * kEnumThunkBytes + granule - 1) / granule * granule;
    EXPECT_LE(ThunkAllocator::Instance().ReservedBytes(), before + needed);
}

} // namespace
