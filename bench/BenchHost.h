// The benchmark's window: a visible top-level window with the tree view and the progress bar
// that the product's fill and the floor's fill both fill.
#pragma once
#include "controls/ProgressBarControl.h"
#include "controls/TreeViewControl.h"
#include "platform/UniqueHandles.h"

#include <memory>

class BenchHost {
public:
    BenchHost();

    TreeViewControl& Tree() { return *m_tree; }
    ProgressBarControl& Progress() { return *m_progress; }

private:
    UniqueWindow m_window;
    std::unique_ptr<TreeViewControl> m_tree;
    std::unique_ptr<ProgressBarControl> m_progress;
};

// Dispatches whatever waits in the thread's queue, paints included.
void PumpMessages();
