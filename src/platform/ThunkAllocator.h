// Executable memory of its own for generated code: whole pages reserved for thunks and handed
// out in slots of one thunk's size, so that no data of the program ever shares a page with
// code and data execution prevention keeps covering the heap.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <cstddef>
#include <vector>

class ThunkAllocator {
public:
    // The process's one allocator, for the GUI thread. Its pages are never given back: a window
    // may go on calling a guarded thunk long after its object is gone.
    static ThunkAllocator& Instance() noexcept;

    // A slot of exactly `bytes` in read-write-execute pages (generated code writes its own
    // guard word), reused from the slots of that size given back before; raises out of memory.
    [[nodiscard]] void* Allocate(size_t bytes);
    // Gives a slot back for reuse; the code in it must no longer be reachable.
    void Free(void* slot, size_t bytes) noexcept;
    // Called once generated code is completely written and before its address is handed out.
    static void Publish(const void* code, size_t bytes) noexcept;

    // Whether `address` lies in one of the allocator's pages.
    bool Holds(const void* address) const noexcept;
    size_t ReservedBytes() const noexcept { return m_chunks.size() * kChunkBytes; }

private:
    // The allocation granularity: smaller reservations would waste the rest of it anyway.
    static constexpr size_t kChunkBytes = 64 * 1024;

    // The slots of one size: given-back slots linked through their first word, then the
    // untouched rest of the newest chunk.
    struct Pool {
        size_t slotBytes;
        void* freeSlots;
        BYTE* next;
        BYTE* end;
    };
    Pool& PoolFor(size_t bytes);

    std::vector<Pool> m_pools;
    std::vector<BYTE*> m_chunks;
};

template <size_t Bytes>
struct FreeThunkSlot {
    void operator()(void* slot) const noexcept { ThunkAllocator::Instance().Free(slot, Bytes); }
};
// A slot of `Bytes` owned by one object and given back when it goes.
template <size_t Bytes>
using UniqueThunkSlot = UniqueAny<void*, FreeThunkSlot<Bytes>>;
