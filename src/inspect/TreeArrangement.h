// The ways the tree shows one scan's record: by process (the tree as the scan fills it), from the
// desktop down in z-order (top-level windows as the platform stacks them, each with its children),
// and by thread (process, thread, the thread's windows). An arrangement is the record's nodes in
// display order, each with its depth: it fills the tree, and Find and Copy with children walk it.
// Nothing in it asks a window anything, so switching costs no trip to the window server.
#pragma once
#include "controls/TreeViewControl.h"
#include "inspect/NodeFacts.h"
#include "inventory/ScanRecord.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

enum class Arrangement { ByProcess, ZOrder, ByThread };

struct ArrangedNode {
    NodeSubject subject; // a process, a thread or a window (the desktop among them)
    size_t index;        // into the record's Processes() or Windows(); TreeArrangement::kNoIndex for the others
    unsigned depth;      // 0 for a root
};

class TreeArrangement {
public:
    static constexpr size_t kNoIndex = SIZE_MAX;
    // `desktop`: the desktop window, the root of the z-order arrangement.
    TreeArrangement(std::shared_ptr<const ScanRecord> record, Arrangement arrangement, HWND desktop);

    Arrangement Kind() const noexcept { return m_kind; }
    const ScanRecord& Record() const noexcept { return *m_record; }
    const std::vector<ArrangedNode>& Nodes() const noexcept { return m_nodes; }
    // The node's key and text as the tree shows them.
    std::wstring Key(const ArrangedNode& node) const;
    std::wstring Text(const ArrangedNode& node) const;
    // Where the subject's node is in Nodes(), or kNoIndex.
    size_t Find(const NodeSubject& subject) const noexcept;
    // Clears the tree and fills it with the nodes, collapsed but for the desktop's.
    void Fill(TreeViewControl& tree) const;

private:
    void ArrangeByProcess();
    void ArrangeInZOrder(HWND desktop);
    void ArrangeByThread();

    std::shared_ptr<const ScanRecord> m_record;
    Arrangement m_kind;
    std::vector<ArrangedNode> m_nodes;
};
