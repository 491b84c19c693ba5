// The window object on real windows: child trees, counting, release, texts, display state.
#include "platform/AnsiText.h"
#include "platform/RuntimeError.h"
#include "support/TestWindows.h"
#include "window_model/ScreenWindowInfo.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace {

ComPtr<IScreenWindowInfo> NewObject()
{
    ComPtr<IScreenWindowInfo> object;
    EXPECT_EQ(S_OK, ScreenWindowInfo::Create(object.put()));
    return object;
}

ComPtr<IScreenWindowInfo> ObjectFor(HWND window)
{
    ComPtr<IScreenWindowInfo> object = NewObject();
    EXPECT_EQ(S_OK, object->put_hWnd(HandleValue(window)));
    return object;
}

std::wstring TakeString(BSTR text)
{
    std::wstring result(text ? text : L"", SysStringLen(text));
    SysFreeString(text);
    return result;
}

std::wstring CaptionOf(IScreenWindowInfo* object)
{
    BSTR text = nullptr;
    EXPECT_EQ(S_OK, object->get_Caption(&text));
    return TakeString(text);
}

std::wstring ClassNameOf(IScreenWindowInfo* object)
{
    BSTR text = nullptr;
    EXPECT_EQ(S_OK, object->get_ClassName(&text));
    return TakeString(text);
}

