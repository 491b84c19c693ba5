// Both files are read whole and checked before anything is compared, so that a bad second
// file is not reported after a first report was already written.
#include "app/CompareCommand.h"

#include "app/ConsoleOutput.h"
#include "export/FileReplacement.h"
#include "export/InventoryComparison.h"
#include "platform/RuntimeError.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {
constexpr int kExitEqual = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitBadInput = 2;
const wchar_t kUsage[] = L"usage: WindowInventory.exe /compare OLD.json NEW.json [OUT.txt|OUT.json]";

int RunCompare(const std::vector<std::wstring>& arguments)
{
    if (arguments.size() < 2 || arguments.size() > 3) {
        TellConsole(kUsage);
        return kExitBadInput;
    }
    std::optional<ExportFormat> format = ExportFormat::Text;
    if (arguments.size() == 3 && !(format = ExportFormatOf(arguments[2]))) {
        TellConsole(L"cannot write the report to " + arguments[2] + L": " + kUsage);
        return kExitBadInput;
    }
    ComparedInventory inventories[2];
    for (int i = 0; i < 2; ++i) {
        std::wstring problem;
        std::optional<ComparedInventory> inventory = ReadInventoryFile(arguments[i], problem);
        if (!inventory) {
            TellConsole(arguments[i] + L": " + problem);
            return kExitBadInput;
        }
        inventories[i] = std::move(*inventory);
    }
    const InventoryDifferences differences = CompareInventories(inventories[0], inventories[1]);
    const std::string report = FormatDifferences(differences, *format);
    if (arguments.size() == 3) {
        const HRESULT written = ExceptionBarrier([&] { WriteFileReplacing(arguments[2], report); });
        if (FAILED(written)) {
            TellConsole(DescribeExportFailure(written, arguments[2]));
            return kExitBadInput;
        }
    } else {
        WriteStandardOutput(report);
    }
    return differences.Empty() ? kExitEqual : kExitDifferent;
}
} // namespace

int RunCompareCommand(const std::vector<std::wstring>& arguments)
{
    return RunCompare(arguments);
}
