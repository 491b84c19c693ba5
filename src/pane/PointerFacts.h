// What lies under the mouse pointer, read for an automation script: where the pointer is on the
// screen, in its top-level window and in that window's client area (physical pixels), the
// pixel's colour, the control's class with its instance number ("Edit2"), its ID and text, and
// the top-level window's visible text. No text is asked of a window that does not answer.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

struct PointerReading {
    POINT screen = {};
    HWND window = nullptr; // the window under the pointer: a control, or the top-level window itself
    HWND top = nullptr;    // its top-level window
    POINT inWindow = {};   // from the top-level window's top left corner
    POINT inClient = {};   // from the top-level window's client area's top left corner
    std::optional<COLORREF> colour;
    std::wstring classInstance; // empty when `window` is the top-level window
    std::optional<DWORD> controlId;
    std::wstring controlText;
    std::wstring visibleText; // the visible controls' texts, one to a line, in enumeration order
};

// Reads the facts at `screen`, where `window` is the window under the pointer.
PointerReading ReadPointer(POINT screen, HWND window);
// The reading as the pane shows it, one fact a line ("Label:\tvalue").
std::wstring PointerText(const PointerReading& reading);

// "#RRGGBB".
std::wstring ColourText(COLORREF colour);
// The control's class name and its number among the descendants of `top` of that class, in
// enumeration order from 1: the third Edit is "Edit3". Empty when `control` is not beneath `top`.
std::wstring ClassInstance(HWND top, HWND control);
// One line that names the window for a script: its top-level window's caption, class and
// executable, and for a control its class and instance, ID and handle:
//   title="Untitled - Notepad" class="Notepad" exe="notepad.exe" control="Edit1" id=15 hwnd=0x000200A4
// A value's quotes are doubled and its control characters spelled out (\r, \n, \t, \x01).
std::wstring ScriptLine(HWND window);
