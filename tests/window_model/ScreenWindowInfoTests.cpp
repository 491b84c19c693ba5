// The window object on real windows: its child-enumeration thunk (bytes, entry, calling
// convention), the objects a child tree multiplies into, release, texts and the display switch.
#include "platform/RuntimeError.h"
#include "support/TestWindows.h"
#include "support/ThunkCall.h"
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

void* Entry(IScreenWindowInfo* object, int slot)
{
    return (*reinterpret_cast<void* const* const*>(object))[slot];
}

LONG BuildThunk(IScreenWindowInfo* object, LONG ordinal, HRESULT expected = S_OK)
{
    using BuildEnumThunkEntry = HRESULT(__stdcall*)(IScreenWindowInfo*, LONG Ordinal, LONG* address);
    LONG address = 123;
    EXPECT_EQ(expected, reinterpret_cast<BuildEnumThunkEntry>(Entry(object, 19))(object, ordinal, &address));
    return address;
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

TEST(EnumThunkTest, CodeIsTheTemplateWithTheObjectAndTheEntryTheOrdinalChooses)
{
    const ComPtr<IScreenWindowInfo> owner = ObjectFor(nullptr);
    IScreenWindowInfo* const object = owner.get();
    const LONG first = BuildThunk(object, kEnumChildProcOrdinal);
    // Ordinal counts the class's own entries from 1: 12 is EnumChildProc in entry 18, 1 is entry 7.
    for (const auto& [ordinal, entry] : {std::pair{kEnumChildProcOrdinal, 18}, std::pair{1L, 7}}) {
        const auto* code = reinterpret_cast<const uint8_t*>(BuildThunk(object, ordinal));
        EXPECT_EQ(first, reinterpret_cast<LONG>(code)) << "the code lives in the object, rewritten in place";
        std::vector<uint8_t> expected(std::begin(kTemplate), std::end(kTemplate));
        std::memcpy(&expected[14], &object, 4);
        std::memcpy(&expected[19], &(*reinterpret_cast<void* const* const*>(object))[entry], 4);
        EXPECT_EQ(expected, std::vector<uint8_t>(code, code + 32)) << "ordinal " << ordinal;
    }
    EXPECT_EQ(0, BuildThunk(object, LONG_MIN, kErrorOverflow));
}

TEST(EnumThunkTest, CallbackReturnsTheResultWordKeepingTheCallersRegistersAndRemovesTwoArguments)
{
    UniqueWindow top = CreateTopWindow(L"callback");
    UniqueWindow child = CreateChildWindow(top.get());
    const ComPtr<IScreenWindowInfo> object = ObjectFor(nullptr);
    const ThunkCall call = CallThunk(BuildThunk(object.get(), kEnumChildProcOrdinal), HandleValue(child.get()), 77, 0, 0);
    EXPECT_EQ(1, call.result);
    EXPECT_EQ(8, call.stackLeft) << "of four arguments pushed, the callback takes its two";
    EXPECT_TRUE(call.registersKept);
    EXPECT_TRUE(HasChildren(object.get()));
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
    // Every object holds every window beneath its own, so a window k levels down is held by
    // 2^(k-1) objects: A and D once, B twice, C four times.
    EXPECT_EQ(before + 1 + 1 + 1 + 2 + 4, WindowObjectCount);
    EXPECT_EQ(3, Count(object.get())) << "the highest index, not the count";

    // A window without children: one empty slot 0, nothing beyond it.
    const ComPtr<IScreenWindowInfo> leaf = ObjectFor(c.get());
    EXPECT_FALSE(HasChildren(leaf.get()) || Count(leaf.get()) != 0 || ChildOf(leaf.get(), 0));
    IScreenWindowInfo* child = reinterpret_cast<IScreenWindowInfo*>(0x1);
    EXPECT_EQ(kErrorSubscriptOutOfRange, leaf->get_GetChildObject(1, &child));
    EXPECT_EQ(nullptr, child);
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
    EXPECT_FALSE(ChildOf(object.get(), 0) || ChildOf(object.get(), 1)) << "the slots stay, empty";
    object.reset();
    EXPECT_EQ(before, WindowObjectCount);

    ObjectFor(top.get()).reset(); // released without FreeMe
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

// What a text comes back as after a round trip through the ANSI code page, by the platform.
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
    if (GetACP() != CP_UTF8) {
        EXPECT_NE(foreign, AnsiRendering(foreign)) << "the test needs a lossy code page";
    }
    std::wstring longCaption;
    for (int i = 0; i < 300; ++i) longCaption += static_cast<wchar_t>(L'a' + i % 26);
    for (const auto& [caption, expected] : {std::pair{std::wstring(L"first"), std::wstring(L"first")},
                                            std::pair{longCaption, longCaption.substr(0, 254)},
                                            std::pair{foreign, AnsiRendering(foreign)}}) {
        SetWindowTextW(top.get(), caption.c_str());
        EXPECT_EQ(expected, Text(&IScreenWindowInfo::get_Caption, object.get()));
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

TEST(ScreenWindowInfoTest, SwitchDisplayStateHidesAndShowsWithoutMovingOrReordering)
{
    UniqueWindow top = CreateTopWindow(L"switch", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    UniqueWindow above = CreateChildWindow(top.get(), L"above");
    UniqueWindow window = CreateChildWindow(top.get(), L"toggled");
    // Below a sibling: moved to the top, it would show.
    SetWindowPos(window.get(), HWND_BOTTOM, 40, 50, 210, 120, SWP_NOACTIVATE);
    ASSERT_EQ(above.get(), GetWindow(window.get(), GW_HWNDPREV));
    RECT before;
    GetWindowRect(window.get(), &before);
    const ComPtr<IScreenWindowInfo> object = ObjectFor(window.get());
    for (const bool visibleAfter : {false, true}) {
        VARIANT_BOOL result = VARIANT_TRUE;
        EXPECT_EQ(S_OK, object->SwitchDisplayState(&result));
        EXPECT_EQ(VARIANT_FALSE, result);
        EXPECT_EQ(visibleAfter, IsWindowVisible(window.get()) != FALSE);
        EXPECT_EQ(above.get(), GetWindow(window.get(), GW_HWNDPREV)) << "re-ordered";
        RECT after;
        GetWindowRect(window.get(), &after);
        EXPECT_TRUE(EqualRect(&before, &after)) << "moved";
    }
}

} // namespace
