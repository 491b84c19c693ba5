// ScreenWindowInfo: the reference-counted model of one window and every window the platform
// reports beneath it, built through a child-enumeration thunk generated into the object.
#pragma once
#include "platform/ComPtr.h"
#include "platform/DualObject.h"
#include "platform/ThunkAllocator.h"
#include "window_model/IScreenWindowInfo.h"

#include <string>
#include <vector>

// Live ScreenWindowInfo objects, every copy counted.
extern LONG WindowObjectCount;

// Dispatch-table slots that generated code and tests rely on.
constexpr int kEnumChildProcSlot = 18;
constexpr LONG kEnumChildProcOrdinal = 12; // slot 6 + 12
constexpr size_t kEnumThunkBytes = 32;

class ScreenWindowInfo final
    : public DualObject<ScreenWindowInfo, IScreenWindowInfo, &IID_IScreenWindowInfo> {
public:
    // The creation function: a new object with one reference, counted in WindowObjectCount.
    [[nodiscard]] static HRESULT Create(IScreenWindowInfo** result) noexcept;

    // The late-bound names: the public members.
    static const DispatchName kDispatchNames[8];

    // IDispatch
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept override;
    // IScreenWindowInfo
    HRESULT STDMETHODCALLTYPE get_ClassName(BSTR* value) noexcept override;
    HRESULT STDMETHODCALLTYPE put_ClassName(BSTR value) noexcept override;
    HRESULT STDMETHODCALLTYPE get_HasChildWindow(VARIANT_BOOL* value) noexcept override;
    HRESULT STDMETHODCALLTYPE put_HasChildWindow(VARIANT_BOOL value) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* value) noexcept override;
    HRESULT STDMETHODCALLTYPE FreeMe() noexcept override;
    HRESULT STDMETHODCALLTYPE get_GetChildCount(LONG* value) noexcept override;
    HRESULT STDMETHODCALLTYPE get_GetChildObject(LONG ObjectIndex, IScreenWindowInfo** value) noexcept override;
    HRESULT STDMETHODCALLTYPE get_hWnd(LONG* value) noexcept override;
    HRESULT STDMETHODCALLTYPE put_hWnd(LONG vNewValue) noexcept override;
    HRESULT STDMETHODCALLTYPE SwitchDisplayState(VARIANT_BOOL* value) noexcept override;

private:
    friend DualObject;
    ScreenWindowInfo() = default;
    // The destruction handler runs as the object goes.
    ~ScreenWindowInfo() { (void)Class_Terminate(); }

    // Private operations, slots 18 to 21 (declared virtual so that they follow the public
    // ones in the table, where the thunk builder finds them).
    // Target of the child-enumeration thunk: appends and builds one child object.
    virtual HRESULT STDMETHODCALLTYPE EnumChildProc(LONG* callbackResult, LONG hwnd, LONG lParam) noexcept; // 18
    // Writes the thunk from its template and makes it executable.
    virtual HRESULT STDMETHODCALLTYPE BuildEnumThunk(LONG Ordinal, LONG* address) noexcept;             // 19
    virtual HRESULT STDMETHODCALLTYPE Class_Initialize() noexcept;                                        // 20
    virtual HRESULT STDMETHODCALLTYPE Class_Terminate() noexcept;                                         // 21

    void BuildThunkCode(LONG ordinal);
    void AppendChild(LONG hwnd);

    std::wstring m_className;
    VARIANT_BOOL m_hasChildWindow = VARIANT_FALSE;
    // EnumThunk: the eight template words live in a slot of the thunk allocator, not in the
    // object, so that the heap holding the object never becomes executable.
    UniqueThunkSlot<kEnumThunkBytes> m_enumThunk;
    bool m_enumThunkReady = false; // the thunk is completely written
    LONG m_windowHandle = 0;
    LONG m_childCount = -1;
    std::vector<ComPtr<IScreenWindowInfo>> m_children;
    // A child that could not be built during the current enumeration: reported by hWnd put.
    HRESULT m_enumFailure = S_OK;
    bool m_counted = false;
};
