// Memory counters, and the watched scan.
#include "MemoryWatch.h"

#include "BenchHost.h"
#include "CountingAllocator.h"
#include "Report.h"
#include "Timing.h"
#include "inventory/APi.h"
#include "platform/RuntimeError.h"
#include "window_model/ScreenWindowInfo.h"

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>

Memory ReadMemory()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    const double mb = 1024.0 * 1024.0;
    const SIZE_T privateBytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    return Memory{privateBytes / mb, counters.PeakPagefileUsage / mb, counters.PeakWorkingSetSize / mb};
}

namespace {

double HeapMb()
{
    return CountingAllocator::LiveBytes() / (1024.0 * 1024.0);
}

MemoryPoint MemoryNow()
{
    return MemoryPoint{WindowObjectCount, HeapMb(), ReadMemory().privateMb};
}

LRESULT CALLBACK WatchTree(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR context)
{
    auto* watch = reinterpret_cast<FillWatch*>(context);
    if (message == TVM_INSERTITEMW) {
        ++watch->inserts;
        if (WindowObjectCount <= watch->nextSampleBelow && watch->nextSampleBelow > 0) {
            watch->samples.push_back(MemoryNow());
            while (watch->nextSampleBelow >= WindowObjectCount) watch->nextSampleBelow -= watch->quarter;
        }
    }
    if (message == WM_PAINT && watch->filling) ++watch->paintsDuringFill;
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK CountPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR context)
{
    if (message == WM_PAINT) ++*reinterpret_cast<int*>(context);
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

FillMemory WatchOneScan(BenchHost& host)
{
    FillMemory memory;
    RunStage("the process list", [] { BuildProcessList(); });
    memory.beforePass = MemoryNow();
    EnumWindows(EnumTopWindowProc, 0);
    RunStage("the window pass", [] { RaiseIfFailed(TakeTopWindowFailure()); });
    memory.afterPass = MemoryNow();

    memory.watch.quarter = std::max<LONG>(1, memory.afterPass.objects / 4);
    memory.watch.nextSampleBelow = memory.afterPass.objects - memory.watch.quarter;
    memory.watch.filling = true;
    const HWND tree = host.Tree().hWnd();
    SetWindowSubclass(tree, WatchTree, 1, reinterpret_cast<DWORD_PTR>(&memory.watch));
    RunStage("the fill", [&] { FillWindowTree(host.Tree(), host.Progress()); });
    memory.watch.filling = false;
    RemoveWindowSubclass(tree, WatchTree, 1);
    memory.afterFill = MemoryNow();

    SetWindowSubclass(tree, CountPaints, 2, reinterpret_cast<DWORD_PTR>(&memory.paintsAfterFill));
    const double until = NowMs() + 300;
    while (NowMs() < until) {
        PumpMessages();
        Sleep(10);
    }
    RemoveWindowSubclass(tree, CountPaints, 2);
    return memory;
}
