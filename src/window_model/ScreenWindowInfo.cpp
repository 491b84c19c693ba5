// ScreenWindowInfo: COM plumbing, the window operations and the child-enumeration thunk.
#include "window_model/ScreenWindowInfo.h"

#include "platform/AnsiText.h"
#include "platform/Dispatch.h"
#include "platform/DispatchEntry.h"
#include "platform/RuntimeError.h"
#include "platform/UniqueVariant.h"

#include <oleauto.h>

#include <cstring>
#include <iterator>
#include <new>

// {612530A3-88A8-4408-967D-31572ED8C02D}
const IID IID_IScreenWindowInfo = {0x612530A3, 0x88A8, 0x4408, {0x96, 0x7D, 0x31, 0x57, 0x2E, 0xD8, 0xC0, 0x2D}};

LONG WindowObjectCount = 0;

namespace {
// push dword [esp+8]; push dword [esp+8]; lea eax,[esp-4]; push eax; push <object>;
// mov eax,<method>; call eax; mov eax,[esp-0Ch]; ret 8
constexpr DWORD kEnumThunkTemplate[8] = {
    0x082474FF, 0x082474FF, 0xFC24448D, 0x10006850, 0x00B80000, 0xFFAAAAAA, 0x24448BD0, 0x0008C2F4,
};
constexpr LONG kObjectPatchOffset = 14;
constexpr LONG kMethodPatchOffset = 19;
// Both text reads use a buffer of this many ANSI bytes, NUL included.
constexpr int kTextBufferSize = 255;

enum : DISPID {
    kDispClassName = 1,
    kDispHasChildWindow,
    kDispCaption,
    kDispFreeMe,
    kDispGetChildCount,
    kDispGetChildObject,
    kDispHWnd,
    kDispSwitchDisplayState,
};
} // namespace

const DispatchName ScreenWindowInfo::kDispatchNames[8] = {
    {L"ClassName", kDispClassName},         {L"HasChildWindow", kDispHasChildWindow},
    {L"Caption", kDispCaption},             {L"FreeMe", kDispFreeMe},
    {L"GetChildCount", kDispGetChildCount}, {L"GetChildObject", kDispGetChildObject},
    {L"hWnd", kDispHWnd},                   {L"SwitchDisplayState", kDispSwitchDisplayState},
};

namespace {
BSTR AllocateString(const std::wstring& text)
{
    BSTR result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (result == nullptr) RaiseError(kErrorOutOfMemory);
    return result;
}

LONG AddressOf(const void* pointer)
{
    return static_cast<LONG>(reinterpret_cast<INT_PTR>(pointer));
}
} // namespace

HRESULT ScreenWindowInfo::Create(IScreenWindowInfo** result) noexcept
{
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    ScreenWindowInfo* object = new (std::nothrow) ScreenWindowInfo();
    if (object == nullptr) return kErrorOutOfMemory;
    const HRESULT hr = object->Class_Initialize();
    if (FAILED(hr)) {
        object->Release();
        return hr;
    }
    *result = object;
    return S_OK;
}

HRESULT ScreenWindowInfo::Class_Initialize() noexcept
{
    return ExceptionBarrier([&] {
        m_children.resize(1);
        LONG ignored = 0;
        // As designed, creation goes on without a thunk; hWnd put then refuses to enumerate.
        (void)BuildEnumThunk(kEnumChildProcOrdinal, &ignored);
        m_childCount = -1;
        WindowObjectCount = CheckedAdd(WindowObjectCount, 1);
        m_counted = true;
    });
}

HRESULT ScreenWindowInfo::Class_Terminate() noexcept
{
    if (!m_counted) return S_OK;
    return ExceptionBarrier([&] {
        WindowObjectCount = CheckedSub(WindowObjectCount, 1);
        m_counted = false;
    });
}

