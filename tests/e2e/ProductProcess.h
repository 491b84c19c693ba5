// WindowInventory.exe started as a process of its own and looked at from outside: its windows,
// and the tree and status bar read through a section mapped into it.
#pragma once
#include "SharedSection.h"
#include "platform/UniqueHandles.h"
#include "support/TreeReader.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

class ProductProcess {
public:
    // Starts the WindowInventory.exe that sits beside this executable and waits for Form1.
    // Error() says what failed.
    ProductProcess();
    // A process still running is asked to close, and ended when it does not.
    ~ProductProcess();
    ProductProcess(const ProductProcess&) = delete;
    ProductProcess& operator=(const ProductProcess&) = delete;

    const std::wstring& Error() const noexcept { return m_error; }
    HANDLE Process() const noexcept { return m_process.get(); }
    DWORD Id() const noexcept { return m_processId; }

    HWND Form() const noexcept { return m_form; }
    HWND Tree() const noexcept { return m_tree; }
    HWND StatusBar() const noexcept { return m_statusBar; }
    // The progress bar where the program docks it: the status bar's msctls_progress32 child.
    HWND ProgressBarInStatusBar() const;

    // Sends with a time-out, so that a hung product fails the test instead of stalling it.
    bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) const;
    // Returns once the product's thread has handled everything sent to it before.
    bool Sync() const;

    // The whole tree, roots in order; false (with `error`) when a read fails.
    bool ReadTree(std::vector<TreeNode>& nodes, std::wstring& error) const;
    // TVM_GETCOUNT: needs no buffer. -1 when the product does not answer.
    long TreeCount() const;
    // SB_GETRECT of a 1-based panel, in the status bar's client coordinates.
    bool PanelRect(int panel, RECT& rect) const;

private:
    bool ReadLevel(HTREEITEM first, std::vector<TreeNode>& nodes, std::wstring& error, int depth) const;

    UniqueHandle m_process;
    UniqueHandle m_thread;
    DWORD m_processId = 0;
    HWND m_form = nullptr;
    HWND m_tree = nullptr;
    HWND m_statusBar = nullptr;
    std::unique_ptr<SharedSection> m_section;
    std::wstring m_error;
};
