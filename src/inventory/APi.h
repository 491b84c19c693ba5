// The inventory module: the process list, the assignment of top-level windows to processes,
// and the filling of the tree with its key and text formats.
#pragma once
#include "platform/ComPtr.h"
#include "controls/ProgressBarControl.h"
#include "controls/TreeViewControl.h"
#include "window_model/IScreenWindowInfo.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ProcessRecord {
    std::wstring ExeName;
    LONG ProcessId = 0;
    // No storage until the first top-level window is recorded; then slots 0 to n, dense, in
    // the platform's enumeration order.
    std::optional<std::vector<ComPtr<IScreenWindowInfo>>> Windows;
};

// The records of the last scan; at least one element once a scan has begun.
extern std::vector<ProcessRecord> ProcessList;
// The top-level windows the last window pass attached, in the order the platform reported them
// (z-order, topmost first), across processes: each record keeps only its own.
extern std::vector<HWND> TopWindowOrder;

// Replaces ProcessList with the running processes (from the snapshot's second entry on), or
// with the placeholder record alone when the snapshot delivers nothing; empties TopWindowOrder.
void BuildProcessList();

// The EnumWindows callback: attaches the window, with its whole child tree, to its process.
// A failure stops the enumeration (FALSE) and waits in TakeTopWindowFailure.
BOOL CALLBACK EnumTopWindowProc(HWND hwnd, LPARAM lParam) noexcept;
// The failure that stopped the last window pass, or S_OK; reading it clears it.
[[nodiscard]] HRESULT TakeTopWindowFailure() noexcept;

// Clears the tree, reports the live object count, fills one root per process and its windows
// beneath it, releasing each top-level window's objects once its nodes are in. Running out of
// memory on the way is raised once the fill is through. `countBox`, when given, is told true
// just before the count box shows and false once it is answered, before the first node goes in.
void FillWindowTree(TreeViewControl& tree, ProgressBarControl& progress,
                    const std::function<void(bool shown)>& countBox = nullptr);
// Inserts one window's node under `parentKey` and walks its children; no failure leaves it
// (a repeated copy of a window fails on its key and is skipped).
void AddWindowNode(TreeViewControl& tree, IScreenWindowInfo* window, const std::wstring& parentKey) noexcept;

