// The export is the form's own scan read back from its tree, so the file holds exactly what
// the window would have shown. It lives beside Form1 because it starts one: the export area
// stays free of the form and the form can use the export area's writers for Ctrl+S.
#include "app/ExportCommand.h"

#include "app/ConsoleOutput.h"
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
    const HRESULT written = ExceptionBarrier([&] { ExportRecord(form.LastRecord().get(), path); });
    if (FAILED(written)) {
        TellConsole(DescribeExportFailure(written, path));
        return kExitFailure;
    }
    return 0;
}
