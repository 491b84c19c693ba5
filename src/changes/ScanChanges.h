// What changed between one scan and the next: the windows that came are shown in bold, and the
// status bar's first panel says how many came and went. A window is the same window when its
// handle, class and process are the same, since handles are reused.
#pragma once
#include "controls/StatusBarControl.h"
#include "controls/TreeViewControl.h"

#include <windows.h>

#include <optional>
#include <set>
#include <string>
#include <tuple>

class ScanChanges {
public:
    // After each fill: from the second scan on, marks what is new against the scan before
    // and reports the counts; the first scan only remembers its windows.
    void Mark(TreeViewControl& tree, StatusBarControl& statusBar);

private:
    using WindowIdentity = std::tuple<LONG, LONG, std::wstring>; // handle, process, class
    std::optional<std::set<WindowIdentity>> m_previous;
};
