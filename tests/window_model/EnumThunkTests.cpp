// The generated child-enumeration thunk: its bytes, its patches and how it runs on the stack.
#include "support/TestWindows.h"
#include "window_model/ScreenWindowInfo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

const uint8_t kTemplate[32] = {
    0xFF, 0x74, 0x24, 0x08, 0xFF, 0x74, 0x24, 0x08, 0x8D, 0x44, 0x24, 0xFC, 0x50, 0x68, 0x00, 0x10,
    0x00, 0x00, 0xB8, 0x00, 0xAA, 0xAA, 0xAA, 0xFF, 0xD0, 0x8B, 0x44, 0x24, 0xF4, 0xC2, 0x08, 0x00,
};

using BuildEnumThunkEntry = HRESULT(__stdcall*)(void* object, LONG ordinal, LONG* address);
using EnumChildProcEntry = HRESULT(__stdcall*)(void* object, LONG* result, LONG hwnd, LONG lParam);
using GetHwndEntry = HRESULT(__stdcall*)(void* object, LONG* value);

void* const* TableOf(IScreenWindowInfo* object)
{
    return *reinterpret_cast<void* const* const*>(object);
}

LONG BuildThunk(IScreenWindowInfo* object, LONG ordinal)
{
    LONG address = 0;
    EXPECT_EQ(S_OK, reinterpret_cast<BuildEnumThunkEntry>(TableOf(object)[19])(object, ordinal, &address));
    return address;
}

uint32_t WordAt(const uint8_t* bytes, size_t offset)
{
    uint32_t word;
    std::memcpy(&word, bytes + offset, sizeof word);
    return word;
}

// Calls `code` as a stdcall callback with two arguments and reports how far the stack
// pointer moved across the call (0 when the callee removed exactly its 8 bytes).
LONG CallCallback(const void* code, LONG window, LONG applicationValue, LONG* stackDelta)
{
    LONG result;
    LONG delta;
    asm volatile("movl %%esp, %%esi\n\t"
                 "pushl %[value]\n\t"
                 "pushl %[window]\n\t"
                 "call *%[code]\n\t"
                 "movl %%esp, %%edx\n\t"
                 "subl %%esi, %%edx\n\t"
                 "movl %%esi, %%esp\n\t"
                 : "=a"(result), "=d"(delta)
                 : [code] "r"(code), [window] "r"(window), [value] "r"(applicationValue)
                 : "esi", "ecx", "memory", "cc");
    *stackDelta = delta;
    return result;
}

struct Ownership {
    ComPtr<IScreenWindowInfo> object;
    Ownership()
    {
        EXPECT_EQ(S_OK, ScreenWindowInfo::Create(object.put()));
    }
};

TEST(EnumThunkTest, BytesAreTheTemplateWithObjectAndEntry18Patched)
{
    Ownership owner;
    IScreenWindowInfo* object = owner.object.get();
    const LONG address = BuildThunk(object, kEnumChildProcOrdinal);
    ASSERT_NE(0, address);
    const auto* code = reinterpret_cast<const uint8_t*>(static_cast<INT_PTR>(address));

    for (size_t i = 0; i < 32; ++i) {
        if ((i >= 14 && i <= 17) || (i >= 19 && i <= 22)) continue;
        EXPECT_EQ(kTemplate[i], code[i]) << "byte " << i;
    }
    EXPECT_EQ(reinterpret_cast<uintptr_t>(object), WordAt(code, 14));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(TableOf(object)[kEnumChildProcSlot]), WordAt(code, 19));

    // The thunk lives inside the object: rebuilding gives the same address.
    EXPECT_EQ(address, BuildThunk(object, kEnumChildProcOrdinal));
}

TEST(EnumThunkTest, OrdinalCountsTheClassOwnEntriesFromOne)
{
    Ownership owner;
    IScreenWindowInfo* object = owner.object.get();
    const auto* code = reinterpret_cast<const uint8_t*>(static_cast<INT_PTR>(BuildThunk(object, 1)));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(TableOf(object)[7]), WordAt(code, 19));
    BuildThunk(object, kEnumChildProcOrdinal);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(TableOf(object)[18]), WordAt(code, 19));
}

