// A scan as the tree shows it, read back from the tree's nodes: processes, and their windows
// nested under their real parents. Whatever is saved or compared is thus what the user sees.
#pragma once
#include "controls/TreeViewControl.h"

#include <windows.h>

#include <string>
#include <vector>

struct InventoryWindow {
    LONG handle = 0;
    std::wstring caption; // as the tree shows it: "INVALID" for a window without one
    std::wstring className;
    std::wstring text;    // the node's own text
    std::vector<InventoryWindow> children;
};

struct InventoryProcess {
    LONG processId = 0;
    std::wstring exeName;
    std::wstring text;
    std::vector<InventoryWindow> windows;
};

// When the scan that filled the tree was taken, and how many window objects it had built.
struct ScanStamp {
    FILETIME takenAt = {};
    LONG liveObjectCount = 0;
};

struct TreeInventory {
    ScanStamp stamp;
    std::vector<InventoryProcess> processes;
};

// Reads every node of the tree; a node that the fill cannot have made raises.
TreeInventory ReadTreeInventory(const TreeViewControl& tree, const ScanStamp& stamp);
