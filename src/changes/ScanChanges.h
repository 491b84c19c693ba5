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
    // After the window pass, before the fill releases the window objects: the windows the
    // scan found, read from the objects. Reading them back from a filled tree instead asks
    // the tree about each node by handle, which the platform's tree answers by searching all
    // of its nodes: on 20,000 nodes that took longer than a third of the fill.
    void Collect();
    // After each fill: from the second scan on, marks what is new against the scan before
    // and reports the counts; the first scan only remembers its windows. Only windows that
    // have a node count, so the counts are of what the tree shows.
    void Mark(TreeViewControl& tree, StatusBarControl& statusBar);

private:
    using WindowIdentity = std::tuple<LONG, LONG, std::wstring>; // handle, process, class
    std::set<WindowIdentity> m_collected;
    std::optional<std::set<WindowIdentity>> m_previous;
};
