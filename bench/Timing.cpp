// The clock, the ratios, and the timed rounds of product and floor.
#include "Timing.h"

#include "BenchHost.h"
#include "Floor.h"
#include "Report.h"
#include "inventory/APi.h"
#include "inventory/ScanRecorder.h"
#include "platform/RuntimeError.h"
#include "window_model/ScreenWindowInfo.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <cstdio>

double NowMs()
{
    static const double unit = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return 1000.0 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * unit;
}

double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Timing::Best() const
{
    return samples.empty() ? 0 : *std::min_element(samples.begin(), samples.end());
}

double StageResult::Ratio() const
{
    std::vector<double> ratios;
    for (size_t i = 0; i < product.samples.size() && i < floor.samples.size(); ++i) {
        if (floor.samples[i] > 0) ratios.push_back(product.samples[i] / floor.samples[i]);
    }
    return Median(std::move(ratios));
}

namespace {

void RunProduct(BenchHost& host, ScanResult& result)
{
    double start = NowMs();
    RunStage("the process list", [] { BuildProcessList(); });
    double end = NowMs();
    result.processList.product.Add(end - start);
    result.processes = ProcessList.size();

    // As the form scans: the record's outline ends the pass, its facts are read on a thread of
    // its own while the box is up and after the fill.
    const LONG before = WindowObjectCount;
    start = NowMs();
    EnumWindows(EnumTopWindowProc, 0);
    const HRESULT failure = TakeTopWindowFailure();
    ScanRecorder recorder(ProcessList, TopWindowOrder);
    end = NowMs();
    result.windowPass.product.Add(end - start);
    if (FAILED(failure)) std::printf("  !! the window pass failed: %ls\n", DescribeError(failure).c_str());
    result.objects = WindowObjectCount - before;

    start = NowMs();
    RunStage("the fill", [&] { FillWindowTreeReading(recorder, host.Tree(), host.Progress()); });
    end = NowMs();
    result.fill.product.Add(end - start);
    result.nodes = host.Tree().Count();
    RunStage("the record", [&] { result.windows = recorder.Record()->Windows().size(); });
    result.recordAfterFill.Add(NowMs() - end);
    PumpMessages();
}

void RunFloor(BenchHost& host, ScanResult& result)
{
    FloorScan scan;
    double start = NowMs();
    scan.ListProcesses();
    double end = NowMs();
    result.processList.floor.Add(end - start);

    start = NowMs();
    scan.PassWindows();
    end = NowMs();
    result.windowPass.floor.Add(end - start);
    result.floorEntries = scan.Entries();

    start = NowMs();
    FloorScan::Clear(host.Tree().hWnd()); // the product's fill clears first too
    result.floorNodes = scan.Fill(host.Tree().hWnd(), host.Progress().hWnd());
    end = NowMs();
    result.fill.floor.Add(end - start);
    PumpMessages();
}

} // namespace

ScanResult Measure(BenchHost& host, int rounds)
{
    ScanResult warmUp;
    RunProduct(host, warmUp);
    RunFloor(host, warmUp);
    ScanResult result;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            RunProduct(host, result);
            RunFloor(host, result);
        } else {
            RunFloor(host, result);
            RunProduct(host, result);
        }
    }
    return result;
}
