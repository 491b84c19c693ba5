// Where the program's windows open: inside the work area, where the user left them the last
// time (kept per user in the registry, which the test executables keep apart for each run), and
// otherwise beside the form instead of over it; and the log's columns fitting its width.
#include "Form1Test.h"
#include "inspect/TextDialog.h"
#include "watch/MessageLogWindow.h"

namespace {
const wchar_t kPlaces[] = L"Software\\WindowInventory\\Windows";

RECT RectOf(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

RECT WorkArea()
{
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    RECT both = {};
    UnionRect(&both, &inner, &outer);
    return EqualRect(&both, &outer) != FALSE;
}

bool Apart(const RECT& a, const RECT& b)
{
    RECT common = {};
    return !IntersectRect(&common, &a, &b);
}

void LeaveFormAt(const RECT& rect)
{
    const std::wstring key = std::wstring(kPlaces) + L"\\Form1";
    for (const auto& [name, value] : {std::pair{L"Left", rect.left}, std::pair{L"Top", rect.top},
                                      std::pair{L"Right", rect.right}, std::pair{L"Bottom", rect.bottom}}) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_DWORD, &value, sizeof value);
    }
}

std::vector<int> ColumnWidths(HWND log)
{
    const HWND list = FindWindowExW(log, nullptr, WC_LISTVIEWW, nullptr);
    std::vector<int> widths;
    for (int column = 0; column < MessageLogColumns::kCount; ++column) {
        widths.push_back(static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0)));
    }
    return widths;
}

// The columns end inside the list, a vertical scroll bar's width before its right edge.
bool ColumnsFit(HWND log)
{
    const HWND list = FindWindowExW(log, nullptr, WC_LISTVIEWW, nullptr);
    RECT client = {};
    GetClientRect(list, &client);
    const std::vector<int> widths = ColumnWidths(log);
    int total = 0;
    for (const int width : widths) total += width;
    const bool barShown = (GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL) != 0;
    return total <= client.right - (barShown ? 0 : GetSystemMetrics(SM_CXVSCROLL));
}

RECT g_dialogRect = {};
LRESULT CALLBACK LookAndClose(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG) {
        g_dialogRect = RectOf(call->hwnd);
        PostMessageW(call->hwnd, WM_COMMAND, IDCANCEL, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(WindowPlaces, EachWindowOpensInsideTheWorkAreaWhereItWasLeftOrBesideTheForm)
{
    const RECT work = WorkArea();
    // Left on a monitor that is gone: the form comes back into the work area as large as it was.
    LeaveFormAt(RECT{work.right + 2000, work.bottom + 1500, work.right + 2700, work.bottom + 2000});
    {
        Form1 form;
        form.Show(SW_SHOWNORMAL);
        const RECT rect = RectOf(form.hWnd());
        EXPECT_TRUE(Inside(rect, work));
        EXPECT_EQ(700, rect.right - rect.left);
        EXPECT_EQ(500, rect.bottom - rect.top);
        // Moved, then maximized when the program ends.
        SetWindowPos(form.hWnd(), nullptr, 100, 80, 720, 540, SWP_NOZORDER);
        ShowWindow(form.hWnd(), SW_MAXIMIZE);
    }
    Form1 form;
    form.Show(SW_SHOWNORMAL);
    EXPECT_TRUE(IsZoomed(form.hWnd()));
    ShowWindow(form.hWnd(), SW_RESTORE);
    EXPECT_EQ((RECT{100, 80, 820, 620}), RectOf(form.hWnd()));

    // A box (the keys, the changes) opens beside the form, not over its tree.
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, LookAndClose, nullptr, GetCurrentThreadId());
    ShowTextDialog(form.hWnd(), L"Keys", L"F1\tThis list of keys");
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(Inside(g_dialogRect, work));
    EXPECT_TRUE(Apart(g_dialogRect, RectOf(form.hWnd())));

    // The first log opens beside the form, its columns within its width; the next cascades from it.
    const UniqueWindow watched = CreateTopWindow(L"watched");
    RECT moved = {};
    {
        MessageLogWindow log(form.hWnd(), watched.get());
        EXPECT_TRUE(Inside(RectOf(log.hWnd()), work));
        EXPECT_TRUE(Apart(RectOf(log.hWnd()), RectOf(form.hWnd())));
        EXPECT_TRUE(ColumnsFit(log.hWnd()));
        MessageLogWindow next(form.hWnd(), watched.get(), log.hWnd());
        const RECT first = RectOf(log.hWnd()), second = RectOf(next.hWnd());
        const int step = GetSystemMetrics(SM_CYCAPTION);
        EXPECT_EQ(step, std::abs(second.left - first.left));
        EXPECT_EQ(step, std::abs(second.top - first.top));
        EXPECT_TRUE(Inside(second, work));
        // Made narrow, the columns shrink to fit.
        SetWindowPos(next.hWnd(), nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_TRUE(ColumnsFit(next.hWnd()));
        DestroyWindow(next.hWnd()); // the log closed last keeps its place
        // Moved and made wider, its first column widened by the user.
        SetWindowPos(log.hWnd(), nullptr, 150, 120, 1100, 450, SWP_NOZORDER);
        const HWND list = FindWindowExW(log.hWnd(), nullptr, WC_LISTVIEWW, nullptr);
        SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(150, 0));
        moved = RectOf(log.hWnd());
    }
    MessageLogWindow log(form.hWnd(), watched.get());
    EXPECT_EQ(moved, RectOf(log.hWnd()));
    EXPECT_EQ(150, ColumnWidths(log.hWnd())[0]);
    EXPECT_TRUE(ColumnsFit(log.hWnd()));

    // The properties pane opens where it was closed, as large as it was, in the next run too.
    const NodeSubject subject = {NodeSubject::Kind::Window, HandleValue(watched.get())};
    form.Pane().Open(subject);
    SetWindowPos(form.Pane().hWnd(), nullptr, 130, 90, 480, 560, SWP_NOZORDER);
    SendMessageW(form.Pane().hWnd(), WM_CLOSE, 0, 0);
    ASSERT_FALSE(form.Pane().IsOpen());
    Form1 next;
    next.Show(SW_SHOWNORMAL);
    next.Pane().Open(subject);
    EXPECT_EQ((RECT{130, 90, 610, 650}), RectOf(next.Pane().hWnd()));
}
} // namespace
