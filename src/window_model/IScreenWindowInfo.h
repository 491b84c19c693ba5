// The dual interface of the window object: its public operations in dispatch-table order
// (slots 7 to 17, after IUnknown's and IDispatch's seven).
#pragma once
#include <windows.h>
#include <oaidl.h>

extern const IID IID_IScreenWindowInfo; // {612530A3-88A8-4408-967D-31572ED8C02D}

struct IScreenWindowInfo : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_ClassName(BSTR* value) = 0;                                 // 7
    virtual HRESULT STDMETHODCALLTYPE put_ClassName(BSTR value) = 0;                                  // 8
    virtual HRESULT STDMETHODCALLTYPE get_HasChildWindow(VARIANT_BOOL* value) = 0;                    // 9
    virtual HRESULT STDMETHODCALLTYPE put_HasChildWindow(VARIANT_BOOL value) = 0;                     // 10
    virtual HRESULT STDMETHODCALLTYPE get_Caption(BSTR* value) = 0;                                   // 11
    virtual HRESULT STDMETHODCALLTYPE FreeMe() = 0;                                                   // 12
    virtual HRESULT STDMETHODCALLTYPE get_GetChildCount(LONG* value) = 0;                             // 13
    virtual HRESULT STDMETHODCALLTYPE get_GetChildObject(LONG ObjectIndex, IScreenWindowInfo** value) = 0; // 14
    virtual HRESULT STDMETHODCALLTYPE get_hWnd(LONG* value) = 0;                                      // 15
    virtual HRESULT STDMETHODCALLTYPE put_hWnd(LONG vNewValue) = 0;                                   // 16
    virtual HRESULT STDMETHODCALLTYPE SwitchDisplayState(VARIANT_BOOL* value) = 0;                    // 17
};
