// The window object on real windows: its child-enumeration thunk (bytes, entry, stack), the
// objects a child tree multiplies into, release, texts and the display switch.
#include "platform/RuntimeError.h"
#include "support/TestWindows.h"
#include "window_model/ScreenWindowInfo.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The code as the design lays it out, written out apart from the source.
const uint8_t kTemplate[32] = {
    0xFF, 0x74, 0x24, 0x08, 0xFF, 0x74, 0x24, 0x08, 0x8D, 0x44, 0x24, 0xFC, 0x50, 0x68, 0x00, 0x10,
    0x00, 0x00, 0xB8, 0x00, 0xAA, 0xAA, 0xAA, 0xFF, 0xD0, 0x8B, 0x44, 0x24, 0xF4, 0xC2, 0x08, 0x00,
};

using BuildEnumThunkEntry = HRESULT(__stdcall*)(IScreenWindowInfo* object, LONG ordinal, LONG* address);

ComPtr<IScreenWindowInfo> ObjectFor(HWND window)
{
    ComPtr<IScreenWindowInfo> object;
    EXPECT_EQ(S_OK, ScreenWindowInfo::Create(object.put()));
    if (window != nullptr) {
        EXPECT_EQ(S_OK, object->put_hWnd(HandleValue(window)));
    }
    return object;
}

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

uint32_t WordAt(LONG address, size_t offset)
{
    uint32_t word;
    std::memcpy(&word, reinterpret_cast<const uint8_t*>(address) + offset, sizeof word);
    return word;
}

// Calls `code` as a stdcall callback with two arguments; *stackDelta is how far the stack
// pointer moved across the call (0 when the callee removed exactly its 8 bytes).
LONG CallCallback(LONG code, LONG window, LONG value, LONG* stackDelta)
{
    LONG result;
    asm volatile("movl %%esp, %%esi\n\tpushl %[value]\n\tpushl %[window]\n\tcall *%[code]\n\t"
                 "movl %%esp, %%edx\n\tsubl %%esi, %%edx\n\tmovl %%esi, %%esp\n\t"
                 : "=a"(result), "=d"(*stackDelta)
                 : [code] "r"(code), [window] "r"(window), [value] "r"(value)
                 : "esi", "ecx", "memory", "cc");
    return result;
}

HRESULT __stdcall TargetThatStoresNothing(void*, LONG*, LONG, LONG)
{
    return E_FAIL;
}

LONG Count(IScreenWindowInfo* object)
{
    LONG count = -1;
    EXPECT_EQ(S_OK, object->get_GetChildCount(&count));
    return count;
}

bool HasChildren(IScreenWindowInfo* object)
{
    VARIANT_BOOL has = 0x1234;
    EXPECT_EQ(S_OK, object->get_HasChildWindow(&has));
    return has != VARIANT_FALSE;
}

ComPtr<IScreenWindowInfo> ChildOf(IScreenWindowInfo* object, LONG index)
{
    IScreenWindowInfo* child = nullptr;
    EXPECT_EQ(S_OK, object->get_GetChildObject(index, &child));
    return ComPtr<IScreenWindowInfo>::Attach(child);
}

BOOL CALLBACK Collect(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<LONG>*>(list)->push_back(HandleValue(window));
    return TRUE;
}

// Every object holds, in the platform's order, every window the platform reports beneath its own.
void ExpectHoldsWhatThePlatformReports(IScreenWindowInfo* object)
{
    LONG handle = 0;
    object->get_hWnd(&handle);
    std::vector<LONG> reported;
    EnumChildWindows(reinterpret_cast<HWND>(handle), Collect, reinterpret_cast<LPARAM>(&reported));
    std::vector<LONG> held;
    for (LONG i = 0; HasChildren(object) && i <= Count(object); ++i) {
        const ComPtr<IScreenWindowInfo> child = ChildOf(object, i);
        held.emplace_back();
        child->get_hWnd(&held.back());
        ExpectHoldsWhatThePlatformReports(child.get());
    }
    EXPECT_EQ(reported, held) << "under " << handle;
}

