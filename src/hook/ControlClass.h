// Which control class a window is of, as far as the data of its messages depends on it: control
// messages of one class reuse the numbers of another's, and notification structures go by the
// control that sends them. Asked of the system once per window, not per message.
#pragma once
#include <windows.h>

#include <cstdint>

namespace message_copy {

enum class Control : uint8_t {
    Unknown = 0, // not asked yet
    Other,
    Edit,
    ListBox,
    ComboBox,
    ListView,
    TreeView,
    Header,
    ToolTip,
    Tab,
    Toolbar,
    UpDown,
    Rebar,
    Button,
    Trackbar,
};

// The last few windows asked about, per hooked thread. Zeroed memory is an empty cache: it lives
// in the hook's thread state, which is allocated zeroed and never constructed.
class ClassCache {
public:
    Control Of(HWND window);
    // The window is gone; its handle may come back as another window's.
    void Forget(HWND window);

private:
    static constexpr unsigned kSize = 4;
    HWND m_windows[kSize];
    Control m_controls[kSize];
    unsigned m_next;
};

// Whether a list box's or combo box's items are strings: owner-drawn ones without HASSTRINGS
// hold item data where the message would otherwise point to text.
bool HasStrings(HWND window, Control control);

} // namespace message_copy
