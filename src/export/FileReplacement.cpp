// The file beside the target is flushed before the move, so that a crash leaves either the
// old file or the whole new one.
#include "export/FileReplacement.h"

#include "platform/RuntimeError.h"
#include "platform/UniqueHandles.h"

#include <windows.h>

void WriteFileReplacing(const std::wstring& path, const std::string& bytes)
{
    // Windows refuses to move a file over a read-only one; Wine, run as root, does not.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        RaiseError(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    }
    const std::wstring partial = path + L".~" + std::to_wstring(GetCurrentProcessId()) + L".partial";
    UniqueHandle file(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release(); // not a handle to close
        RaiseLastError();
    }
    const HRESULT written = ExceptionBarrier([&] {
        size_t done = 0;
        while (done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
            DWORD wrote = 0;
            if (!WriteFile(file.get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) RaiseLastError();
            done += wrote;
        }
        if (!FlushFileBuffers(file.get())) RaiseLastError();
        file.reset();
        if (!MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            RaiseLastError();
        }
    });
    if (FAILED(written)) {
        file.reset();
        DeleteFileW(partial.c_str());
        RaiseError(written);
    }
}