TEST(EnumThunkTest, CodeIsTheTemplateWithTheObjectAndTheEntryTheOrdinalChooses)
{
    const ComPtr<IScreenWindowInfo> owner = ObjectFor(nullptr);
    IScreenWindowInfo* const object = owner.get();
    const LONG first = BuildThunk(object, kEnumChildProcOrdinal);
    // Ordinal counts the class's own entries from 1: 12 is EnumChildProc in entry 18, 1 is entry 7.
    for (const auto& [ordinal, entry] : {std::pair{kEnumChildProcOrdinal, 18}, std::pair{1L, 7}}) {
        const LONG address = BuildThunk(object, ordinal);
        EXPECT_EQ(first, address) << "the code lives in the object, rewritten in place";
        for (size_t i = 0; i < 32; ++i) {
            if ((i < 14 || i > 17) && (i < 19 || i > 22)) {
                EXPECT_EQ(kTemplate[i], reinterpret_cast<const uint8_t*>(address)[i]) << "byte " << i;
            }
        }
        EXPECT_EQ(reinterpret_cast<uintptr_t>(object), WordAt(address, 14));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(TableOf(object)[entry]), WordAt(address, 19)) << ordinal;
    }
    LONG address = 123;
    EXPECT_EQ(kErrorOverflow, reinterpret_cast<BuildEnumThunkEntry>(TableOf(object)[19])(object, LONG_MIN, &address));
    EXPECT_EQ(0, address);
}

