// VirtualProtect for generated code; the instruction cache is flushed for the new bytes.
#include "platform/ExecutableMemory.h"

#include <windows.h>

bool MakeExecutable(void* code, size_t size) noexcept
{
    DWORD oldProtection = 0;
    if (!VirtualProtect(code, size, PAGE_EXECUTE_READWRITE, &oldProtection)) return false;
    FlushInstructionCache(GetCurrentProcess(), code, size);
    return true;
}
