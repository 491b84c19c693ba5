// Generated code's own memory: a window object's slot goes back with the object and serves the
// next one, and both thunk builders find their target by the same arithmetic.
#include "platform/DispatchEntry.h"
#include "platform/RuntimeError.h"
#include "platform/ThunkAllocator.h"
#include "support/TestWindows.h"
#include "window_model/ScreenWindowInfo.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

void* const* TableOf(IScreenWindowInfo* object)
{
    return *reinterpret_cast<void* const* const*>(object);
}

// The object's thunk, rebuilt in place through slot 19.
const BYTE* ThunkOf(IScreenWindowInfo* object)
{
    using BuildEnumThunkEntry = HRESULT(__stdcall*)(void* object, LONG ordinal, LONG* address);
    LONG address = 0;
    EXPECT_EQ(S_OK, reinterpret_cast<BuildEnumThunkEntry>(TableOf(object)[19])(object, kEnumChildProcOrdinal, &address));
    return reinterpret_cast<const BYTE*>(static_cast<INT_PTR>(address));
}

const void* WordAt(const BYTE* code, size_t offset)
{
    const void* word;
    std::memcpy(&word, code + offset, sizeof word);
    return word;
}

TEST(ThunkAllocatorTest, ASlotGivenBackServesTheNextObjectForItsNewOwner)
{
    ComPtr<IScreenWindowInfo> first;
    ASSERT_EQ(S_OK, ScreenWindowInfo::Create(first.put()));
    const BYTE* const slot = ThunkOf(first.get());
    EXPECT_TRUE(ThunkAllocator::Instance().Holds(slot));
    first.reset();

    ComPtr<IScreenWindowInfo> second;
    ASSERT_EQ(S_OK, ScreenWindowInfo::Create(second.put()));
    ASSERT_EQ(slot, ThunkOf(second.get()));
    EXPECT_EQ(second.get(), WordAt(slot, 14));
    EXPECT_EQ(TableOf(second.get())[kEnumChildProcSlot], WordAt(slot, 19));
    // And it runs for the new owner.
    UniqueWindow top = CreateTopWindow(L"reused");
    UniqueWindow child = CreateChildWindow(top.get());
    ASSERT_EQ(S_OK, second->put_hWnd(HandleValue(top.get())));
    VARIANT_BOOL hasChildren = VARIANT_FALSE;
    second->get_HasChildWindow(&hasChildren);
    EXPECT_EQ(VARIANT_TRUE, hasChildren);
}

TEST(ThunkAllocatorTest, EntryAddressAddsTheTableBeforeTheSevenStandardEntries)
{
    // (ordinal - 1) * 4, + table, + 0x1C: only that order overflows exactly where it must.
    const struct { LONG table, ordinal, entry; } cases[] = {
        {0x00401000, 12, 0x00401048},
        {0x7FFFFFF0, -10, 0x7FFFFFE0},  // table + 0x1C first would overflow here
        {LONG_MIN, -1, 0},              // and would not overflow here: 0 marks the overflow
    };
    for (const auto& c : cases) {
        LONG entry = 0;
        const HRESULT hr = ExceptionBarrier([&] { entry = DispatchEntryAddress(c.table, c.ordinal); });
        EXPECT_EQ(c.entry == 0 ? kErrorOverflow : S_OK, hr) << c.table;
        EXPECT_EQ(c.entry, entry) << c.table;
    }
}

} // namespace
