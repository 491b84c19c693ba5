// The pane's window: its controls, their layout (designed in pixels at 96 dpi, laid out at the
// monitor's DPI and again on WM_DPICHANGED), the colour swatch it paints itself. What the pane
// shows and its commands are in PaneCommands.cpp.
#include "pane/PropertiesPane.h"

#include "controls/Twips.h"
#include "platform/RuntimeError.h"
#include "platform/ScreenPlace.h"
#include "platform/WindowClass.h"
#include "platform/WindowObject.h"

#include <commctrl.h>

#include <algorithm>

namespace {
const wchar_t kWindowClass[] = L"WindowInventoryPropertiesPane";
// A popup, as the platform keeps an owned popup above its owner everywhere (Wine only popups).
constexpr DWORD kStyle = WS_POPUPWINDOW | WS_CAPTION | WS_THICKFRAME | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kWidth = 520, kHeight = 640; // at 96 dpi
constexpr int kLabelColumn = 56;           // dialog units: where the facts' values start
const wchar_t* const kLinkLabels[] = {L"&Parent:", L"&Owner:", L"First &child:", L"Pre&vious:", L"&Next:"};

HWND MakeChild(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style, UINT id)
{
    const HWND child = CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                                       reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr),
                                       nullptr);
    if (child == nullptr) RaiseLastError();
    return child;
}

// The first time: beside the form, on the right where the work area leaves room, else over its
// right edge.
RECT PlaceBesideForm(HWND owner)
{
    const int dpi = WindowDpi(owner);
    const int width = MulDiv(kWidth, dpi, 96), height = MulDiv(kHeight, dpi, 96);
    RECT form = {};
    GetWindowRect(owner, &form);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const int x = std::max<int>(work.left, std::min<int>(form.right, work.right - width));
    const int y = std::max<int>(work.top, std::min<int>(form.top, work.bottom - height));
    return RECT{x, y, x + width, y + height};
}
} // namespace

PropertiesPane::PropertiesPane(HWND owner, Select select, Change change) noexcept
    : m_owner(owner), m_select(std::move(select)), m_change(std::move(change))
{
}

PropertiesPane::~PropertiesPane()
{
    m_window.reset();
}

void PropertiesPane::Create(bool activate)
{
    RegisterWindowClassOnce(kWindowClass, &WindowProc, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    // Where the user left it last, else beside the form.
    const std::optional<WindowPlaceStore::Place> left = m_place.Load();
    const RECT place = left ? left->rect : PlaceBesideForm(m_owner);
    // WM_NCCREATE stores the window in m_window.
    if (!CreateWindowExW(0, kWindowClass, L"Properties", kStyle, place.left, place.top, place.right - place.left,
                         place.bottom - place.top, m_owner, nullptr, GetModuleHandleW(nullptr), this)) {
        RaiseLastError();
    }
    m_dpi = WindowDpi(hWnd());
    CreateControls();
    Layout();
    ShowWindow(hWnd(), activate ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE);
}

void PropertiesPane::CreateControls()
{
    m_followBox = MakeChild(hWnd(), L"Button", L"Follow the mo&use (Ctrl+U)", BS_AUTOCHECKBOX | WS_TABSTOP, kFollowId);
    m_copy = MakeChild(hWnd(), L"Button", L"Copy for a &script (Ctrl+K)", BS_PUSHBUTTON | WS_TABSTOP, kCopyId);
    m_changeButton = MakeChild(hWnd(), L"Button", L"C&hange...", BS_PUSHBUTTON | WS_TABSTOP, kChangeId);
    for (size_t i = 0; i < kRelations; ++i) {
        m_linkLabels[i] = MakeChild(hWnd(), L"Static", kLinkLabels[i], SS_RIGHT, static_cast<UINT>(kLinkLabelId + i));
        m_links[i] = std::make_unique<LinkControl>(hWnd(), static_cast<UINT>(kLinkId + i));
    }
    m_pointerHeading = MakeChild(hWnd(), L"Static", L"", SS_LEFT | SS_ENDELLIPSIS, kPointerHeadingId);
    m_pointerLabels = MakeChild(hWnd(), L"Static", L"", SS_RIGHT | SS_NOPREFIX, kPointerLabelsId);
    m_pointerValues = MakeChild(hWnd(), L"Static", L"", SS_LEFTNOWORDWRAP | SS_NOPREFIX, kPointerValuesId);
    m_facts = std::make_unique<TextBoxControl>(hWnd(), kFactsId, kLabelColumn, true);
    m_statusLine = MakeChild(hWnd(), L"Static", L"", SS_LEFT | SS_ENDELLIPSIS | SS_SUNKEN, kStatusId);
    ApplyFont();
    // Alt and a link's letter follows the link itself, before the dialog manager would only
    // move the keyboard to it.
    ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'U', kFollowId}, {FVIRTKEY | FCONTROL, 'K', kCopyId},
                    {FVIRTKEY, VK_F5, kRefreshId},         {FVIRTKEY | FALT, 'P', kLinkId + kParent},
                    {FVIRTKEY | FALT, 'O', kLinkId + kOwner}, {FVIRTKEY | FALT, 'C', kLinkId + kFirstChild},
                    {FVIRTKEY | FALT, 'V', kLinkId + kPrevious}, {FVIRTKEY | FALT, 'N', kLinkId + kNext}};
    m_keys.reset(CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys))));
    if (!m_keys) RaiseLastError();
    Say(L"Alt+P, O, C, V, N: select the parent, owner, first child, previous or next window in the tree; "
        L"F5 reads again, Esc closes (F1 on the form lists every key)");
}

