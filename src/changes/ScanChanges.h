// What changed between one scan and the next: the windows that came are shown in bold, and the
// status bar's first panel says how many came and went. A window is the same window when its
// handle, class and process are the same, since handles are reused.
#pragma once
#include "controls/StatusBarControl.h"
#include "controls/TreeViewControl.h"
#include "inventory/ScanRecord.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class ScanChanges {
public:
    // After each fill, with the scan's record: from the second scan on, marks what is new
    // against the scan before and reports the counts; the first scan is only kept.
    void Mark(const std::shared_ptr<const ScanRecord>& scan, TreeViewControl& tree, StatusBarControl& statusBar);
    // The same windows marked again in the tree filled anew, arranged another way.
    void MarkAgain(TreeViewControl& tree) const;

    // The windows of the last rescan that came and that went, one line each: the node text
    // (handle, caption, class) and its process node's text, the gone ones as the previous scan
    // showed them. Nothing before the second scan.
    std::optional<std::wstring> Listing() const;

private:
    static std::wstring Line(const ScanRecord& scan, const RecordedWindow& window);
    std::shared_ptr<const ScanRecord> m_previous;
    std::vector<std::wstring> m_added;
    std::vector<LONG> m_addedHandles;
    std::vector<std::wstring> m_gone;
    bool m_rescanned = false;
};
