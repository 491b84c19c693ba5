// Generated code's own memory: a window object's slot goes back with the object and serves the
// next one, and both thunk builders find their target by the same arithmetic.
#include "platform/DispatchEntry.h"
#include "platform/RuntimeError.h"
#include "window_model/ScreenWindowInfo.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(ThunkAllocatorTest, ASlotGivenBackServesTheNextObjectWithItsNewOwnersAddress)
{
    // The object's thunk, rebuilt in place through slot 19, and its patched words.
    const auto thunkOf = [](IScreenWindowInfo* object) {
        using BuildEnumThunkEntry = HRESULT(__stdcall*)(void*, LONG, LONG*);
        LONG address = 0;
        (*reinterpret_cast<BuildEnumThunkEntry* const*>(object))[19](object, kEnumChildProcOrdinal, &address);
        return reinterpret_cast<void* const*>(static_cast<INT_PTR>(address));
    };
    const auto wordAt = [](void* const* code, size_t offset) {
        return *reinterpret_cast<void* const*>(reinterpret_cast<const BYTE*>(code) + offset);
    };
    ComPtr<IScreenWindowInfo> first;
    ASSERT_EQ(S_OK, ScreenWindowInfo::Create(first.put()));
    void* const* const slot = thunkOf(first.get());
    first.reset();
    ComPtr<IScreenWindowInfo> second;
    ASSERT_EQ(S_OK, ScreenWindowInfo::Create(second.put()));
    ASSERT_EQ(slot, thunkOf(second.get()));
    EXPECT_EQ(second.get(), wordAt(slot, 14));
    EXPECT_EQ((*reinterpret_cast<void* const* const*>(second.get()))[kEnumChildProcSlot], wordAt(slot, 19));
}

TEST(ThunkAllocatorTest, EntryAddressAddsTheTableBeforeTheSevenStandardEntries)
{
    // (ordinal - 1) * 4 + table + 0x1C; 0 marks an overflow. Adding 0x1C to the table first
    // would overflow in the second case and not in the third.
    const struct { LONG table, ordinal, entry; } cases[] = {
        {0x00401000, 12, 0x00401048}, {0x7FFFFFF0, -10, 0x7FFFFFE0}, {LONG_MIN, -1, 0}};
    for (const auto& c : cases) {
        LONG entry = 0;
        EXPECT_EQ(c.entry == 0 ? kErrorOverflow : S_OK,
                  ExceptionBarrier([&] { entry = DispatchEntryAddress(c.table, c.ordinal); }));
        EXPECT_EQ(c.entry, entry) << c.table;
    }
}

} // namespace