int PropertiesPane::Scaled(int pixelsAt96) const noexcept
{
    return MulDiv(pixelsAt96, m_dpi, 96);
}

void PropertiesPane::ApplyFont()
{
    UniqueFont font = CreateSystemFont(&NONCLIENTMETRICSW::lfMessageFont, m_dpi);
    const HFONT shown = font ? font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const HWND child :
         {m_followBox, m_copy, m_changeButton, m_pointerHeading, m_pointerLabels, m_pointerValues, m_statusLine}) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(shown), TRUE);
    }
    for (size_t i = 0; i < kRelations; ++i) {
        SendMessageW(m_linkLabels[i], WM_SETFONT, reinterpret_cast<WPARAM>(shown), TRUE);
        m_links[i]->SetFont(shown);
    }
    m_facts->SetFont(shown);
    m_font = std::move(font); // the old one goes once no child shows it
}

void PropertiesPane::Layout()
{
    if (!m_facts) return;
    RECT client = {};
    GetClientRect(hWnd(), &client);
    const int pad = Scaled(6), row = Scaled(24), line = Scaled(20), status = Scaled(22);
    const auto move = [](HWND control, int x, int y, int width, int height) {
        MoveWindow(control, x, y, std::max(0, width), std::max(0, height), TRUE);
    };
    int x = pad;
    for (const auto& [control, width] : {std::pair{m_followBox, 190}, {m_copy, 180}, {m_changeButton, 90}}) {
        move(control, x, pad, Scaled(width), row);
        x += Scaled(width) + pad;
    }
    // The links flow left to right, a label and its link to a pair, onto as many lines as needed.
    constexpr int kLabelWidths[kRelations] = {40, 40, 58, 50, 30};
    const int linkWidth = Scaled(76);
    int y = pad + row + pad;
    x = pad;
    for (size_t i = 0; i < kRelations; ++i) {
        const int labelWidth = Scaled(kLabelWidths[i]), pairWidth = labelWidth + linkWidth + 2 * pad;
        if (x > pad && x + pairWidth > client.right) {
            x = pad;
            y += line;
        }
        move(m_linkLabels[i], x, y + Scaled(2), labelWidth, line - Scaled(2));
        m_links[i]->Move(RECT{x + labelWidth + pad / 2, y + Scaled(2), x + labelWidth + pad / 2 + linkWidth, y + line});
        x += pairWidth;
    }
    y += line + pad;
    // What lies under the pointer, while following the mouse: a heading, the facts beside the swatch.
    for (const HWND control : {m_pointerHeading, m_pointerLabels, m_pointerValues}) {
        ShowWindow(control, m_following ? SW_SHOW : SW_HIDE);
    }
    if (m_following) {
        move(m_pointerHeading, pad, y, client.right - 2 * pad, line);
        y += line;
        const int height = Scaled(150), swatch = Scaled(48), labels = Scaled(70);
        move(m_pointerLabels, pad, y, labels, height);
        move(m_pointerValues, 2 * pad + labels, y, client.right - 5 * pad - labels - swatch, height);
        y += height + pad;
    }
    m_facts->Move(RECT{pad, y, client.right - pad, client.bottom - status - pad});
    move(m_statusLine, 0, client.bottom - status, client.right, status);
    InvalidateRect(hWnd(), nullptr, TRUE); // the swatch moves with the boxes
}

RECT PropertiesPane::SwatchScreenRect() const noexcept
{
    RECT values = {};
    if (!IsOpen()) return values;
    GetWindowRect(m_pointerValues, &values);
    const int swatch = Scaled(48), pad = Scaled(6);
    return RECT{values.right + 2 * pad, values.top, values.right + 2 * pad + swatch, values.top + swatch};
}

void PropertiesPane::PaintSwatch(HDC dc) const
{
    if (!m_following || !m_colour) return;
    RECT swatch = SwatchScreenRect();
    MapWindowPoints(nullptr, hWnd(), reinterpret_cast<POINT*>(&swatch), 2);
    FrameRect(dc, &swatch, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&swatch, -1, -1);
    const UniqueAny<HBRUSH, DeleteGdiObject> brush(CreateSolidBrush(*m_colour));
    if (brush) FillRect(dc, &swatch, brush.get());
}

LRESULT CALLBACK PropertiesPane::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    PropertiesPane* const self = WindowObject(window, message, lParam, &PropertiesPane::m_window);
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    const HRESULT failed = ExceptionBarrier([&] { result = self->OnMessage(window, message, wParam, lParam); });
    return FAILED(failed) ? DefWindowProcW(window, message, wParam, lParam) : result;
}

LRESULT PropertiesPane::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    m_place.Follow(window, message);
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_DPICHANGED: {
        m_dpi = HIWORD(wParam);
        ApplyFont();
        MoveToDpiSuggestion(window, lParam);
        Layout(); // also when the size stayed
        RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window, &paint);
        PaintSwatch(dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ACTIVATE:
        // The keyboard goes back to the control that had it, as in a dialog.
        if (!m_facts) break;
        m_focus.OnActivate(window, wParam, m_facts->hWnd());
        return 0;
    case WM_TIMER:
        FollowTick();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY: {
        // Its links notify from this thread; what comes from elsewhere points at nothing of ours.
        const NMHDR* header = OwnChildNotification(lParam, window);
        if (header == nullptr) break;
        const UINT_PTR link = header->idFrom - kLinkId;
        if (link < kRelations && (header->code == NM_CLICK || header->code == NM_RETURN)) {
            FollowLink(static_cast<Relation>(link));
            return 0;
        }
        break;
    }
    case WM_DESTROY:
        m_following = false;
        m_facts.reset();
        for (auto& link : m_links) link.reset();
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
