// The remote view goes through ntdll: kernel32 has no call that maps a section into another
// process, and NtMapViewOfSection takes a process handle.
#include "SharedSection.h"

namespace {
using MapViewOfSectionFunction = LONG(NTAPI*)(HANDLE section, HANDLE process, PVOID* base, ULONG_PTR zeroBits,
                                              SIZE_T commitSize, PLARGE_INTEGER offset, PSIZE_T viewSize,
                                              DWORD inheritDisposition, ULONG allocationType, ULONG protect);
using UnmapViewOfSectionFunction = LONG(NTAPI*)(HANDLE process, PVOID base);
constexpr DWORD kViewUnmap = 2; // SECTION_INHERIT: the view is not inherited by child processes

template <class Function>
Function NtdllFunction(const char* name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

std::wstring Hex(unsigned long value)
{
    wchar_t text[16];
    wsprintfW(text, L"0x%08lX", value);
    return text;
}
} // namespace

SharedSection::SharedSection(HANDLE process, size_t size) : m_process(process), m_size(size)
{
    m_section.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size),
                                       nullptr));
    if (!m_section) {
        m_error = L"CreateFileMapping failed, error " + std::to_wstring(GetLastError());
        return;
    }
    m_local = MapViewOfFile(m_section.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, size);
    if (m_local == nullptr) {
        m_error = L"MapViewOfFile failed, error " + std::to_wstring(GetLastError());
        return;
    }
    const auto map = NtdllFunction<MapViewOfSectionFunction>("NtMapViewOfSection");
    if (map == nullptr) {
        m_error = L"ntdll has no NtMapViewOfSection";
        return;
    }
    PVOID base = nullptr;
    SIZE_T viewSize = size;
    const LONG status =
        map(m_section.get(), process, &base, 0, 0, nullptr, &viewSize, kViewUnmap, 0, PAGE_READWRITE);
    if (status < 0 || base == nullptr) {
        m_error = L"NtMapViewOfSection into the other process failed, status " + Hex(static_cast<unsigned long>(status));
        return;
    }
    m_remote = base;
}

SharedSection::~SharedSection()
{
    if (m_remote != nullptr && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
        if (const auto unmap = NtdllFunction<UnmapViewOfSectionFunction>("NtUnmapViewOfSection")) {
            unmap(m_process, m_remote);
        }
    }
    if (m_local != nullptr) UnmapViewOfFile(m_local);
}
