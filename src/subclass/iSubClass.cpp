// iSubClass: COM plumbing, hooking and unhooking, the event, and the window-procedure thunk.
#include "subclass/iSubClass.h"

#include "platform/ComPtr.h"
#include "platform/Dispatch.h"
#include "platform/DispatchEntry.h"
#include "platform/RuntimeError.h"
#include "subclass/WndProcThunk.h"

#include <oleauto.h>

#include <cstring>
#include <iterator>
#include <new>

// {0942D9C8-BAA7-426B-B25A-93BA1FEB28CD}
const IID IID_IiSubClass = {0x0942D9C8, 0xBAA7, 0x426B, {0xB2, 0x5A, 0x93, 0xBA, 0x1F, 0xEB, 0x28, 0xCD}};

namespace {
static_assert(sizeof kWndProcThunkTemplate == kWndProcThunkBytes, "template size");
static_assert(kGuardWordPatch == 7 * 4 && kPreviousProcPatch == 22 * 4, "word-aligned guarded patches");

enum : DISPID {
    kDispCallDefaultWindowProc = 1,
    kDispSetMsgHook,
    kDispSetMsgUnHook,
};
} // namespace

const DispatchName iSubClass::kDispatchNames[3] = {
    {L"CallDefaultWindowProc", kDispCallDefaultWindowProc},
    {L"SetMsgHook", kDispSetMsgHook},
    {L"SetMsgUnHook", kDispSetMsgUnHook},
};

namespace {
using BuildWndProcThunkEntry = HRESULT(STDMETHODCALLTYPE*)(IiSubClass* object, LONG previous, LONG Ordinal,
                                                           LONG* address);

LONG AddressOf(const void* pointer)
{
    return static_cast<LONG>(reinterpret_cast<INT_PTR>(pointer));
}

HWND WindowOf(LONG handle)
{
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(handle));
}
} // namespace

HRESULT iSubClass::Create(iSubClass** result) noexcept
{
    if (result == nullptr) return E_POINTER;
    *result = new (std::nothrow) iSubClass();
    return *result != nullptr ? S_OK : kErrorOutOfMemory;
}

HRESULT iSubClass::AdviseGetWindowMessage(GetWindowMessageHandler handler) noexcept
{
    return ExceptionBarrier([&] {
        std::shared_ptr<const GetWindowMessageHandler> attached;
        if (handler) attached = std::make_shared<const GetWindowMessageHandler>(std::move(handler));
        m_getWindowMessage = std::move(attached);
    });
}

HRESULT iSubClass::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                          UINT*) noexcept
{
    return ExceptionBarrier([&] {
        const DispatchArguments arguments(params);
        VARIANT value;
        VariantInit(&value);
        switch (id) {
        case kDispCallDefaultWindowProc:
            arguments.RequireCount(4);
            value.vt = VT_I4;
            RaiseIfFailed(CallDefaultWindowProc(arguments.Long(0), arguments.Long(1), arguments.Long(2),
                                                arguments.Long(3), &value.lVal));
            break;
        case kDispSetMsgHook:
            arguments.RequireCount(1);
            value.vt = VT_I4;
            RaiseIfFailed(SetMsgHook(arguments.Long(0), &value.lVal));
            break;
        case kDispSetMsgUnHook:
            arguments.RequireCount(0);
            RaiseIfFailed(SetMsgUnHook());
            break;
        default:
            RaiseError(DISP_E_MEMBERNOTFOUND);
        }
        if (result != nullptr) *result = value;
    });
}