TEST(EnumThunkTest, OrdinalArithmeticOverflowFailsTheBuild)
{
    Ownership owner;
    IScreenWindowInfo* object = owner.object.get();
    LONG address = 123;
    const HRESULT hr =
        reinterpret_cast<BuildEnumThunkEntry>(TableOf(object)[19])(object, static_cast<LONG>(0x80000000), &address);
    EXPECT_EQ(static_cast<HRESULT>(0x800A0006), hr);
    EXPECT_EQ(0, address);
}

TEST(EnumThunkTest, SlotsFollowTheDeclaredOrder)
{
    UniqueWindow top = CreateTopWindow(L"slots");
    UniqueWindow child = CreateChildWindow(top.get());
    Ownership owner;
    IScreenWindowInfo* object = owner.object.get();
    ASSERT_EQ(S_OK, object->put_hWnd(HandleValue(top.get())));

    LONG handle = 0;
    EXPECT_EQ(S_OK, reinterpret_cast<GetHwndEntry>(TableOf(object)[15])(object, &handle));
    EXPECT_EQ(HandleValue(top.get()), handle);

    // Slot 18 appends one child per call and always answers "go on".
    LONG result = 0;
    EXPECT_EQ(S_OK, reinterpret_cast<EnumChildProcEntry>(TableOf(object)[18])(object, &result,
                                                                             HandleValue(child.get()), 0));
    EXPECT_EQ(1, result);
    LONG count = 0;
    object->get_GetChildCount(&count);
    EXPECT_EQ(1, count);
}

TEST(EnumThunkTest, CallbackRemovesItsTwoArgumentsAndReturnsTheResultWord)
{
    UniqueWindow top = CreateTopWindow(L"callback");
    UniqueWindow child = CreateChildWindow(top.get());
    Ownership owner;
    IScreenWindowInfo* object = owner.object.get();
    const LONG address = BuildThunk(object, kEnumChildProcOrdinal);

    LONG delta = -1;
    const LONG result =
        CallCallback(reinterpret_cast<const void*>(static_cast<INT_PTR>(address)), HandleValue(child.get()), 77, &delta);
    EXPECT_EQ(1, result);
    EXPECT_EQ(0, delta);
    VARIANT_BOOL has = VARIANT_FALSE;
    object->get_HasChildWindow(&has);
    EXPECT_EQ(VARIANT_TRUE, has);
}

// A target that removes its four arguments and stores nothing.
HRESULT __stdcall TargetThatStoresNothing(void*, LONG*, LONG, LONG)
{
    return E_FAIL;
}

TEST(EnumThunkTest, TargetThatStoresNothingMakesTheCallbackReturnTheWordsOwnAddress)
{
    Ownership owner;
    const auto* generated =
        reinterpret_cast<const uint8_t*>(static_cast<INT_PTR>(BuildThunk(owner.object.get(), kEnumChildProcOrdinal)));

    // The generated code, re-pointed at a target of the test's own.
    void* code = VirtualAlloc(nullptr, 32, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    ASSERT_NE(nullptr, code);
    std::memcpy(code, generated, 32);
    const auto target = reinterpret_cast<uintptr_t>(&TargetThatStoresNothing);
    std::memcpy(static_cast<uint8_t*>(code) + 19, &target, 4);

    LONG delta = -1;
    LONG espBefore;
    asm volatile("movl %%esp, %0" : "=r"(espBefore));
    const LONG result = CallCallback(code, 5, 6, &delta);
    EXPECT_EQ(0, delta);
    EXPECT_NE(0, result);
    // The word sits just below the pushed arguments, inside this call's stack area.
    EXPECT_LT(result, espBefore);
    EXPECT_GT(result, espBefore - 64);
    EXPECT_EQ(0, result % 4);
    VirtualFree(code, 0, MEM_RELEASE);
}

} // namespace
