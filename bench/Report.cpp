// The report's lines.
#include "Report.h"

#include "MemoryWatch.h"
#include "Timing.h"

#include <algorithm>
#include <cstdio>

void Report::PrintStage(const char* desktop, const char* stage, const StageResult& result, const std::string& counts,
                        bool targeted)
{
    const double ratio = result.Ratio();
    const char* verdict = "";
    if (targeted) {
        verdict = ratio <= 1.5 ? "met" : "NOT MET";
        Judge(ratio <= 1.5);
    }
    if (m_printSamples) {
        std::printf("%-6s %-13s product:", desktop, stage);
        for (double ms : result.product.samples) std::printf(" %.2f", ms);
        std::printf("; floor:");
        for (double ms : result.floor.samples) std::printf(" %.2f", ms);
        std::printf("\n");
    }
    std::printf("%-6s %-13s %10.2f %10.2f %7.2fx %7.2fx  %-7s %s\n", desktop, stage, result.product.Best(),
                result.floor.Best(), ratio, result.BestRatio(), verdict, counts.c_str());
}

void Report::PrintScan(const char* desktop, const ScanResult& result, bool targeted)
{
    PrintStage(desktop, "process list", result.processList, std::to_string(result.processes) + " processes",
               targeted);
    std::string pass = std::to_string(result.objects) + " objects";
    if (static_cast<size_t>(result.objects) != result.floorEntries) {
        pass += " (floor walked " + std::to_string(result.floorEntries) + "!)";
    }
    PrintStage(desktop, "window pass", result.windowPass, pass, targeted);
    std::string fill = std::to_string(result.nodes) + " nodes from " + std::to_string(result.objects) + " insertions";
    if (result.nodes != result.floorNodes) fill += " (floor inserted " + std::to_string(result.floorNodes) + "!)";
    PrintStage(desktop, "tree fill", result.fill, fill, targeted);
    std::printf("%-6s record        whole %.2f ms (median) after the tree was filled, its %zu windows read on a thread"
                " while the box was up (answered at once) and after the fill\n",
                desktop, Median(result.recordAfterFill.samples), result.windows);
}

void Report::PrintMemory(const char* desktop, const FillMemory& memory)
{
    const Memory now = ReadMemory();
    const MemoryPoint& held = memory.afterPass;
    std::printf("%-6s memory        %ld objects hold %.2f MB of heap (%.0f bytes each); private %.1f -> %.1f MB;"
                " peak working set %.1f MB, peak pagefile %.1f MB\n",
                desktop, static_cast<long>(held.objects), held.heapMb - memory.beforePass.heapMb,
                (held.heapMb - memory.beforePass.heapMb) * 1024 * 1024 / std::max<LONG>(1, held.objects),
                memory.beforePass.privateMb, held.privateMb, now.peakWorkingSetMb, now.peakPagefileMb);
    std::printf("%-6s released      ", desktop);
    for (const MemoryPoint& sample : memory.watch.samples) {
        std::printf("%ld objects %.2f MB; ", static_cast<long>(sample.objects),
                    sample.heapMb - memory.beforePass.heapMb);
    }
    std::printf("filled: %ld objects %.2f MB (heap beyond the tree's own keys), private %.1f MB\n",
                static_cast<long>(memory.afterFill.objects), memory.afterFill.heapMb - memory.beforePass.heapMb,
                memory.afterFill.privateMb);
    std::printf("%-6s repaint       the tree painted %d times during the fill (%zu insertions), %d times after it\n",
                desktop, memory.watch.paintsDuringFill, memory.watch.inserts, memory.paintsAfterFill);
}
