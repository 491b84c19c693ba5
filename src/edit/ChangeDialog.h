// The change dialog of one window: its caption, its style and extended style as flags to tick,
// its position and size, the one-click changes (show, hide, enable, minimize, front, topmost,
// close), undo and the last changes made. Every change goes through EditCommands.
#pragma once
#include "controls/CheckListControl.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class EditCommands;

class ChangeDialog {
public:
    ChangeDialog(EditCommands& commands, HWND window) noexcept : m_commands(commands), m_window(window) {}
    ChangeDialog(const ChangeDialog&) = delete;
    ChangeDialog& operator=(const ChangeDialog&) = delete;

    // Modal over `owner`; returns once the dialog is closed.
    void Show(HWND owner);

    // The dialog's title, by which a test finds it: "Change window 0001002Ch".
    static std::wstring Title(HWND window);

private:
    struct Tick {
        DWORD mask;
        std::wstring name;
    };
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void OnInit(HWND dialog);
    void OnCommand(WORD id);
    // Reads the window anew into every field.
    void Refresh();
    void ApplyFields();
    void Tell(const std::wstring& text);
    static DWORD Ticked(const CheckListControl& list, const std::vector<Tick>& ticks, DWORD from);

    EditCommands& m_commands;
    HWND m_window;
    HWND m_dialog = nullptr;
    std::unique_ptr<CheckListControl> m_styles, m_exStyles;
    std::vector<Tick> m_styleTicks, m_exStyleTicks;
    // What the fields showed when last read: Apply changes only what differs.
    std::wstring m_caption;
    DWORD m_style = 0, m_exStyle = 0;
    RECT m_bounds = {};
};