HRESULT iSubClass::CallDefaultWindowProc(LONG cHwnd, LONG Message, LONG wParam, LONG lParam, LONG* result) noexcept
{
    if (result == nullptr) return E_POINTER;
    const ComPtr<IiSubClass> keepAlive(this);
    *result = static_cast<LONG>(CallWindowProcA(reinterpret_cast<WNDPROC>(static_cast<INT_PTR>(OldWndProc)),
                                                WindowOf(cHwnd), static_cast<UINT>(Message),
                                                static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
    return S_OK;
}

HRESULT iSubClass::SetMsgHook(LONG cHwnd, LONG* result) noexcept
{
    if (result == nullptr) return E_POINTER;
    *result = 0;
    const ComPtr<IiSubClass> keepAlive(this);
    HookedHwnd = cHwnd;
    OldWndProc = GetWindowLongA(WindowOf(cHwnd), GWL_WNDPROC);

    // The builder is reached through this object's own table, the way the generated code
    // reaches the object.
    IiSubClass* const self = this;
    const BuildWndProcThunkEntry* const table = *reinterpret_cast<BuildWndProcThunkEntry* const*>(self);
    LONG thunk = 0;
    const HRESULT hr = table[kBuildWndProcThunkSlot](self, OldWndProc, kOnWindowMessageOrdinal, &thunk);
    // A thunk that is not complete must never become a window procedure.
    if (FAILED(hr)) return hr;

    // On a window that is not there (or not ours to change) this fails and nothing is hooked.
    (void)SetWindowLongA(WindowOf(cHwnd), GWL_WNDPROC, thunk);
    *result = OldWndProc;
    return S_OK;
}

HRESULT iSubClass::SetMsgUnHook() noexcept
{
    const ComPtr<IiSubClass> keepAlive(this);
    // The hook stays remembered: the same window can be hooked again or unhooked twice.
    (void)SetWindowLongA(WindowOf(HookedHwnd), GWL_WNDPROC, OldWndProc);
    return S_OK;
}

HRESULT iSubClass::OnWindowMessage(LONG* resultSlot, LONG hwnd, LONG message, LONG wParam, LONG lParam) noexcept
{
    // The slot is the generated code's stack word and becomes the window procedure's return
    // value. The code leaves it uninitialised, so every message starts at 0: one that no
    // handler answers returns 0 rather than stack garbage.
    LONG unused = 0;
    LONG& result = resultSlot != nullptr ? *resultSlot : unused;
    result = 0;
    // A handler that re-attaches from inside the event keeps its own copy alive until it ends.
    const std::shared_ptr<const GetWindowMessageHandler> handler = m_getWindowMessage;
    if (handler) {
        // Nothing may unwind into the generated code or the platform; what the handler left in
        // Result before failing still stands.
        (void)ExceptionBarrier([&] { (*handler)(result, hwnd, message, wParam, lParam); });
    }
    return S_OK;
}

HRESULT iSubClass::BuildWndProcThunk(LONG previous, LONG Ordinal, LONG* address) noexcept
{
    if (address == nullptr) return E_POINTER;
    *address = 0;
    return ExceptionBarrier([&] { *address = WriteWndProcThunk(previous, Ordinal); });
}

void iSubClass::PatchThunk(size_t offset, LONG value) noexcept
{
    std::memcpy(reinterpret_cast<BYTE*>(WndProcThunk) + offset, &value, sizeof value);
}

LONG iSubClass::WriteWndProcThunk(LONG previous, LONG ordinal)
{
    const LONG self = AddressOf(static_cast<IiSubClass*>(this));
    const LONG target = ReadDispatchEntry(self, ordinal);

    static_assert(sizeof WndProcThunk == kWndProcThunkBytes, "thunk size");
    std::memcpy(WndProcThunk, kWndProcThunkTemplate, kWndProcThunkBytes);
    const LONG runMode = ReadRunMode();
    PatchThunk(kRunModePatch, runMode);
    PatchThunk(kObjectPatch, self);
    PatchThunk(kTargetPatch, target);

    if (runMode != 0) {
        if (!m_directThunk) m_directThunk.reset(ThunkAllocator::Instance().Allocate(kGuardedThunkBytes));
        std::memcpy(m_directThunk.get(), WndProcThunk, kWndProcThunkBytes);
        ThunkAllocator::Publish(m_directThunk.get(), kWndProcThunkBytes);
        return AddressOf(m_directThunk.get());
    }

    // Guarded: a copy with its own guard word, which a window may go on calling after this
    // object is gone, so it is never given back.
    auto* const block = static_cast<BYTE*>(ThunkAllocator::Instance().Allocate(kGuardedThunkBytes));
    GuardedThunk = AddressOf(block);
    const LONG guardOn = 1;
    std::memcpy(block + kGuardWordOffset, &guardOn, sizeof guardOn);
    WndProcThunk[kGuardWordPatch / 4] = AddressOf(block + kGuardWordOffset);
    WndProcThunk[kPreviousProcPatch / 4] = previous;
    const FARPROC callWindowProc = GetProcAddress(GetModuleHandleA("user32.dll"), "CallWindowProcA");
    if (callWindowProc == nullptr) RaiseLastError();
    PatchThunk(kCallWindowProcPatch, AddressOf(reinterpret_cast<const void*>(callWindowProc)));
    std::memcpy(block, WndProcThunk, kWndProcThunkBytes);
    ThunkAllocator::Publish(block, kGuardedThunkBytes);
    return GuardedThunk;
}
