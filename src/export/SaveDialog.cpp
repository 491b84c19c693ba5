// GetSaveFileNameW with a filter per format; a name typed without one of the formats'
// extensions gets the chosen filter's.
#include "export/SaveDialog.h"

#include "platform/RuntimeError.h"

#include <commdlg.h>

bool HasExtension(const std::wstring& path, const wchar_t* extension)
{
    const size_t length = lstrlenW(extension);
    return path.size() > length &&
           CompareStringOrdinal(path.c_str() + path.size() - length, static_cast<int>(length), extension,
                                static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

std::optional<std::wstring> AskSavePath(HWND owner, const SaveFormats& formats)
{
    std::wstring buffer(32768, L'\0');
    lstrcpynW(&buffer[0], formats.defaultName, static_cast<int>(buffer.size()));
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = formats.filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = &buffer[0];
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrDefExt = formats.extensions[0] + 1; // without its dot
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog)) {
        // Its own error codes are no Win32 errors; zero means the user cancelled.
        if (CommDlgExtendedError() != 0) RaiseError(E_FAIL);
        return std::nullopt;
    }
    std::wstring path(buffer.c_str());
    if (!HasExtension(path, formats.extensions[0]) && !HasExtension(path, formats.extensions[1])) {
        path += formats.extensions[dialog.nFilterIndex == 2 ? 1 : 0];
    }
    return path;
}

std::optional<std::wstring> AskExportPath(HWND owner)
{
    static const SaveFormats kFormats = {L"JSON inventory (*.json)\0*.json\0Text inventory (*.txt)\0*.txt\0",
                                         L"inventory.json", {L".json", L".txt"}};
    return AskSavePath(owner, kFormats);
}
