// What changed between two inventories: processes and windows added and gone, and windows whose
// caption, parent or visibility changed. A window is the same window by IsSameWindow, as the
// form's marking of new windows has it; a process when its id and executable are. The
// processes of WindowInventory itself (marked "self") and their windows are not compared.
#pragma once
#include "export/InventoryExport.h"
#include "export/InventoryFile.h"

#include <string>
#include <vector>

struct ChangedWindow {
    ComparedWindow before;
    ComparedWindow after;
};

struct InventoryDifferences {
    std::vector<ComparedProcess> processesAdded;
    std::vector<ComparedProcess> processesGone;
    std::vector<ComparedWindow> windowsAdded;
    std::vector<ComparedWindow> windowsGone;
    std::vector<ChangedWindow> windowsChanged;

    bool Empty() const noexcept
    {
        return processesAdded.empty() && processesGone.empty() && windowsAdded.empty() && windowsGone.empty() &&
               windowsChanged.empty();
    }
};

// Lists in the order of the file they come from (`after` for added and changed, `before` for gone).
InventoryDifferences CompareInventories(const ComparedInventory& before, const ComparedInventory& after);

// The report, UTF-8: lines of text ("+", "-", "~" per item under a heading per list) or JSON.
std::string FormatDifferences(const InventoryDifferences& differences, ExportFormat format);
