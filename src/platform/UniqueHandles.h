// Owning RAII types, one per handle kind: move-only, with get/reset/release.
//
// One owner template for every kind, after WIL's unique_any (include/wil/resource.h): what a
// handle is, how it is closed and which value means "no handle" are the kind's policy, so a
// kind whose "no handle" is INVALID_HANDLE_VALUE needs no owner of its own.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <utility>

// `Closer` is a function object closing one valid handle; `InvalidValue` is the "no handle"
// value as an integer, as WIL spells it (a pointer constant cannot be a template argument).
template <class Handle, class Closer, INT_PTR InvalidValue = 0>
class UniqueAny {
public:
    static Handle Invalid() noexcept { return (Handle)InvalidValue; }

    UniqueAny() noexcept = default;
    explicit UniqueAny(Handle handle) noexcept : m_handle(handle) {}
    UniqueAny(UniqueAny&& other) noexcept : m_handle(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    ~UniqueAny() { reset(); }

    Handle get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return m_handle != Invalid(); }
    void reset(Handle handle = Invalid()) noexcept
    {
        Handle old = std::exchange(m_handle, handle);
        if (old != Invalid()) Closer{}(old);
    }
    Handle release() noexcept { return std::exchange(m_handle, Invalid()); }
    // For out-parameters: closes what is held and exposes the slot.
    Handle* put() noexcept
    {
        reset();
        return &m_handle;
    }

private:
    Handle m_handle = Invalid();
};

struct CloseKernelHandle {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
struct DestroyWindowHandle {
    void operator()(HWND window) const noexcept { DestroyWindow(window); }
};
struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const noexcept { DeleteObject(object); }
};
struct DestroyMenuHandle {
    void operator()(HMENU menu) const noexcept { DestroyMenu(menu); }
};
struct ReleaseScreenDC {
    void operator()(HDC dc) const noexcept { ReleaseDC(nullptr, dc); }
};
struct DestroyAcceleratorsHandle {
    void operator()(HACCEL table) const noexcept { DestroyAcceleratorTable(table); }
};
struct RemoveWindowsHook {
    void operator()(HHOOK hook) const noexcept { UnhookWindowsHookEx(hook); }
};
struct CloseRegistryKey {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
struct FreeBstr {
    void operator()(BSTR text) const noexcept { SysFreeString(text); }
};

// Kernel objects whose "no handle" value is null (processes, threads, events, sections).
using UniqueHandle = UniqueAny<HANDLE, CloseKernelHandle>;
using UniqueWindow = UniqueAny<HWND, DestroyWindowHandle>;
using UniqueFont = UniqueAny<HFONT, DeleteGdiObject>;
using UniqueRegion = UniqueAny<HRGN, DeleteGdiObject>;
using UniqueMenu = UniqueAny<HMENU, DestroyMenuHandle>;
using UniqueAccelerators = UniqueAny<HACCEL, DestroyAcceleratorsHandle>;
using UniqueHook = UniqueAny<HHOOK, RemoveWindowsHook>;
using UniqueRegistryKey = UniqueAny<HKEY, CloseRegistryKey>;
// The whole screen's device context, GetDC(nullptr) (WIL's unique_hdc_window without a window).
using UniqueScreenDC = UniqueAny<HDC, ReleaseScreenDC>;
// A BSTR this code owns (WIL's unique_bstr); null is also the empty string.
using UniqueBstr = UniqueAny<BSTR, FreeBstr>;
