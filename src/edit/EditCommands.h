// The commands that change a window: the change dialog, bring to front, close and undo, for the
// tree's selected window or a window the properties pane shows. Each says in panel 1 what
// happened; nothing here runs unless a command is chosen.
#pragma once
#include "edit/WindowEditor.h"
#include "inspect/TreeInspector.h"

#include <windows.h>

#include <string>

class EditCommands {
public:
    EditCommands(HWND owner, TreeInspector& inspector) noexcept;
    ~EditCommands();
    EditCommands(const EditCommands&) = delete;
    EditCommands& operator=(const EditCommands&) = delete;

    // For the tree's selected window.
    void OpenChangeDialog();
    void BringToFront();
    void CloseWindow();
    void Undo();
    // The change dialog over `dialogOwner` (the properties pane, say) for `window`.
    void OpenChangeDialog(HWND dialogOwner, HWND window);

    // What the dialog shares with the commands: each tells panel 1 and returns what it told.
    std::wstring Apply(const WindowChange& change);
    // Restores a minimized window first; the platform's foreground rules may refuse.
    std::wstring BringToFront(HWND window);
    // Asks first, in a box over `confirmOwner`; the close is read back a moment later.
    std::wstring CloseWindow(HWND confirmOwner, HWND window);
    std::wstring UndoLast();
    WindowEditor& Editor() noexcept { return m_editor; }

private:
    static void CALLBACK CheckClosed(HWND owner, UINT message, UINT_PTR id, DWORD time) noexcept;
    std::wstring Say(const std::wstring& text);

    HWND m_owner;
    TreeInspector& m_inspector;
    WindowEditor m_editor;
    HWND m_closing = nullptr;
};
