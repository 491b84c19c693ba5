// The control classes of windows, from their real class names.
#include "hook/ControlClass.h"

namespace message_copy {
namespace {

bool Is(const wchar_t* name, int length, const wchar_t* known, int knownLength)
{
    return CompareStringOrdinal(name, length, known, knownLength, TRUE) == CSTR_EQUAL;
}

Control Classify(HWND window)
{
    // The real class: a superclassed edit, list box or combo box answers as its base class does.
    wchar_t name[32] = {};
    const int length = static_cast<int>(RealGetWindowClassW(window, name, 32));
    const struct {
        const wchar_t* name;
        Control control;
    } known[] = {
        {L"Edit", Control::Edit},
        {L"ListBox", Control::ListBox},
        {L"ComboLBox", Control::ListBox}, // a combo box's drop-down list
        {L"ComboBox", Control::ComboBox},
        {L"SysListView32", Control::ListView},
        {L"SysTreeView32", Control::TreeView},
        {L"SysHeader32", Control::Header},
        {L"tooltips_class32", Control::ToolTip},
        {L"SysTabControl32", Control::Tab},
        {L"ToolbarWindow32", Control::Toolbar},
        {L"msctls_updown32", Control::UpDown},
        {L"ReBarWindow32", Control::Rebar},
        {L"Button", Control::Button},
        {L"msctls_trackbar32", Control::Trackbar},
    };
    for (const auto& k : known) {
        if (Is(name, length, k.name, -1)) return k.control;
    }
    // RichEdit20W, RICHEDIT50W...: the edit messages copied here mean the same there.
    return length >= 8 && Is(name, 8, L"RichEdit", 8) ? Control::Edit : Control::Other;
}

} // namespace

Control ClassCache::Of(HWND window)
{
    for (unsigned i = 0; i < kSize; ++i) {
        if (m_windows[i] == window && m_controls[i] != Control::Unknown) return m_controls[i];
    }
    const unsigned slot = m_next++ % kSize;
    m_windows[slot] = window;
    m_controls[slot] = Classify(window);
    return m_controls[slot];
}

void ClassCache::Forget(HWND window)
{
    for (unsigned i = 0; i < kSize; ++i) {
        if (m_windows[i] == window) m_controls[i] = Control::Unknown;
    }
}

bool HasStrings(HWND window, Control control)
{
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    if (control == Control::ListBox) {
        return (style & LBS_HASSTRINGS) != 0 || (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) == 0;
    }
    return (style & CBS_HASSTRINGS) != 0 || (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) == 0;
}

} // namespace message_copy
