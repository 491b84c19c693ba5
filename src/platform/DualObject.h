// The IUnknown and IDispatch plumbing that every hand-written dual class shares: the
// interface table, the interlocked reference count and late binding by member name.
// Deriving adds no dispatch-table entries, so the class's own operations keep their slots.
#pragma once
#include "platform/Dispatch.h"

#include <windows.h>
#include <oaidl.h>

#include <iterator>

// `Derived` supplies `static const DispatchName kDispatchNames[N]` and its own Invoke; its
// destructor is private, with this base as a friend.
template <class Derived, class Interface, const IID* InterfaceId>
class DualObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) noexcept override
    {
        if (result == nullptr) return E_POINTER;
        const IID* const interfaces[] = {&IID_IUnknown, &IID_IDispatch, InterfaceId};
        for (const IID* known : interfaces) {
            if (IsEqualIID(iid, *known)) {
                *result = static_cast<Interface*>(this);
                AddRef();
                return S_OK;
            }
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() noexcept override
    {
        return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
    }

    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const LONG remaining = InterlockedDecrement(&m_refCount);
        if (remaining == 0) delete static_cast<Derived*>(this);
        return static_cast<ULONG>(remaining);
    }

    // No type library: late binding goes by the names alone.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override
    {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override
    {
        if (info != nullptr) *info = nullptr;
        return DISP_E_BADINDEX;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override
    {
        return LookUpDispatchIds(Derived::kDispatchNames, std::size(Derived::kDispatchNames), names, count, ids);
    }

protected:
    DualObject() = default;
    ~DualObject() = default;

private:
    LONG m_refCount = 1;
};
