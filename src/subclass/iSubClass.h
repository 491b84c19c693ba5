// iSubClass: the reference-counted subclasser of one window. Hooking re-points the window's
// procedure at code generated for this object, which raises GetWindowMessage for every
// message; the handler answers through Result or forwards with CallDefaultWindowProc.
#pragma once
#include "platform/DualObject.h"
#include "platform/ThunkAllocator.h"
#include "subclass/IiSubClass.h"
#include "subclass/WndProcThunk.h"

#include <functional>
#include <memory>

// Dispatch-table slots that the generated code and tests rely on.
constexpr int kOnWindowMessageSlot = 10;
constexpr int kBuildWndProcThunkSlot = 11;
constexpr LONG kOnWindowMessageOrdinal = 4; // slot 6 + 4

// GetWindowMessage(Result, cHwnd, Message, wParam, lParam), raised synchronously inside the
// window procedure. Result is what the window procedure returns; it starts at 0.
using GetWindowMessageHandler =
    std::function<void(LONG& Result, LONG cHwnd, LONG Message, LONG wParam, LONG lParam)>;

class iSubClass final : public DualObject<iSubClass, IiSubClass, &IID_IiSubClass> {
public:
    // The creation function: a new object with one reference, hooked to nothing.
    [[nodiscard]] static HRESULT Create(iSubClass** result) noexcept;

    // Attaches the one handler of GetWindowMessage, replacing the previous one; an empty
    // handler detaches. Safe from inside the event: the running handler finishes first.
    HRESULT AdviseGetWindowMessage(GetWindowMessageHandler handler) noexcept;

    // The late-bound names: the public members.
    static const DispatchName kDispatchNames[3];

    // IDispatch
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept override;
    // IiSubClass
    HRESULT STDMETHODCALLTYPE CallDefaultWindowProc(LONG cHwnd, LONG Message, LONG wParam, LONG lParam,
                                                    LONG* result) noexcept override;
    HRESULT STDMETHODCALLTYPE SetMsgHook(LONG cHwnd, LONG* result) noexcept override;
    HRESULT STDMETHODCALLTYPE SetMsgUnHook() noexcept override;

private:
    friend DualObject;
    iSubClass() = default;
    // Neither unhooks nor frees a guarded thunk: a window may still be calling it.
    ~iSubClass() = default;

    // Private operations, slots 10 and 11 (virtual so that they follow the public ones in the
    // table, where the thunk builder and the generated code find them).
    // Target of the generated code: raises GetWindowMessage with Result bound to *resultSlot.
    virtual HRESULT STDMETHODCALLTYPE OnWindowMessage(LONG* resultSlot, LONG hwnd, LONG message, LONG wParam,
                                                      LONG lParam) noexcept; // 10
    // Writes the window procedure for the table entry at Ordinal and reports its address.
    virtual HRESULT STDMETHODCALLTYPE BuildWndProcThunk(LONG previous, LONG Ordinal, LONG* address) noexcept; // 11

    LONG WriteWndProcThunk(LONG previous, LONG ordinal);
    void PatchThunk(size_t offset, LONG value) noexcept;

    // The code is written and patched here, then copied to executable memory of the thunk
    // allocator: this object's own slot in direct mode, a new block in guarded mode.
    LONG WndProcThunk[31] = {};
    LONG OldWndProc = 0;
    LONG HookedHwnd = 0;
    LONG GuardedThunk = 0; // the latest guarded copy; earlier ones stay allocated

    std::shared_ptr<const GetWindowMessageHandler> m_getWindowMessage;
    // Where the direct-mode code runs; rebuilt in place, given back with the object.
    UniqueThunkSlot<kGuardedThunkBytes> m_directThunk;
};