HRESULT ScreenWindowInfo::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO*, UINT*) noexcept
{
    return ExceptionBarrier([&] {
        const DispatchArguments arguments(params);
        UniqueVariant value;
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        switch (id) {
        case kDispClassName:
            if (put) {
                const UniqueBstr copy(AllocateString(VariantToString(arguments.PutValue())));
                RaiseIfFailed(put_ClassName(copy.get()));
            } else {
                value->vt = VT_BSTR;
                RaiseIfFailed(get_ClassName(&value->bstrVal));
            }
            break;
        case kDispHasChildWindow:
            if (put) {
                RaiseIfFailed(put_HasChildWindow(VariantToBoolean(arguments.PutValue())));
            } else {
                value->vt = VT_BOOL;
                RaiseIfFailed(get_HasChildWindow(&value->boolVal));
            }
            break;
        case kDispCaption:
            value->vt = VT_BSTR;
            RaiseIfFailed(get_Caption(&value->bstrVal));
            break;
        case kDispFreeMe:
            RaiseIfFailed(FreeMe());
            break;
        case kDispGetChildCount:
            value->vt = VT_I4;
            RaiseIfFailed(get_GetChildCount(&value->lVal));
            break;
        case kDispGetChildObject: {
            arguments.RequireCount(1);
            IScreenWindowInfo* child = nullptr;
            RaiseIfFailed(get_GetChildObject(arguments.Long(0), &child));
            value->vt = VT_DISPATCH;
            value->pdispVal = child;
            break;
        }
        case kDispHWnd:
            if (put) {
                RaiseIfFailed(put_hWnd(VariantToLong(arguments.PutValue())));
            } else {
                value->vt = VT_I4;
                RaiseIfFailed(get_hWnd(&value->lVal));
            }
            break;
        case kDispSwitchDisplayState:
            value->vt = VT_BOOL;
            RaiseIfFailed(SwitchDisplayState(&value->boolVal));
            break;
        default:
            RaiseError(DISP_E_MEMBERNOTFOUND);
        }
        if (result != nullptr) *result = value.release();
    });
}

HRESULT ScreenWindowInfo::get_ClassName(BSTR* value) noexcept
{
    if (value == nullptr) return E_POINTER;
    *value = nullptr;
    return ExceptionBarrier([&] { *value = AllocateString(m_className); });
}

HRESULT ScreenWindowInfo::put_ClassName(BSTR value) noexcept
{
    return ExceptionBarrier([&] { m_className.assign(value ? value : L"", SysStringLen(value)); });
}

HRESULT ScreenWindowInfo::get_HasChildWindow(VARIANT_BOOL* value) noexcept
{
    if (value == nullptr) return E_POINTER;
    *value = m_hasChildWindow;
    return S_OK;
}

HRESULT ScreenWindowInfo::put_HasChildWindow(VARIANT_BOOL value) noexcept
{
    m_hasChildWindow = value;
    return S_OK;
}

HRESULT ScreenWindowInfo::get_Caption(BSTR* value) noexcept
{
    if (value == nullptr) return E_POINTER;
    *value = nullptr;
    const ComPtr<IScreenWindowInfo> keepAlive(this);
    return ExceptionBarrier([&] {
        LONG handle = 0;
        RaiseIfFailed(get_hWnd(&handle));
        char text[kTextBufferSize] = {};
        GetWindowTextA(reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)), text, kTextBufferSize);
        *value = AllocateString(AnsiBufferToWide(text, sizeof text));
    });
}

HRESULT ScreenWindowInfo::FreeMe() noexcept
{
    const ComPtr<IScreenWindowInfo> keepAlive(this);
    if (!m_hasChildWindow) return S_OK;
    return ExceptionBarrier([&] {
        const size_t count = m_children.size();
        for (size_t i = 0; i < count; ++i) {
            // A slot emptied by an earlier FreeMe has nothing left to release.
            if (m_children[i]) RaiseIfFailed(m_children[i]->FreeMe());
            m_children[i].reset();
        }
    });
}

HRESULT ScreenWindowInfo::get_GetChildCount(LONG* value) noexcept
{
    if (value == nullptr) return E_POINTER;
    const ComPtr<IScreenWindowInfo> keepAlive(this);
    *value = m_hasChildWindow ? static_cast<LONG>(m_children.size()) - 1 : 0;
    return S_OK;
}

HRESULT ScreenWindowInfo::get_GetChildObject(LONG ObjectIndex, IScreenWindowInfo** value) noexcept
{
    if (value == nullptr) return E_POINTER;
    *value = nullptr;
    const ComPtr<IScreenWindowInfo> keepAlive(this);
    if (ObjectIndex < 0 || static_cast<size_t>(ObjectIndex) >= m_children.size()) return kErrorSubscriptOutOfRange;
    *value = ComPtr<IScreenWindowInfo>(m_children[static_cast<size_t>(ObjectIndex)]).release();
    return S_OK;
}

HRESULT ScreenWindowInfo::get_hWnd(LONG* value) noexcept
{
    if (value == nullptr) return E_POINTER;
    const ComPtr<IScreenWindowInfo> keepAlive(this);
    *value = m_windowHandle;
    return S_OK;
}