LONG ChildCountOf(IScreenWindowInfo* object)
{
    LONG count = -99;
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

LONG HandleOf(IScreenWindowInfo* object)
{
    LONG handle = 0;
    EXPECT_EQ(S_OK, object->get_hWnd(&handle));
    return handle;
}

// The handles of an object's children, in slot order.
std::vector<LONG> ChildHandles(IScreenWindowInfo* object)
{
    std::vector<LONG> handles;
    if (!HasChildren(object)) return handles;
    for (LONG i = 0; i <= ChildCountOf(object); ++i) handles.push_back(HandleOf(ChildOf(object, i).get()));
    return handles;
}

TEST(ScreenWindowInfoTest, WindowWithoutChildrenHasOneEmptySlot)
{
    UniqueWindow top = CreateTopWindow(L"lonely");
    const ComPtr<IScreenWindowInfo> object = ObjectFor(top.get());

    EXPECT_FALSE(HasChildren(object.get()));
    EXPECT_EQ(0, ChildCountOf(object.get()));
    EXPECT_FALSE(ChildOf(object.get(), 0)) << "slot 0 exists and is empty";

    IScreenWindowInfo* child = reinterpret_cast<IScreenWindowInfo*>(0x1);
    EXPECT_EQ(kErrorSubscriptOutOfRange, object->get_GetChildObject(1, &child));
    EXPECT_EQ(nullptr, child);
    child = reinterpret_cast<IScreenWindowInfo*>(0x1);
    EXPECT_EQ(kErrorSubscriptOutOfRange, object->get_GetChildObject(-1, &child));
    EXPECT_EQ(nullptr, child);

    const LONG before = WindowObjectCount;
    EXPECT_EQ(S_OK, object->FreeMe());
    EXPECT_EQ(before, WindowObjectCount);
}

BOOL CALLBACK CollectHandle(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<LONG>*>(list)->push_back(HandleValue(window));
    return TRUE;
}

TEST(ScreenWindowInfoTest, ChildrenComeInPlatformOrderWithHighestIndexAsCount)
{
    UniqueWindow top = CreateTopWindow(L"parent");
    UniqueWindow only = CreateChildWindow(top.get());
    {
        const ComPtr<IScreenWindowInfo> object = ObjectFor(top.get());
        EXPECT_TRUE(HasChildren(object.get()));
        EXPECT_EQ(0, ChildCountOf(object.get()));
        EXPECT_EQ(HandleValue(only.get()), HandleOf(ChildOf(object.get(), 0).get()));
    }
    UniqueWindow second = CreateChildWindow(top.get());
    UniqueWindow third = CreateChildWindow(top.get());

    std::vector<LONG> platformOrder;
    EnumChildWindows(top.get(), CollectHandle, reinterpret_cast<LPARAM>(&platformOrder));
    ASSERT_EQ(3u, platformOrder.size());

    const ComPtr<IScreenWindowInfo> object = ObjectFor(top.get());
    EXPECT_EQ(2, ChildCountOf(object.get()));
    EXPECT_EQ(platformOrder, ChildHandles(object.get()));
}

TEST(ScreenWindowInfoTest, ChainOfThreeBuildsEightObjectsByTheDuplicationRule)
{
    UniqueWindow top = CreateTopWindow(L"top");
    UniqueWindow a = CreateChildWindow(top.get(), L"A");
    UniqueWindow b = CreateChildWindow(a.get(), L"B");
    UniqueWindow c = CreateChildWindow(b.get(), L"C");

    const LONG before = WindowObjectCount;
    ComPtr<IScreenWindowInfo> object = ObjectFor(top.get());
    EXPECT_EQ(before + 8, WindowObjectCount);

    // top holds A, B, C; A holds B, C; each B holds C.
    EXPECT_EQ((std::vector<LONG>{HandleValue(a.get()), HandleValue(b.get()), HandleValue(c.get())}),
              ChildHandles(object.get()));
    const ComPtr<IScreenWindowInfo> objectA = ChildOf(object.get(), 0);
    EXPECT_EQ((std::vector<LONG>{HandleValue(b.get()), HandleValue(c.get())}), ChildHandles(objectA.get()));
    EXPECT_EQ(std::vector<LONG>{HandleValue(c.get())}, ChildHandles(ChildOf(objectA.get(), 0).get()));
    EXPECT_EQ(std::vector<LONG>{HandleValue(c.get())}, ChildHandles(ChildOf(object.get(), 1).get()));
    EXPECT_EQ(std::vector<LONG>{}, ChildHandles(ChildOf(object.get(), 2).get()));
}

TEST(ScreenWindowInfoTest, FreeMeReleasesTheSubtreeAndKeepsTheShape)
{
    UniqueWindow top = CreateTopWindow(L"top");
    UniqueWindow a = CreateChildWindow(top.get());
    UniqueWindow b = CreateChildWindow(a.get());
    UniqueWindow d = CreateChildWindow(top.get());

    const LONG before = WindowObjectCount;
    ComPtr<IScreenWindowInfo> object = ObjectFor(top.get());
    // top: A, B, D; A: B  -> 1 + 3 + 1
    ASSERT_EQ(before + 5, WindowObjectCount);

    EXPECT_EQ(S_OK, object->FreeMe());
    EXPECT_EQ(before + 1, WindowObjectCount);
    EXPECT_TRUE(HasChildren(object.get()));
    EXPECT_EQ(2, ChildCountOf(object.get()));
    for (LONG i = 0; i <= 2; ++i) EXPECT_FALSE(ChildOf(object.get(), i)) << "slot " << i;

    object.reset();
    EXPECT_EQ(before, WindowObjectCount);
}

TEST(ScreenWindowInfoTest, ReleasingTheRootWithoutFreeMeReleasesTheSubtree)
{
    UniqueWindow top = CreateTopWindow(L"top");
    UniqueWindow a = CreateChildWindow(top.get());
    UniqueWindow b = CreateChildWindow(a.get());

    const LONG before = WindowObjectCount;
    ComPtr<IScreenWindowInfo> object = ObjectFor(top.get());
    ComPtr<IScreenWindowInfo> childHeldOutside = ChildOf(object.get(), 0);
    ASSERT_EQ(before + 4, WindowObjectCount);

    object.reset();
    // The child handed out by GetChildObject survives with its own subtree.
    EXPECT_EQ(before + 2, WindowObjectCount);
    EXPECT_EQ(HandleValue(a.get()), HandleOf(childHeldOutside.get()));
    childHeldOutside.reset();
    EXPECT_EQ(before, WindowObjectCount);
}

TEST(ScreenWindowInfoTest, SettingHwndAgainReplacesClassAndAppendsChildren)
{
    UniqueWindow first = CreateTopWindow(L"first");
    UniqueWindow firstChild = CreateChildWindow(first.get());
    UniqueWindow button = UniqueWindow(CreateWindowExW(0, L"BUTTON", L"second", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                                       nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    UniqueWindow buttonChild = CreateChildWindow(button.get());

    ComPtr<IScreenWindowInfo> object = ObjectFor(first.get());
    EXPECT_EQ(std::wstring(TestWindowClass()), ClassNameOf(object.get()));
    EXPECT_EQ(S_OK, object->put_hWnd(HandleValue(button.get())));
    EXPECT_EQ(L"Button", ClassNameOf(object.get()));
    EXPECT_EQ((std::vector<LONG>{HandleValue(firstChild.get()), HandleValue(buttonChild.get())}),
              ChildHandles(object.get()));
}

TEST(ScreenWindowInfoTest, CaptionIsReadAfreshAndCutAt254AnsiBytes)
{
    UniqueWindow top = CreateTopWindow(L"before");
    const ComPtr<IScreenWindowInfo> object = ObjectFor(top.get());
    EXPECT_EQ(L"before", CaptionOf(object.get()));
    SetWindowTextW(top.get(), L"after");
    EXPECT_EQ(L"after", CaptionOf(object.get()));

    std::wstring longCaption;
    for (int i = 0; i < 300; ++i) longCaption += static_cast<wchar_t>(L'a' + i % 26);
    SetWindowTextW(top.get(), longCaption.c_str());
    EXPECT_EQ(longCaption.substr(0, 254), CaptionOf(object.get()));
}

TEST(ScreenWindowInfoTest, CaptionOutsideTheAnsiCodePageComesBackAsItsAnsiRendering)
{
    // Greek, Cyrillic and CJK: at least some of these are outside any single ANSI code page.
    const std::wstring caption = L"A\x03A9\x0416\x6F22Z";
    UniqueWindow top = CreateTopWindow(caption);
    const ComPtr<IScreenWindowInfo> object = ObjectFor(top.get());

    const std::string ansi = WideToAnsi(caption);
    const std::wstring expected = AnsiBufferToWide(ansi.c_str(), ansi.size() + 1);
    EXPECT_EQ(expected, CaptionOf(object.get()));
    if (GetACP() != CP_UTF8) {
        EXPECT_NE(caption, CaptionOf(object.get())) << "the text went through the ANSI code page";
    }
}

TEST(ScreenWindowInfoTest, DestroyedWindowGivesEmptyTextsAndNoChildren)
{
    UniqueWindow top = CreateTopWindow(L"doomed");
    const LONG handle = HandleValue(top.get());
    top.reset();

    const LONG before = WindowObjectCount;
    const ComPtr<IScreenWindowInfo> object = NewObject();
    EXPECT_EQ(S_OK, object->put_hWnd(handle));
    EXPECT_EQ(L"", ClassNameOf(object.get()));
    EXPECT_EQ(L"", CaptionOf(object.get()));
    EXPECT_FALSE(HasChildren(object.get()));
    EXPECT_EQ(before + 1, WindowObjectCount);
}

bool IsAbove(HWND window, HWND other)
{
    for (HWND next = GetWindow(window, GW_HWNDNEXT); next != nullptr; next = GetWindow(next, GW_HWNDNEXT)) {
        if (next == other) return true;
    }
    return false;
}

TEST(ScreenWindowInfoTest, SwitchDisplayStateTogglesVisibilityOnly)
{
    // Sibling child windows: their order is not disturbed by activation, as top-level ones are.
    UniqueWindow top = CreateTopWindow(L"switch", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    UniqueWindow window = CreateChildWindow(top.get(), L"toggled");
    UniqueWindow sibling = CreateChildWindow(top.get(), L"sibling");
    SetWindowPos(window.get(), nullptr, 40, 50, 210, 120, SWP_NOZORDER | SWP_NOACTIVATE);
    const ComPtr<IScreenWindowInfo> object = ObjectFor(window.get());

    RECT before;
    GetWindowRect(window.get(), &before);
    const bool aboveSiblingBefore = IsAbove(window.get(), sibling.get());

    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(S_OK, object->SwitchDisplayState(&result));
    EXPECT_EQ(VARIANT_FALSE, result);
    EXPECT_FALSE(IsWindowVisible(window.get()));

    result = VARIANT_TRUE;
    EXPECT_EQ(S_OK, object->SwitchDisplayState(&result));
    EXPECT_EQ(VARIANT_FALSE, result);
    EXPECT_TRUE(IsWindowVisible(window.get()));

    RECT after;
    GetWindowRect(window.get(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(aboveSiblingBefore, IsAbove(window.get(), sibling.get()));
}

TEST(ScreenWindowInfoTest, CounterOverflowFailsCreationAndLeavesTheCounter)
{
    const LONG saved = WindowObjectCount;
    WindowObjectCount = 2147483647;
    IScreenWindowInfo* object = reinterpret_cast<IScreenWindowInfo*>(0x1);
    EXPECT_EQ(kErrorOverflow, ScreenWindowInfo::Create(&object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(2147483647, WindowObjectCount);
    WindowObjectCount = saved;
}

TEST(ScreenWindowInfoTest, LateBoundNamesReachTheSameOperations)
{
    UniqueWindow top = CreateTopWindow(L"late bound");
    UniqueWindow child = CreateChildWindow(top.get());
    const ComPtr<IScreenWindowInfo> object = ObjectFor(top.get());

    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put())));
    auto idOf = [&](const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) << name;
        return id;
    };

    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    ASSERT_EQ(S_OK, dispatch->Invoke(idOf(L"Caption"), IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                     nullptr));
    EXPECT_EQ(VT_BSTR, result.vt);
    EXPECT_STREQ(L"late bound", result.bstrVal);
    VariantClear(&result);

    ASSERT_EQ(S_OK, dispatch->Invoke(idOf(L"hWnd"), IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                     nullptr));
    EXPECT_EQ(HandleValue(top.get()), result.lVal);

    VARIANT index;
    VariantInit(&index);
    index.vt = VT_I4;
    index.lVal = 0;
    DISPPARAMS one = {&index, nullptr, 1, 0};
    ASSERT_EQ(S_OK, dispatch->Invoke(idOf(L"GetChildObject"), IID_NULL, 0, DISPATCH_PROPERTYGET, &one, &result,
                                     nullptr, nullptr));
    ASSERT_EQ(VT_DISPATCH, result.vt);
    ComPtr<IScreenWindowInfo> fetched;
    ASSERT_EQ(S_OK, result.pdispVal->QueryInterface(IID_IScreenWindowInfo, reinterpret_cast<void**>(fetched.put())));
    EXPECT_EQ(HandleValue(child.get()), HandleOf(fetched.get()));
    VariantClear(&result);

    index.lVal = 5;
    EXPECT_EQ(kErrorSubscriptOutOfRange, dispatch->Invoke(idOf(L"GetChildObject"), IID_NULL, 0,
                                                          DISPATCH_PROPERTYGET, &one, &result, nullptr, nullptr));

    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"EnumChildProc")};
    DISPID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id))
        << "private operations have no late-bound name";
}

} // namespace
