// Owning RAII types, one per handle kind: move-only, with get/reset/release.
#pragma once
#include <windows.h>

#include <utility>

template <class Handle, Handle Invalid, class Closer>
class UniqueHandleOf {
public:
    UniqueHandleOf() noexcept = default;
    explicit UniqueHandleOf(Handle handle) noexcept : m_handle(handle) {}
    UniqueHandleOf(UniqueHandleOf&& other) noexcept : m_handle(other.release()) {}
    UniqueHandleOf& operator=(UniqueHandleOf&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueHandleOf(const UniqueHandleOf&) = delete;
    UniqueHandleOf& operator=(const UniqueHandleOf&) = delete;
    ~UniqueHandleOf() { reset(); }

    Handle get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return m_handle != Invalid; }
    void reset(Handle handle = Invalid) noexcept
    {
        Handle old = std::exchange(m_handle, handle);
        if (old != Invalid) Closer{}(old);
    }
    Handle release() noexcept { return std::exchange(m_handle, Invalid); }

private:
    Handle m_handle = Invalid;
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
struct DestroyAcceleratorsHandle {
    void operator()(HACCEL table) const noexcept { DestroyAcceleratorTable(table); }
};

// Kernel objects whose "no handle" value is null (processes, threads, events, sections).
using UniqueHandle = UniqueHandleOf<HANDLE, nullptr, CloseKernelHandle>;
using UniqueWindow = UniqueHandleOf<HWND, nullptr, DestroyWindowHandle>;
using UniqueFont = UniqueHandleOf<HFONT, nullptr, DeleteGdiObject>;
using UniqueMenu = UniqueHandleOf<HMENU, nullptr, DestroyMenuHandle>;
using UniqueAccelerators = UniqueHandleOf<HACCEL, nullptr, DestroyAcceleratorsHandle>;
