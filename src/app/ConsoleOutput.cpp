// A console gets wide text (its code page cannot be trusted with a caption); a file or pipe
// gets UTF-8.
#include "app/ConsoleOutput.h"

#include "platform/LineText.h"

#include <windows.h>

namespace {
HANDLE StandardHandle(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN) return handle;
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED) return nullptr;
    // Kept open for the rest of the process, like a standard handle.
    handle = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

void Write(DWORD which, const std::string& bytes)
{
    const HANDLE handle = StandardHandle(which);
    if (handle == nullptr || bytes.empty()) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring text = FromUtf8(bytes);
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    for (size_t done = 0; done < bytes.size(); done += written) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(handle, bytes.data() + done, chunk, &written, nullptr) || written == 0) return;
    }
}
} // namespace

void TellConsole(const std::wstring& message)
{
    Write(STD_ERROR_HANDLE, Utf8(L"WindowInventory: " + message + L"\r\n"));
}

void WriteStandardOutput(const std::string& bytes)
{
    Write(STD_OUTPUT_HANDLE, bytes);
}

void WriteStandardError(const std::string& bytes)
{
    Write(STD_ERROR_HANDLE, bytes);
}
