// Counting operator new and delete over the process heap, with one armed failure.
#include "CountingAllocator.h"

#include <new>

namespace {
volatile LONG g_liveBlocks = 0;
volatile LONG g_liveBytes = 0;
volatile DWORD g_armedThread = 0;
volatile LONG g_allocationsSeen = 0;
volatile LONG g_failAt = 0;
volatile LONG g_failed = 0;

void* Allocate(size_t size) noexcept
{
    if (g_armedThread != 0 && g_armedThread == GetCurrentThreadId()) {
        if (InterlockedIncrement(&g_allocationsSeen) == g_failAt) {
            g_failed = 1;
            return nullptr;
        }
    }
    void* block = HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
    if (block != nullptr) {
        InterlockedIncrement(&g_liveBlocks);
        InterlockedExchangeAdd(&g_liveBytes, static_cast<LONG>(HeapSize(GetProcessHeap(), 0, block)));
    }
    return block;
}

void Free(void* block) noexcept
{
    if (block == nullptr) return;
    InterlockedDecrement(&g_liveBlocks);
    InterlockedExchangeAdd(&g_liveBytes, -static_cast<LONG>(HeapSize(GetProcessHeap(), 0, block)));
    HeapFree(GetProcessHeap(), 0, block);
}

void* AllocateOrThrow(size_t size)
{
    if (void* block = Allocate(size)) return block;
    throw std::bad_alloc();
}
} // namespace

void* operator new(size_t size) { return AllocateOrThrow(size); }
void* operator new[](size_t size) { return AllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { Free(block); }
void operator delete[](void* block) noexcept { Free(block); }
void operator delete(void* block, size_t) noexcept { Free(block); }
void operator delete[](void* block, size_t) noexcept { Free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Free(block); }

namespace CountingAllocator {
LONG LiveBlocks() noexcept { return g_liveBlocks; }
LONG LiveBytes() noexcept { return g_liveBytes; }

Fault::Fault(LONG failAt) noexcept
{
    g_allocationsSeen = 0;
    g_failed = 0;
    g_failAt = failAt;
    g_armedThread = GetCurrentThreadId();
}

Fault::~Fault() { g_armedThread = 0; }

LONG Fault::Seen() noexcept { return g_allocationsSeen; }
bool Fault::Failed() noexcept { return g_failed != 0; }
} // namespace CountingAllocator
