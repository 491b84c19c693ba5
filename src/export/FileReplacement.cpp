// The temporary name is short (GetTempFileNameW's "wiXXXX.tmp") so that it fits wherever the
// target fits; the file is flushed before it takes the target's place, so that a crash leaves
// either the old file or the whole new one.
#include "export/FileReplacement.h"

#include "platform/RuntimeError.h"
#include "platform/UniqueHandles.h"

namespace {
using UniqueFile = UniqueAny<HANDLE, CloseKernelHandle, -1>;

std::wstring FullPathOf(const std::wstring& path)
{
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) RaiseLastError();
    std::wstring full(length, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), length, &full[0], nullptr));
    return full;
}

std::wstring FolderOf(const std::wstring& fullPath)
{
    return fullPath.substr(0, fullPath.find_last_of(L"\\/") + 1);
}

// A new empty file in `folder`, by GetTempFileNameW; where the folder is too long for it (a
// \\?\ path), by a name of the same shape made here.
std::wstring CreateTemporaryFile(const std::wstring& folder)
{
    wchar_t name[MAX_PATH];
    if (folder.size() < MAX_PATH - 14 && GetTempFileNameW(folder.c_str(), L"wi", 0, name) != 0) return name;
    for (unsigned attempt = 0; attempt < 0x10000; ++attempt) {
        wchar_t file[16];
        wsprintfW(file, L"wi%04X.tmp", (GetTickCount() + attempt) & 0xFFFF);
        const std::wstring path = folder + (folder.back() == L'\\' || folder.back() == L'/' ? L"" : L"\\") + file;
        const UniqueFile created(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                             nullptr));
        if (created) return path;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) RaiseLastError();
    }
    RaiseError(HRESULT_FROM_WIN32(ERROR_FILE_EXISTS));
}

void WriteWhole(const std::wstring& path, const std::string& bytes)
{
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    if (!file) RaiseLastError();
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD wrote = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) RaiseLastError();
        done += wrote;
    }
    if (!FlushFileBuffers(file.get())) RaiseLastError();
}
} // namespace

void WriteFileReplacing(const std::wstring& target, const std::string& bytes)
{
    const std::wstring path = FullPathOf(target);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) RaiseError(kErrorTargetIsFolder);
    // Windows refuses to replace a read-only file; Wine, run as root, does not.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) RaiseError(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    const std::wstring temporary = CreateTemporaryFile(FolderOf(path));
    const HRESULT written = ExceptionBarrier([&] {
        WriteWhole(temporary, bytes);
        const bool replaced = exists ? ReplaceFileW(path.c_str(), temporary.c_str(), nullptr,
                                                    REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE
                                     : MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
        if (!replaced) RaiseLastError();
    });
    if (FAILED(written)) {
        DeleteFileW(temporary.c_str());
        RaiseError(written);
    }
}
