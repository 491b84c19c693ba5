// The version is the file's own, so that the box and Explorer's Details tab agree.
#include "app/AboutBox.h"

#include "app/Version.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"

#include <vector>

namespace {
// The version built in, where the file's resource cannot be read.
const wchar_t kBuiltInVersion[] = L"" WINDOWINVENTORY_VERSION_TEXT;
} // namespace

void AddAboutToSystemMenu(HWND form)
{
    const HMENU menu = GetSystemMenu(form, FALSE);
    if (menu == nullptr || !AppendMenuW(menu, MF_SEPARATOR, 0, nullptr) ||
        !AppendMenuW(menu, MF_STRING, kAboutCommand, L"&About WindowInventory...")) {
        RaiseLastError();
    }
}

std::wstring ProgramVersion()
{
    wchar_t path[MAX_PATH * 2] = {};
    if (GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path))) == 0) return kBuiltInVersion;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return kBuiltInVersion;
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path, 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed) {
        return kBuiltInVersion;
    }
    wchar_t text[64];
    wsprintfW(text, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    return text;
}

void ShowAbout(HWND owner)
{
    ShowMessageBox(owner, L"WindowInventory\r\nVersion " + ProgramVersion(), L"About WindowInventory",
                   MB_OK | MB_ICONINFORMATION | MB_APPLMODAL);
}
