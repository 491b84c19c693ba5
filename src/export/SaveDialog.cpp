// GetSaveFileNameW with a JSON and a text filter; a name typed without an extension gets the
// chosen filter's.
#include "export/SaveDialog.h"

#include "export/InventoryExport.h"
#include "platform/RuntimeError.h"

#include <commdlg.h>

std::optional<std::wstring> AskExportPath(HWND owner)
{
    static const wchar_t kFilter[] = L"JSON inventory (*.json)\0*.json\0Text inventory (*.txt)\0*.txt\0";
    std::wstring buffer(32768, L'\0');
    lstrcpyW(&buffer[0], L"inventory.json");
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = &buffer[0];
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrDefExt = L"json";
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog)) {
        // Its own error codes are no Win32 errors; zero means the user cancelled.
        if (CommDlgExtendedError() != 0) RaiseError(E_FAIL);
        return std::nullopt;
    }
    std::wstring path(buffer.c_str());
    if (!ExportFormatOf(path)) path += dialog.nFilterIndex == 2 ? L".txt" : L".json";
    return path;
}