TEST(EnumThunkTest, CallbackRemovesItsTwoArgumentsAndReturnsTheResultWord)
{
    UniqueWindow top = CreateTopWindow(L"callback");
    UniqueWindow child = CreateChildWindow(top.get());
    const ComPtr<IScreenWindowInfo> object = ObjectFor(nullptr);
    const LONG code = BuildThunk(object.get(), kEnumChildProcOrdinal);
    LONG delta = -1;
    EXPECT_EQ(1, CallCallback(code, HandleValue(child.get()), 77, &delta));
    EXPECT_EQ(0, delta);
    EXPECT_TRUE(HasChildren(object.get()));

    // Pointed at a target that stores nothing, it returns the result word's own address, just
    // below its arguments: never 0, so the platform goes on.
    auto* copy = static_cast<uint8_t*>(VirtualAlloc(nullptr, 32, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    ASSERT_NE(nullptr, copy);
    std::memcpy(copy, reinterpret_cast<const void*>(code), 32);
    const auto target = reinterpret_cast<uintptr_t>(&TargetThatStoresNothing);
    std::memcpy(copy + 19, &target, 4);
    LONG esp;
    asm volatile("movl %%esp, %0" : "=r"(esp));
    const LONG result = CallCallback(reinterpret_cast<LONG>(copy), 5, 6, &delta);
    EXPECT_EQ(0, delta);
    EXPECT_LT(result, esp);
    EXPECT_GT(result, esp - 64);
    VirtualFree(copy, 0, MEM_RELEASE);
}

TEST(ScreenWindowInfoTest, ObjectsHoldEveryDescendantSoDeeperWindowsMultiply)
{
    UniqueWindow top = CreateTopWindow(L"top");
    UniqueWindow a = CreateChildWindow(top.get(), L"A");
    UniqueWindow b = CreateChildWindow(a.get(), L"B");
    UniqueWindow c = CreateChildWindow(b.get(), L"C");
    UniqueWindow d = CreateChildWindow(top.get(), L"D");
    const LONG before = WindowObjectCount;
    const ComPtr<IScreenWindowInfo> object = ObjectFor(top.get());
    // A window k levels down is held by 2^(k-1) objects: A and D once, B twice, C four times.
    EXPECT_EQ(before + 1 + 1 + 1 + 2 + 4, WindowObjectCount);
    EXPECT_EQ(3, Count(object.get())) << "the highest index, not the count";
    ExpectHoldsWhatThePlatformReports(object.get());

    // A window without children: one empty slot 0, nothing beyond it.
    const ComPtr<IScreenWindowInfo> leaf = ObjectFor(c.get());
    EXPECT_FALSE(HasChildren(leaf.get()));
    EXPECT_EQ(0, Count(leaf.get()));
    EXPECT_FALSE(ChildOf(leaf.get(), 0));
    for (const LONG index : {1L, -1L}) {
        IScreenWindowInfo* child = reinterpret_cast<IScreenWindowInfo*>(0x1);
        EXPECT_EQ(kErrorSubscriptOutOfRange, leaf->get_GetChildObject(index, &child)) << index;
        EXPECT_EQ(nullptr, child);
    }
}

TEST(ScreenWindowInfoTest, FreeMeAndReleaseBringTheCounterBack)
{
    UniqueWindow top = CreateTopWindow(L"top");
    UniqueWindow a = CreateChildWindow(top.get());
    UniqueWindow b = CreateChildWindow(a.get());
    const LONG before = WindowObjectCount;
    ComPtr<IScreenWindowInfo> object = ObjectFor(top.get()); // top: A, B; A: B
    ASSERT_EQ(before + 4, WindowObjectCount);
    EXPECT_EQ(S_OK, object->FreeMe());
    EXPECT_EQ(before + 1, WindowObjectCount);
    EXPECT_TRUE(HasChildren(object.get()));
    EXPECT_EQ(1, Count(object.get()));
    for (LONG i = 0; i <= 1; ++i) EXPECT_FALSE(ChildOf(object.get(), i)) << "slot " << i;
    object.reset();
    EXPECT_EQ(before, WindowObjectCount);

    // Released without FreeMe, a child held elsewhere keeps its own subtree until it goes too.
    object = ObjectFor(top.get());
    ComPtr<IScreenWindowInfo> heldOutside = ChildOf(object.get(), 0);
    object.reset();
    EXPECT_EQ(before + 2, WindowObjectCount);
    heldOutside.reset();
    EXPECT_EQ(before, WindowObjectCount);
}

std::wstring Text(HRESULT (STDMETHODCALLTYPE IScreenWindowInfo::*getter)(BSTR*), IScreenWindowInfo* object)
{
    BSTR text = nullptr;
    EXPECT_EQ(S_OK, (object->*getter)(&text));
    std::wstring result(text ? text : L"", SysStringLen(text));
    SysFreeString(text);
    return result;
}

// What a caption comes back as after a round trip through the ANSI code page, by the platform.
std::wstring AnsiRendering(const std::wstring& text)
{
    char ansi[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    wchar_t wide[1024] = {};
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 1024);
    return wide;
}

TEST(ScreenWindowInfoTest, TextsAreReadAfreshThroughTheAnsiCodePageAndCutAt254Bytes)
{
    UniqueWindow top = CreateTopWindow(L"first");
    const ComPtr<IScreenWindowInfo> object = ObjectFor(top.get());
    EXPECT_EQ(TestWindowClass(), Text(&IScreenWindowInfo::get_ClassName, object.get()));
    const std::wstring foreign = L"A\x03A9\x0416\x6F22Z"; // Greek, Cyrillic, CJK: no ANSI page has all
    std::wstring longCaption;
    for (int i = 0; i < 300; ++i) longCaption += static_cast<wchar_t>(L'a' + i % 26);
    for (const auto& [caption, expected] : {std::pair{std::wstring(L"first"), std::wstring(L"first")},
                                            std::pair{longCaption, longCaption.substr(0, 254)},
                                            std::pair{foreign, AnsiRendering(foreign)}}) {
        SetWindowTextW(top.get(), caption.c_str());
        EXPECT_EQ(expected, Text(&IScreenWindowInfo::get_Caption, object.get()));
    }
    if (GetACP() != CP_UTF8) {
        EXPECT_NE(foreign, AnsiRendering(foreign)) << "the test needs a lossy code page";
    }

    // A window gone before it is read: empty texts, no children.
    const LONG handle = HandleValue(top.get());
    top.reset();
    EXPECT_EQ(L"", Text(&IScreenWindowInfo::get_Caption, object.get()));
    const ComPtr<IScreenWindowInfo> gone = ObjectFor(nullptr);
    EXPECT_EQ(S_OK, gone->put_hWnd(handle));
    EXPECT_EQ(L"", Text(&IScreenWindowInfo::get_ClassName, gone.get()));
    EXPECT_FALSE(HasChildren(gone.get()));
}

std::vector<HWND> Siblings(HWND parent)
{
    std::vector<HWND> order;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        order.push_back(child);
    }
    return order;
}

TEST(ScreenWindowInfoTest, SwitchDisplayStateHidesAndShowsWithoutMovingOrReordering)
{
    UniqueWindow top = CreateTopWindow(L"switch", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    UniqueWindow above = CreateChildWindow(top.get(), L"above");
    UniqueWindow window = CreateChildWindow(top.get(), L"toggled");
    SetWindowPos(window.get(), HWND_BOTTOM, 40, 50, 210, 120, SWP_NOACTIVATE);
    const std::vector<HWND> order = Siblings(top.get());
    ASSERT_NE(window.get(), order.front()) << "only a window below a sibling shows a re-ordering";
    RECT before;
    GetWindowRect(window.get(), &before);
    const ComPtr<IScreenWindowInfo> object = ObjectFor(window.get());

    for (const bool visibleAfter : {false, true}) {
        VARIANT_BOOL result = VARIANT_TRUE;
        EXPECT_EQ(S_OK, object->SwitchDisplayState(&result));
        EXPECT_EQ(VARIANT_FALSE, result);
        EXPECT_EQ(visibleAfter, IsWindowVisible(window.get()) != FALSE);
        EXPECT_EQ(order, Siblings(top.get()));
    }
    RECT after;
    GetWindowRect(window.get(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
}

} // namespace
