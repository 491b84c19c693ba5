// Form1: start-up, window layout, keeping the progress bar docked, and its window procedure. The
// scan command is in Form1Scan.cpp, the commands that keys and the context menu reach in
// Form1Commands.cpp.
#include "app/Form1.h"

#include "app/AboutBox.h"
#include "platform/WindowClass.h"
#include "platform/MessageBox.h"
#include "platform/ScreenPlace.h"
#include "platform/RuntimeError.h"
#include "platform/WindowObject.h"
#include "controls/Twips.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

namespace {
const wchar_t kWindowClass[] = L"WindowInventoryForm1";

// Design of the window and its controls, in twips.
constexpr double kClientWidth = 10365;
constexpr double kClientHeight = 7725;
constexpr double kTreeLeft = 45, kTreeTop = 45, kTreeWidth = 10230, kTreeHeight = 7260;
constexpr double kBarLeft = 4815, kBarTop = 7425, kBarWidth = 2445, kBarHeight = 330;
constexpr float kStatusBarHeight = 330;
// The progress bar's insets inside panel 2.
constexpr int kBarTopInset = 45;
constexpr float kBarWidthReduction = 60.0f;
constexpr float kBarHeightReduction = 60.0f;

constexpr UINT kTreeId = 1;
constexpr UINT kStatusBarId = 2;
constexpr UINT kProgressBarId = 3;

RECT PixelRect(double left, double top, double width, double height, int dpi)
{
    const int x = TwipsToPixels(left, dpi);
    const int y = TwipsToPixels(top, dpi);
    return RECT{x, y, x + TwipsToPixels(width, dpi), y + TwipsToPixels(height, dpi)};
}

// The tree's font: 9-point SimSun at the window's DPI.
UniqueFont CreateTreeFont(int dpi)
{
    UniqueFont font(CreateFontW(-MulDiv(9, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                L"\x5B8B\x4F53"));
    if (!font) RaiseLastError();
    return font;
}

// Single-precision subtraction that raises instead of yielding an infinity or a NaN.
float CheckedSingleSub(float a, float b)
{
    const float result = a - b;
    if (!std::isfinite(result)) RaiseError(kErrorOverflow);
    return result;
}
} // namespace

int Form1::Run(HINSTANCE, int showCommand)
{
    Form1 form;
    form.m_endsProgram = true;
    form.Show(showCommand);
    if (!form.hWnd()) return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (form.TranslateFormMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

Form1::Form1()
{
    RunHandler([&] { Form_Initialize(); });
}

Form1::~Form1()
{
    m_recorder.reset(); // its reader thread stops
    m_logs.clear(); // their hooks go with them
    m_pointer.reset(); // it tells the pane
    m_pane.reset();
    m_edit.reset(); // it tells the inspector
    m_inspector.reset(); // it holds the controls and owns the Find dialog
    // Controls first, then the window, which still runs through SubClass while it goes.
    m_pBar1.reset();
    m_sBar1.reset();
    m_treeView1.reset();
    m_window.reset();
}

void Form1::Form_Initialize()
{
    InitCommonControls();
}

void Form1::Show(int showCommand)
{
    RunHandler([&] {
        CreateWindowAndControls();
        Form_Load();
    });
    if (m_window) {
        const bool plain = showCommand == SW_SHOWNORMAL || showCommand == SW_SHOWDEFAULT || showCommand == SW_SHOW;
        ShowWindow(hWnd(), m_maximized && plain ? SW_SHOWMAXIMIZED : showCommand);
        UpdateWindow(hWnd());
    }
}

void Form1::CreateWindowAndControls()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterWindowClassOnce(kWindowClass, &WindowProc, CS_HREDRAW | CS_VREDRAW,
                            reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));

    UniqueMenu menuBar(CreateMenu());
    if (!menuBar || !AppendMenuW(menuBar.get(), MF_STRING, kMeuFileId, L"ClickHere(&C)")) RaiseLastError();

    constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    const int displayDpi = WindowDpi(nullptr);
    RECT frame = {0, 0, TwipsToPixels(kClientWidth, displayDpi), TwipsToPixels(kClientHeight, displayDpi)};
    AdjustWindowRectEx(&frame, style, TRUE, 0);
    // Where the user left it, else where the platform places a new window.
    const std::optional<WindowPlaceStore::Place> left = m_place.Load();
    m_maximized = left && left->maximized;
    const RECT at = left ? left->rect : RECT{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT + frame.right - frame.left,
                                             CW_USEDEFAULT + frame.bottom - frame.top};
    // WM_NCCREATE stores the window in m_window, so that the form sees its own creation.
    const HWND created = CreateWindowExW(0, kWindowClass, L"Form1", style, at.left, at.top, at.right - at.left,
                                         at.bottom - at.top, nullptr, menuBar.get(), instance, this);
    if (created == nullptr) RaiseLastError();
    menuBar.release(); // the window owns its menu bar now
    AddAboutToSystemMenu(hWnd());

    // The designed client area at the DPI of the monitor the window landed on, which need not be
    // the display's; and the menu bar may take more than one line.
    const int dpi = WindowDpi(hWnd());
    RECT client, window;
    GetClientRect(hWnd(), &client);
    GetWindowRect(hWnd(), &window);
    const int missingWidth = TwipsToPixels(kClientWidth, dpi) - client.right;
    const int missingHeight = TwipsToPixels(kClientHeight, dpi) - client.bottom;
    if (!left) {
        // Inside the work area, wherever the platform put it.
        const RECT fitted = FitIntoWorkArea(RECT{window.left, window.top, window.right + missingWidth,
                                                 window.bottom + missingHeight});
        SetWindowPos(hWnd(), nullptr, fitted.left, fitted.top, fitted.right - fitted.left, fitted.bottom - fitted.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

    m_treeView1 = std::make_unique<TreeViewControl>(hWnd(), kTreeId,
                                                    PixelRect(kTreeLeft, kTreeTop, kTreeWidth, kTreeHeight, dpi));
    m_treeFont = CreateTreeFont(dpi);
    m_treeView1->SetFont(m_treeFont.get());

    m_sBar1 = std::make_unique<StatusBarControl>(hWnd(), kStatusBarId,
                                                 std::vector<PanelDesign>{{PanelKind::Text, 7335, 6000},
                                                                          {PanelKind::Text, 1685, 350},
                                                                          {PanelKind::CapsLock, 540, 120},
                                                                          {PanelKind::NumLock, 450, 120}},
                                                 kStatusBarHeight);
    m_pBar1 = std::make_unique<ProgressBarControl>(hWnd(), kProgressBarId,
                                                   PixelRect(kBarLeft, kBarTop, kBarWidth, kBarHeight, dpi));
    CreateInspection();
}

void Form1::Form_Load()
{
    const int reported = m_treeView1->ItemHeight();
    m_treeView1->SetItemHeight(CheckedAdd(reported, 5));

    // Docking: from here on the bar lives in the status bar and follows panel 2.
    SetParent(m_pBar1->hWnd(), m_sBar1->hWnd());
    RaiseIfFailed(iSubClass::Create(SubClass.put()));
    RaiseIfFailed(SubClass->AdviseGetWindowMessage(
        [this](LONG& Result, LONG cHwnd, LONG Message, LONG wParam, LONG lParam) {
            SubClass_GetWindowMessage(Result, cHwnd, Message, wParam, lParam);
        }));
    LONG replaced = 0;
    RaiseIfFailed(SubClass->SetMsgHook(static_cast<LONG>(reinterpret_cast<INT_PTR>(hWnd())), &replaced));
    // The window got its WM_SIZE at creation, before the hook: place the bar for the first showing.
    PlaceProgressBar();
}

void Form1::SubClass_GetWindowMessage(LONG& Result, LONG cHwnd, LONG Message, LONG wParam, LONG lParam)
{
    RunHandler([&] {
        // The window's own procedure runs first, always, and its answer stands.
        LONG answer = 0;
        RaiseIfFailed(SubClass->CallDefaultWindowProc(cHwnd, Message, wParam, lParam, &answer));
        Result = answer;
        // Every WM_SIZE, minimizing included: the status bar has already been laid out anew.
        if (Message == WM_SIZE) PlaceProgressBar();
    });
}

void Form1::PlaceProgressBar()
{
    if (!m_sBar1 || !m_pBar1) return; // the controls go before the window does
    const float left = m_sBar1->PanelLeft(2);
    const float width = CheckedSingleSub(m_sBar1->PanelWidth(2), kBarWidthReduction);
    const float height = CheckedSingleSub(m_sBar1->Height(), kBarHeightReduction);
    m_pBar1->Move(left, kBarTopInset, width, height);
    m_pBar1->ZOrder(0);
}

void Form1::OnDpiChanged(int dpi, const RECT& suggested)
{
    if (m_treeView1) {
        const RECT tree = PixelRect(kTreeLeft, kTreeTop, kTreeWidth, kTreeHeight, dpi);
        SetWindowPos(m_treeView1->hWnd(), nullptr, tree.left, tree.top, tree.right - tree.left, tree.bottom - tree.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        UniqueFont font = CreateTreeFont(dpi);
        m_treeView1->SetFont(font.get());
        m_treeFont = std::move(font); // the old font goes once the tree has let go of it
        // The row height load chose was for the old font: the control's choice anew, 5 pixels more.
        m_treeView1->SetItemHeight(-1);
        m_treeView1->SetItemHeight(CheckedAdd(m_treeView1->ItemHeight(), 5));
    }
    if (m_sBar1) m_sBar1->SetDpi(dpi);
    if (m_pBar1) m_pBar1->SetDpi(dpi);
    SetWindowPos(hWnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // A suggested size equal to the old one brings no WM_SIZE.
    PlaceProgressBar();
}

void Form1::RestoreFocus() noexcept
{
    const bool remembered = m_focusedChild != nullptr && IsWindow(m_focusedChild) && IsChild(hWnd(), m_focusedChild);
    if (remembered) {
        SetFocus(m_focusedChild);
    } else if (m_treeView1) {
        SetFocus(m_treeView1->hWnd());
    }
}

void Form1::ReportError(HRESULT error) noexcept
{
    // One box at a time: its modal loop runs the form's handlers, and what they raise meanwhile
    // is shown once it closes.
    try {
        m_pendingErrors.push_back(error);
    } catch (...) {
        return; // nothing is left to report with
    }
    if (m_reportingError) return;
    m_reportingError = true;
    while (!m_pendingErrors.empty()) {
        const HRESULT next = m_pendingErrors.front();
        m_pendingErrors.pop_front();
        try {
            ShowMessageBox(hWnd(), DescribeError(next), kApplicationTitle, MB_OK | MB_ICONERROR | MB_APPLMODAL);
        } catch (...) {
            // Nothing is left to report with.
        }
    }
    m_reportingError = false;
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    Form1* const form = WindowObject(window, message, lParam, &Form1::m_window);
    if (form == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    form->RunHandler([&] { result = form->OnMessage(window, message, wParam, lParam); });
    return result;
}

LRESULT Form1::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    m_place.Follow(window, message);
    if (LRESULT answer = 0; OnInspectionMessage(message, wParam, lParam, answer)) return answer;
    switch (message) {
    case WM_SIZE:
        // The bottom-aligned status bar follows before anyone else sees the new size.
        if (m_sBar1) m_sBar1->Relayout();
        break;
    case WM_DPICHANGED:
        // Both halves carry the same value: a monitor's DPI is the same along both axes.
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_DRAWITEM:
        if (m_sBar1 && m_sBar1->DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case kRecordWholeMessage:
        // It may come from a reader of an earlier scan, whose record was taken by then.
        if (m_recorder && m_recorder->Whole()) CompleteRecord();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kMeuFileId && lParam == 0) {
            meu_File_Click();
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == kAboutCommand) {
            ShowAbout(hWnd());
            return 0;
        }
        break;
    case WM_ACTIVATE:
        // As a dialog does: the child with the keyboard is remembered on leaving and gets it
        // back on return (a box, a dialog, another program in between).
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus != nullptr && IsChild(window, focus)) m_focusedChild = focus;
            return 0;
        }
        if (HIWORD(wParam) != 0) break; // minimized: no focus to give
        RestoreFocus();
        return 0;
    case WM_SETFOCUS:
        RestoreFocus();
        return 0;
    case WM_DESTROY:
        if (m_endsProgram) PostQuitMessage(0);
        break;
    default:
        break;
    }
    // The handle the message came with: while the window is destroyed m_window is already empty.
    return DefWindowProcW(window, message, wParam, lParam);
}
