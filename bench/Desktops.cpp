// Building each desktop, and measuring it.
#include "Desktops.h"

#include "BenchHost.h"
#include "MemoryWatch.h"
#include "RecordBench.h"
#include "Report.h"
#include "RepeatScan.h"
#include "Timing.h"
#include "inventory/APi.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "support/SyntheticDesktopProcess.h"
#include "window_model/ScreenWindowInfo.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

int WINAPI ImmediateOk(HWND, LPCWSTR, LPCWSTR, UINT)
{
    return IDOK;
}

// Objects in the subtree of `object`, itself included, walked through its public interface.
long long CountObjects(IScreenWindowInfo* object)
{
    if (object == nullptr) return 0;
    long long count = 1;
    LONG last = -1;
    if (FAILED(object->get_GetChildCount(&last))) return count;
    VARIANT_BOOL hasChildren = VARIANT_FALSE;
    object->get_HasChildWindow(&hasChildren);
    if (!hasChildren) return count;
    for (LONG k = 0; k <= last; ++k) {
        IScreenWindowInfo* child = nullptr;
        if (SUCCEEDED(object->get_GetChildObject(k, &child))) {
            const ComPtr<IScreenWindowInfo> held = ComPtr<IScreenWindowInfo>::Attach(child);
            count += CountObjects(held.get());
        }
    }
    return count;
}

// The objects that the last window pass built for window `top`.
long long ObjectsFor(HWND top)
{
    for (const ProcessRecord& record : ProcessList) {
        if (!record.Windows) continue;
        for (const ComPtr<IScreenWindowInfo>& object : *record.Windows) {
            LONG handle = 0;
            if (object && SUCCEEDED(object->get_hWnd(&handle)) &&
                handle == static_cast<LONG>(reinterpret_cast<INT_PTR>(top))) {
                return CountObjects(object.get());
            }
        }
    }
    return 0;
}

bool StartAll(std::vector<std::unique_ptr<SyntheticDesktopProcess>>& helpers, const std::wstring& shape, int count)
{
    for (int i = 0; i < count; ++i) {
        helpers.push_back(std::make_unique<SyntheticDesktopProcess>(shape));
        if (!helpers.back()->Started()) {
            std::printf("!! %ls\n", helpers.back()->Error().c_str());
            return false;
        }
    }
    for (auto& helper : helpers) {
        if (!helper->WaitReady(180000)) {
            std::printf("!! helper %lu (%ls) did not get ready\n", helper->ProcessId(), shape.c_str());
            return false;
        }
    }
    return true;
}

int RunFlatLike(const char* name, const std::wstring& shape, int processes, int rounds, bool targeted, Report& report)
{
    std::vector<std::unique_ptr<SyntheticDesktopProcess>> helpers;
    const double start = NowMs();
    if (!StartAll(helpers, shape, processes)) return 1;
    std::printf("%-6s (%d helper process%s \"%ls\" ready in %.1f s)\n", name, processes, processes == 1 ? "" : "es",
                shape.c_str(), (NowMs() - start) / 1000);
    BenchHost host;
    const FillMemory memory = WatchOneScan(host);
    const ScanResult result = Measure(host, rounds);
    report.PrintScan(name, result, targeted);
    report.PrintMemory(name, memory);
    if (std::string(name) == "bulk") {
        // Filling 20,000 nodes must not repaint the tree per node: the watched fill saw no paint.
        const bool met = result.nodes >= 20000 && memory.watch.paintsDuringFill == 0;
        report.Judge(met);
        std::printf("%-6s target        %zu nodes filled in %.1f ms (%.2f us/node) with %d paints during the fill: %s\n",
                    name, result.nodes, result.fill.product.Best(),
                    1000 * result.fill.product.Best() / std::max<size_t>(1, result.nodes),
                    memory.watch.paintsDuringFill, met ? "met" : "NOT MET");
        MeasureRecordWork(host, rounds, report);
    }
    std::fflush(stdout);
    return 0;
}

int RunDeep(int rounds, Report& report)
{
    BenchHost host;
    std::printf("%-6s %5s %9s %9s %10s %10s %7s %10s %10s %7s %9s\n", "deep", "depth", "chain obj", "2^depth",
                "pass ms", "floor ms", "ratio", "fill ms", "floor ms", "ratio", "us/object");
    for (int depth = 0; depth <= 16; ++depth) {
        std::unique_ptr<SyntheticDesktopProcess> helper;
        if (depth > 0) {
            helper = std::make_unique<SyntheticDesktopProcess>(L"chain " + std::to_wstring(depth));
            if (!helper->Started() || !helper->WaitReady(60000)) {
                std::printf("!! chain %d: helper not ready\n", depth);
                return 1;
            }
        }
        // The longest chains take seconds a round: fewer rounds, but an odd number for the median.
        const ScanResult result = Measure(host, depth >= 14 ? std::max(1, rounds / 2) | 1 : rounds);
        // The chain's own objects, from a pass that is left standing for counting.
        long long chainObjects = 0;
        if (helper) {
            const std::vector<HWND> tops = helper->TopWindows();
            RunStage("the process list", [] { BuildProcessList(); });
            EnumWindows(EnumTopWindowProc, 0);
            RunStage("the window pass", [] { RaiseIfFailed(TakeTopWindowFailure()); });
            chainObjects = tops.size() == 1 ? ObjectsFor(tops[0]) : -1;
            ProcessList.clear(); // releases them again
        }
        const double passRatio = result.windowPass.Ratio();
        const double fillRatio = result.fill.Ratio();
        std::printf("%-6s %5d %9lld %9lld %10.2f %10.2f %6.2fx %10.2f %10.2f %6.2fx %9.2f%s\n", "deep", depth,
                    chainObjects, depth > 0 ? (1LL << depth) : 0LL, result.windowPass.product.Best(),
                    result.windowPass.floor.Best(), passRatio, result.fill.product.Best(), result.fill.floor.Best(),
                    fillRatio, 1000 * result.windowPass.product.Best() / std::max<long long>(1, result.objects),
                    depth > 0 && chainObjects != (1LL << depth) ? "  !! not 2^depth" : "");
        std::fflush(stdout);
        if (depth == 16) {
            report.PrintScan("deep16", result, false);
            report.PrintMemory("deep16", WatchOneScan(host));
        }
    }
    return 0;
}

} // namespace

int RunDesktop(const std::string& desktop, int rounds, int processes, Report& report)
{
    ReplaceMessageBoxFunction(ImmediateOk);
    if (desktop == "flat") return RunFlatLike("flat", L"flat 10 5", processes, rounds, true, report);
    if (desktop == "wide") return RunFlatLike("wide", L"wide 20 500", 1, rounds, true, report);
    if (desktop == "bulk") return RunFlatLike("bulk", L"wide 40 500", 1, rounds, false, report);
    if (desktop == "deep") return RunDeep(rounds, report);
    if (desktop == "repeat") return RunRepeatScan(rounds, report);
    std::printf("!! unknown desktop %s\n", desktop.c_str());
    return 2;
}
