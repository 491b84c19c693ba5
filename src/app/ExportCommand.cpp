// The export is the form's own scan read back from its tree, so the file holds exactly what
// the window would have shown. It lives beside Form1 because it starts one: the export area
// stays free of the form and the form can use the export area's writers for Ctrl+S.
#include "app/ExportCommand.h"

#include "app/Form1.h"
#include "export/InventoryExport.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace {
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
const wchar_t kUsage[] = L"usage: WindowInventory.exe /export PATH, where PATH ends in .json or .txt";

std::vector<std::wstring> Arguments()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> result;
    for (int i = 1; arguments != nullptr && i < count; ++i) result.emplace_back(arguments[i]);
    LocalFree(arguments);
    return result;
}

// Standard error when the parent handed one over (a redirection, or Wine's own); otherwise the
// console of the shell that started this GUI program, if there is one.
void TellConsole(const std::wstring& message)
{
    const std::wstring line = L"WindowInventory: " + message + L"\r\n";
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (error == nullptr || error == INVALID_HANDLE_VALUE || GetFileType(error) == FILE_TYPE_UNKNOWN) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
        error = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
        if (error == INVALID_HANDLE_VALUE) return;
    }
    DWORD written = 0;
    if (GetConsoleMode(error, &mode)) {
        WriteConsoleW(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], length, nullptr, nullptr);
    WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The count box and any error box of the form are answered without being shown.
int WINAPI AnswerUnseen(HWND, LPCWSTR, LPCWSTR, UINT) noexcept
{
    return IDOK;
}
} // namespace

bool IsExportCommandLine()
{
    const std::vector<std::wstring> arguments = Arguments();
    return !arguments.empty() && CompareStringOrdinal(arguments[0].c_str(), -1, L"/export", -1, TRUE) == CSTR_EQUAL;
}

int RunExportCommand()
{
    const std::vector<std::wstring> arguments = Arguments();
    if (arguments.size() != 2) {
        TellConsole(arguments.size() < 2 ? L"no PATH to export to; " + std::wstring(kUsage) : kUsage);
        return kExitUsage;
    }
    const std::wstring& path = arguments[1];
    if (!ExportFormatOf(path)) {
        TellConsole(L"cannot export to " + path + L": " + kUsage);
        return kExitUsage;
    }

    ReplaceMessageBoxFunction(AnswerUnseen);
    Form1 form;
    form.Show(SW_HIDE);
    if (!form.hWnd()) {
        TellConsole(L"cannot create the window that holds the scan");
        return kExitFailure;
    }
    const HRESULT scanned = ExceptionBarrier([&] { form.Scan(); });
    if (FAILED(scanned)) {
        TellConsole(L"the scan failed: " + DescribeError(scanned));
        return kExitFailure;
    }
    const HRESULT written = ExceptionBarrier([&] { ExportTree(form.TreeView1(), form.LastScan(), path); });
    if (FAILED(written)) {
        TellConsole(DescribeExportFailure(written, path));
        return kExitFailure;
    }
    return 0;
}
