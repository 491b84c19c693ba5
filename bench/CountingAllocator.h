// The process's replaced operator new: it counts the blocks and bytes held through it, which is
// exactly what the object model holds, and it can fail one chosen allocation on one thread. The
// benchmark reads the counts; the out-of-memory tests arm the failure. Link CountingAllocator.cpp
// into the executable itself (not through a library) so that its operators replace the runtime's.
#pragma once
#include <windows.h>

namespace CountingAllocator {
LONG LiveBlocks() noexcept;
LONG LiveBytes() noexcept;

// Arms, for its lifetime, a single failure of the calling thread's Nth allocation counted from
// now (failAt 0: only count). One failure only: reporting it needs memory too.
class Fault {
public:
    explicit Fault(LONG failAt) noexcept;
    ~Fault();
    Fault(const Fault&) = delete;
    Fault& operator=(const Fault&) = delete;

    static LONG Seen() noexcept;   // allocations on the armed thread since arming
    static bool Failed() noexcept; // the armed failure has happened
};
} // namespace CountingAllocator
