// The dual interface of the window subclasser: its public operations in dispatch-table order
// (slots 7 to 9, after IUnknown's and IDispatch's seven).
#pragma once
#include <windows.h>
#include <oaidl.h>

extern const IID IID_IiSubClass; // {0942D9C8-BAA7-426B-B25A-93BA1FEB28CD}

struct IiSubClass : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE CallDefaultWindowProc(LONG cHwnd, LONG Message, LONG wParam, LONG lParam,
                                                            LONG* result) = 0; // 7
    virtual HRESULT STDMETHODCALLTYPE SetMsgHook(LONG cHwnd, LONG* result) = 0; // 8
    virtual HRESULT STDMETHODCALLTYPE SetMsgUnHook() = 0;                       // 9
};
