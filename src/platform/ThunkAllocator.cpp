// Slots for generated code in pages of their own, reserved a granule at a time.
#include "platform/ThunkAllocator.h"

#include "platform/RuntimeError.h"

ThunkAllocator& ThunkAllocator::Instance() noexcept
{
    // Never destroyed: code in its pages may run while the process ends.
    static ThunkAllocator* const instance = new ThunkAllocator();
    return *instance;
}

ThunkAllocator::Pool& ThunkAllocator::PoolFor(size_t bytes)
{
    for (Pool& pool : m_pools) {
        if (pool.slotBytes == bytes) return pool;
    }
    if (bytes < sizeof(void*) || bytes > kChunkBytes || bytes % sizeof(void*) != 0) RaiseError(E_INVALIDARG);
    m_pools.push_back(Pool{bytes, nullptr, nullptr, nullptr});
    return m_pools.back();
}

void* ThunkAllocator::Allocate(size_t bytes)
{
    Pool& pool = PoolFor(bytes);
    if (pool.freeSlots != nullptr) {
        void* const slot = pool.freeSlots;
        pool.freeSlots = *static_cast<void**>(slot);
        return slot;
    }
    if (static_cast<size_t>(pool.end - pool.next) < bytes) {
        m_chunks.reserve(m_chunks.size() + 1);
        auto* const chunk = static_cast<BYTE*>(
            VirtualAlloc(nullptr, kChunkBytes, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
        if (chunk == nullptr) RaiseError(kErrorOutOfMemory);
        m_chunks.push_back(chunk);
        pool.next = chunk;
        pool.end = chunk + kChunkBytes;
    }
    void* const slot = pool.next;
    pool.next += bytes;
    return slot;
}

void ThunkAllocator::Free(void* slot, size_t bytes) noexcept
{
    for (Pool& pool : m_pools) {
        if (pool.slotBytes != bytes) continue;
        *static_cast<void**>(slot) = pool.freeSlots;
        pool.freeSlots = slot;
        return;
    }
}

void ThunkAllocator::Publish(const void* code, size_t bytes) noexcept
{
    FlushInstructionCache(GetCurrentProcess(), code, bytes);
}

bool ThunkAllocator::Holds(const void* address) const noexcept
{
    const auto* const byte = static_cast<const BYTE*>(address);
    for (const BYTE* chunk : m_chunks) {
        if (byte >= chunk && byte < chunk + kChunkBytes) return true;
    }
    return false;
}
