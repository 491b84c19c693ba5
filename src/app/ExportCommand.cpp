// Switches are few and fixed, so they are read by hand. The export is the scan the form makes,
// list and window pass, made into the same record the form keeps, without a tree: no window of
// this process exists while it runs, and no box is shown or answered unseen.
#include "app/ExportCommand.h"

#include "app/CompareCommand.h"
#include "app/ConsoleOutput.h"
#include "export/InventoryExport.h"
#include "inventory/ScanRecorder.h"
#include "platform/LineText.h"
#include "platform/RuntimeError.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace {
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
const wchar_t kUsage[] = L"usage: WindowInventory.exe /export PATH, where PATH ends in .json or .txt";
// What /? shows: every switch, what it writes, and the exit codes a script can test.
const wchar_t kHelp[] =
    L"usage: WindowInventory.exe [/export PATH | /compare OLD.json NEW.json [OUT] | /? | /help]\r\n"
    L"\r\n"
    L"  (no arguments)  opens the window\r\n"
    L"  /export PATH    scans once without showing a window and writes the inventory to PATH:\r\n"
    L"                  JSON (UTF-8) when PATH ends in .json, the tree's lines (UTF-8) when it\r\n"
    L"                  ends in .txt; the old file stays untouched when the write fails\r\n"
    L"  /compare OLD.json NEW.json [OUT]\r\n"
    L"                  what came, went and changed between two exported inventories, on\r\n"
    L"                  standard output or into OUT (.txt or .json)\r\n"
    L"  /?, /help       shows this text\r\n"
    L"\r\n"
    L"exit codes: /export: 0 done, 1 the scan or the write failed; /compare: 0 equal,\r\n"
    L"1 different; 2 a wrong command line or a bad file\r\n";

std::vector<std::wstring> Arguments()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> result;
    for (int i = 1; arguments != nullptr && i < count; ++i) result.emplace_back(arguments[i]);
    LocalFree(arguments);
    return result;
}

bool IsSwitch(const std::wstring& argument, const wchar_t* name)
{
    return CompareStringOrdinal(argument.c_str(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

int RunExportCommand(const std::vector<std::wstring>& arguments)
{
    if (arguments.size() != 2) {
        TellConsole(arguments.size() < 2 ? L"no PATH to export to; " + std::wstring(kUsage) : kUsage);
        return kExitUsage;
    }
    const std::wstring& path = arguments[1];
    if (!ExportFormatOf(path)) {
        TellConsole(L"cannot export to " + path + L": " + kUsage);
        return kExitUsage;
    }

    std::shared_ptr<const ScanRecord> record;
    const HRESULT scanned = ExceptionBarrier([&] { record = ScanIntoRecord(); });
    if (FAILED(scanned)) {
        TellConsole(L"the scan failed: " + DescribeError(scanned));
        return kExitFailure;
    }
    const HRESULT written = ExceptionBarrier([&] { ExportRecord(record.get(), path); });
    if (FAILED(written)) {
        TellConsole(DescribeExportFailure(written, path));
        return kExitFailure;
    }
    return 0;
}

bool IsHelpSwitch(const std::wstring& argument)
{
    return IsSwitch(argument, L"/?") || IsSwitch(argument, L"/help") || IsSwitch(argument, L"-h") ||
           IsSwitch(argument, L"--help");
}
} // namespace

std::optional<int> RunCommandLine()
{
    const std::vector<std::wstring> arguments = Arguments();
    if (arguments.empty()) return std::nullopt;
    const std::wstring& first = arguments[0];
    if (IsSwitch(first, L"/export")) return RunExportCommand(arguments);
    if (IsSwitch(first, L"/compare")) return RunCompareCommand({arguments.begin() + 1, arguments.end()});
    if (IsHelpSwitch(first) && arguments.size() == 1) {
        WriteStandardOutput(Utf8(kHelp));
        return 0;
    }
    // Not a second window the user never asked for: say what was not understood, and how it goes.
    if (IsHelpSwitch(first)) {
        TellConsole(L"unexpected argument " + arguments[1]);
    } else if (first[0] == L'/' || first[0] == L'-') {
        TellConsole(L"unknown switch " + first);
    } else {
        TellConsole(L"unexpected argument " + first);
    }
    WriteStandardError(Utf8(kHelp));
    return kExitUsage;
}