HRESULT ScreenWindowInfo::put_hWnd(LONG vNewValue) noexcept
{
    // The thunk holds no reference: this one keeps the object alive while the platform calls it.
    const ComPtr<IScreenWindowInfo> keepAlive(this);
    return ExceptionBarrier([&] {
        m_windowHandle = vNewValue;
        const HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(vNewValue));
        char className[kTextBufferSize] = {};
        GetClassNameA(window, className, kTextBufferSize);
        m_className = AnsiBufferToWide(className, sizeof className);
        if (!m_enumThunkReady) RaiseError(kErrorSubscriptOutOfRange);
        m_enumFailure = S_OK;
        EnumChildWindows(window, reinterpret_cast<WNDENUMPROC>(m_enumThunk.get()), 0);
        // A child that failed to build stopped the enumeration; the failure is this call's.
        RaiseIfFailed(std::exchange(m_enumFailure, S_OK));
    });
}

HRESULT ScreenWindowInfo::SwitchDisplayState(VARIANT_BOOL* value) noexcept
{
    if (value == nullptr) return E_POINTER;
    const ComPtr<IScreenWindowInfo> keepAlive(this);
    return ExceptionBarrier([&] {
        LONG handle = 0;
        RaiseIfFailed(get_hWnd(&handle));
        const bool visible = IsWindowVisible(reinterpret_cast<HWND>(static_cast<INT_PTR>(handle))) != FALSE;
        RaiseIfFailed(get_hWnd(&handle));
        const UINT show = visible ? SWP_HIDEWINDOW : SWP_SHOWWINDOW;
        SetWindowPos(reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)), nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | show);
        *value = VARIANT_FALSE;
    });
}

HRESULT ScreenWindowInfo::EnumChildProc(LONG* callbackResult, LONG hwnd, LONG) noexcept
{
    // The result word is this call's own argument slot on the thunk's stack: keep the pointer
    // in a local and store through it last.
    LONG* const resultWord = callbackResult;
    const HRESULT hr = ExceptionBarrier([&] { AppendChild(hwnd); });
    if (FAILED(hr)) {
        // Stop the enumeration rather than carry on with a subtree that lacks a window.
        m_enumFailure = hr;
        *resultWord = 0;
        return hr;
    }
    *resultWord = 1;
    return S_OK;
}

void ScreenWindowInfo::AppendChild(LONG hwnd)
{
    const LONG index = CheckedAdd(m_childCount, 1);
    m_children.resize(static_cast<size_t>(index) + 1);
    m_childCount = index;
    ComPtr<IScreenWindowInfo> child;
    RaiseIfFailed(Create(child.put()));
    m_children[static_cast<size_t>(index)] = child;
    RaiseIfFailed(child->put_hWnd(hwnd));
    m_hasChildWindow = VARIANT_TRUE;
}

HRESULT ScreenWindowInfo::BuildEnumThunk(LONG Ordinal, LONG* address) noexcept
{
    if (address == nullptr) return E_POINTER;
    *address = 0;
    return ExceptionBarrier([&] {
        BuildThunkCode(Ordinal);
        *address = AddressOf(m_enumThunk.get());
    });
}

void ScreenWindowInfo::BuildThunkCode(LONG ordinal)
{
    const LONG self = AddressOf(static_cast<IScreenWindowInfo*>(this));
    const LONG method = ReadDispatchEntry(self, ordinal);

    m_enumThunkReady = false;
    if (!m_enumThunk) m_enumThunk.reset(ThunkAllocator::Instance().Allocate(kEnumThunkBytes));
    auto* const words = static_cast<DWORD*>(m_enumThunk.get());
    for (size_t i = 0; i < std::size(kEnumThunkTemplate); ++i) words[i] = kEnumThunkTemplate[i];
    const LONG objectPatch = CheckedAdd(AddressOf(&words[3]), 2);
    const LONG methodPatch = CheckedAdd(AddressOf(&words[4]), 3);
    static_assert(3 * 4 + 2 == kObjectPatchOffset && 4 * 4 + 3 == kMethodPatchOffset, "patch points");
    static_assert(sizeof kEnumThunkTemplate == kEnumThunkBytes, "thunk size");
    std::memcpy(reinterpret_cast<void*>(static_cast<INT_PTR>(objectPatch)), &self, sizeof self);
    std::memcpy(reinterpret_cast<void*>(static_cast<INT_PTR>(methodPatch)), &method, sizeof method);
    ThunkAllocator::Publish(words, kEnumThunkBytes);
    m_enumThunkReady = true;
}
