// A buffer that another process's window procedures can write into and this process can read:
// one pagefile-backed section mapped into both address spaces. Messages whose lParam points to
// a structure (TVM_GETITEMW, SB_GETRECT) need such a pointer that is valid in the window's own
// process, and on some of our Wine hosts ReadProcessMemory/WriteProcessMemory are refused.
#pragma once
#include "platform/UniqueHandles.h"

#include <windows.h>

#include <cstddef>
#include <string>

class SharedSection {
public:
    // Maps `size` zeroed bytes here and into `process` (which needs PROCESS_VM_OPERATION).
    SharedSection(HANDLE process, size_t size);
    ~SharedSection();
    SharedSection(const SharedSection&) = delete;
    SharedSection& operator=(const SharedSection&) = delete;

    // Empty when both views exist; otherwise what went wrong.
    const std::wstring& Error() const noexcept { return m_error; }

    // The bytes at `offset`, as this process sees them.
    template <class T>
    T* Local(size_t offset) const noexcept
    {
        return reinterpret_cast<T*>(static_cast<char*>(m_local) + offset);
    }
    // The same bytes' address inside the other process.
    template <class T = void>
    T* Remote(size_t offset) const noexcept
    {
        return reinterpret_cast<T*>(static_cast<char*>(m_remote) + offset);
    }
    size_t Size() const noexcept { return m_size; }

private:
    HANDLE m_process;
    size_t m_size;
    UniqueHandle m_section;
    void* m_local = nullptr;
    void* m_remote = nullptr;
    std::wstring m_error;
};
