// What changed between one scan and the next: the windows that came are shown in bold, and the
// status bar's first panel says how many came and went. A window is the same window when its
// handle, class and process are the same, since handles are reused.
#pragma once
#include "controls/StatusBarControl.h"
#include "controls/TreeViewControl.h"

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

class ScanChanges {
public:
    // After each fill: from the second scan on, marks what is new against the scan before
    // and reports the counts; the first scan only remembers its windows.
    void Mark(TreeViewControl& tree, StatusBarControl& statusBar);

    // The windows of the last rescan that came and that went, one line each: the node text
    // (handle, caption, class) and its process node's text, the gone ones as the previous scan
    // showed them. Nothing before the second scan.
    std::optional<std::wstring> Listing() const;

private:
    using WindowIdentity = std::tuple<LONG, LONG, std::wstring>; // handle, process, class
    // A scan's windows with their node texts, and its processes' node texts.
    struct Scan {
        std::map<WindowIdentity, std::wstring> windows;
        std::map<LONG, std::wstring> processes;
    };
    static std::wstring Line(const Scan& scan, const WindowIdentity& window, const std::wstring& text);
    std::optional<Scan> m_previous;
    std::vector<std::wstring> m_added;
    std::vector<std::wstring> m_gone;
    bool m_rescanned = false;
};
