// Drives a running WindowInventory from another process, as a person would: finds its
// window, chooses the scan command by its keyboard route, answers the message box.
#pragma once
#include <windows.h>

#include <string>

// Asks `probe` every 20 ms until it answers something true, and returns that answer; returns
// the empty answer once `timeoutMs` has passed.
template <class Probe>
auto PollUntil(DWORD timeoutMs, Probe probe) -> decltype(probe())
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (auto result = probe()) return result;
        if (GetTickCount() - start >= timeoutMs) return {};
        Sleep(20);
    }
}

// Form1's top-level window in process `processId` (any process when 0), or nullptr once
// `timeoutMs` has passed.
HWND WaitForForm1(DWORD processId, DWORD timeoutMs);

// Alt+C: the menu bar's mnemonic route to "ClickHere(&C)".
void ChooseScanCommand(HWND form);

// The visible message box titled "Window Inventory" of the form's process, or nullptr.
HWND WaitForMessageBox(HWND form, DWORD timeoutMs);
// The box's message text.
std::wstring MessageBoxText(HWND box);
// Presses OK and waits until the box is gone.
void PressOk(HWND box);

// The form's tree view (its first child of the tree-view class).
HWND FindTree(HWND form);
// Waits until the tree holds at least one node; false on time-out.
bool WaitForTreeItems(HWND tree, DWORD timeoutMs);
