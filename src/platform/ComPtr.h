// Owning reference to a COM object: one AddRef/Release pair per holder, move-only transfer.
// Kept instead of Microsoft::WRL::ComPtr (wrl/client.h): it speaks the get/put/reset/release of
// the handle owners (UniqueAny, after WIL), has no operator& that silently releases what it
// holds, and needs neither the Windows Runtime headers MinGW-w64's client.h pulls in nor
// __uuidof declarations for this program's own interfaces.
#pragma once
#include <utility>

template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new counted reference to `object`.
    explicit ComPtr(T* object) noexcept : m_object(object)
    {
        if (m_object) m_object->AddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.m_object) {}
    ComPtr(ComPtr&& other) noexcept : m_object(other.release()) {}
    ~ComPtr() { reset(); }

    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(m_object, other.m_object);
        return *this;
    }

    // Adopts a reference that the caller already owns.
    static ComPtr Attach(T* object) noexcept
    {
        ComPtr result;
        result.m_object = object;
        return result;
    }

    T* get() const noexcept { return m_object; }
    T* operator->() const noexcept { return m_object; }
    explicit operator bool() const noexcept { return m_object != nullptr; }

    // Releases the held reference, if any.
    void reset() noexcept
    {
        if (T* old = std::exchange(m_object, nullptr)) old->Release();
    }
    // Hands the reference to the caller.
    T* release() noexcept { return std::exchange(m_object, nullptr); }
    // For out-parameters: releases what is held and exposes the slot.
    T** put() noexcept
    {
        reset();
        return &m_object;
    }

private:
    T* m_object = nullptr;
};
