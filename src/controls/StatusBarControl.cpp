// Status bar: bottom alignment, panel layout, and the owner-drawn key indicators, which a
// timer keeps in step with the keys whichever window has the focus.
#include "controls/StatusBarControl.h"

#include "platform/RuntimeError.h"
#include "controls/Twips.h"

#include <commctrl.h>

#include <algorithm>

namespace {
constexpr UINT_PTR kSubclassId = 1;
constexpr UINT_PTR kKeyTimer = 1;
constexpr UINT kKeyPollMilliseconds = 250;

bool KeyToggled(int key)
{
    return (GetKeyState(key) & 1) != 0;
}
} // namespace

StatusBarControl::StatusBarControl(HWND parent, UINT id, std::vector<PanelDesign> panels, float height)
    : m_window(CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                               WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | CCS_BOTTOM | CCS_NORESIZE, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr), nullptr)),
      m_dpi(WindowDpi(parent)), m_panels(std::move(panels)),
      m_height(height), m_texts(m_panels.size())
{
    if (!m_window) RaiseLastError();
    m_capsOn = KeyToggled(VK_CAPITAL);
    m_numOn = KeyToggled(VK_NUMLOCK);
    SetWindowSubclass(hWnd(), SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetTimer(hWnd(), kKeyTimer, kKeyPollMilliseconds, nullptr);
    SetDpi(m_dpi);
}

StatusBarControl::~StatusBarControl()
{
    if (m_window) {
        KillTimer(hWnd(), kKeyTimer);
        RemoveWindowSubclass(hWnd(), SubclassProc, kSubclassId);
    }
}

void StatusBarControl::SetDpi(int dpi)
{
    m_dpi = dpi;
    UniqueFont font = CreateSystemFont(&NONCLIENTMETRICSW::lfStatusFont, dpi);
    if (font) {
        SendMessageW(hWnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        m_font = std::move(font);
    }
    Relayout();
}

void StatusBarControl::Relayout()
{
    // Docked to the parent's bottom edge at the designed height; left to itself the control
    // would take a height of its own font's choosing.
    RECT parent;
    GetClientRect(GetParent(hWnd()), &parent);
    const int height = TwipsToPixels(m_height, m_dpi);
    SetWindowPos(hWnd(), nullptr, 0, parent.bottom - height, parent.right, height, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    GetClientRect(hWnd(), &client);

    std::vector<int> widths;
    int total = 0;
    for (const PanelDesign& panel : m_panels) {
        widths.push_back(TwipsToPixels(panel.width, m_dpi));
        total += widths.back();
    }
    // Too narrow: panels give way from the first on, each down to its minimum width.
    for (size_t i = 0; i < m_panels.size() && total > client.right; ++i) {
        const int minimum = TwipsToPixels(m_panels[i].minWidth, m_dpi);
        const int giveWay = std::min(widths[i] - minimum, total - static_cast<int>(client.right));
        if (giveWay > 0) {
            widths[i] -= giveWay;
            total -= giveWay;
        }
    }
    std::vector<int> rightEdges;
    int right = 0;
    for (int width : widths) {
        right += width;
        rightEdges.push_back(right);
    }
    SendMessageW(hWnd(), SB_SETPARTS, rightEdges.size(), reinterpret_cast<LPARAM>(rightEdges.data()));
    for (size_t i = 0; i < m_panels.size(); ++i) {
        const WPARAM part = static_cast<WPARAM>(i);
        if (m_panels[i].kind == PanelKind::Text) {
            SendMessageW(hWnd(), SB_SETTEXTW, part, reinterpret_cast<LPARAM>(m_texts[i].c_str()));
        } else {
            SendMessageW(hWnd(), SB_SETTEXTW, part | SBT_OWNERDRAW, static_cast<LPARAM>(i));
        }
    }
}

RECT StatusBarControl::PanelRect(short index) const
{
    if (index < 1 || static_cast<size_t>(index) > m_panels.size()) RaiseError(kErrorSubscriptOutOfRange);
    RECT rect = {};
    SendMessageW(hWnd(), SB_GETRECT, static_cast<WPARAM>(index - 1), reinterpret_cast<LPARAM>(&rect));
    return rect;
}

float StatusBarControl::PanelLeft(short index) const
{
    return PixelsToTwips(PanelRect(index).left, m_dpi);
}

float StatusBarControl::PanelWidth(short index) const
{
    const RECT rect = PanelRect(index);
    return PixelsToTwips(rect.right - rect.left, m_dpi);
}

void StatusBarControl::SetPanelText(short index, const std::wstring& text)
{
    PanelRect(index); // raises for a panel that does not exist
    m_texts[static_cast<size_t>(index - 1)] = text;
    SendMessageW(hWnd(), SB_SETTEXTW, static_cast<WPARAM>(index - 1), reinterpret_cast<LPARAM>(text.c_str()));
}

const std::wstring& StatusBarControl::PanelText(short index) const
{
    PanelRect(index); // raises for a panel that does not exist
    return m_texts[static_cast<size_t>(index - 1)];
}

float StatusBarControl::Height() const
{
    RECT rect;
    GetWindowRect(hWnd(), &rect);
    return PixelsToTwips(rect.bottom - rect.top, m_dpi);
}

bool StatusBarControl::DrawItem(const DRAWITEMSTRUCT& item) const
{
    if (item.hwndItem != hWnd() || item.itemID >= m_panels.size()) return false;
    const PanelKind kind = m_panels[item.itemID].kind;
    if (kind == PanelKind::Text) return true;
    const bool on = kind == PanelKind::CapsLock ? m_capsOn : m_numOn;
    RECT rect = item.rcItem;
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(on ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextW(item.hDC, kind == PanelKind::CapsLock ? L"CAPS" : L"NUM", -1, &rect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    return true;
}

void StatusBarControl::RefreshKeyIndicators()
{
    const bool caps = KeyToggled(VK_CAPITAL);
    const bool num = KeyToggled(VK_NUMLOCK);
    if (caps == m_capsOn && num == m_numOn) return;
    m_capsOn = caps;
    m_numOn = num;
    for (size_t i = 0; i < m_panels.size(); ++i) {
        if (m_panels[i].kind == PanelKind::Text) continue;
        RECT rect = PanelRect(static_cast<short>(i + 1));
        InvalidateRect(hWnd(), &rect, TRUE);
    }
}

LRESULT CALLBACK StatusBarControl::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                DWORD_PTR self)
{
    if (message == WM_TIMER && wParam == kKeyTimer) {
        (void)ExceptionBarrier([&] { reinterpret_cast<StatusBarControl*>(self)->RefreshKeyIndicators(); });
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
