// The floor serializes the same record's fields into an nlohmann document and dumps it, and
// parses the two exported files into nlohmann documents: the least any export and comparison
// of that record could do.
#include "RecordBench.h"

#include "BenchHost.h"
#include "Report.h"
#include "Timing.h"
#include "export/InventoryComparison.h"
#include "export/InventoryExport.h"
#include "inspect/TreeArrangement.h"
#include "inspect/TreeSearch.h"
#include "inventory/APi.h"
#include "inventory/ScanRecorder.h"
#include "platform/LineText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {
using Json = nlohmann::ordered_json;

std::string FloorExport(const ScanRecord& record)
{
    Json processes = Json::array();
    for (const RecordedProcess& process : record.Processes()) {
        // Flat, each window naming its parent: no nesting work at all.
        Json windows = Json::array();
        for (size_t i = process.firstWindow; i < process.endWindow; ++i) {
            const RecordedWindow& window = record.Windows()[i];
            windows.push_back(Json{{"hwnd", window.handle}, {"parent", window.parent}, {"caption", Utf8(window.caption)},
                                   {"class", Utf8(window.className)}, {"owner", window.owner},
                                   {"thread", window.threadId}, {"visible", window.visible},
                                   {"rect", {window.rect.left, window.rect.top, window.rect.right, window.rect.bottom}}});
        }
        processes.push_back(Json{{"pid", process.processId}, {"exe", Utf8(process.exeName)},
                                 {"path", Utf8(process.path)}, {"windows", std::move(windows)}});
    }
    return Json{{"processes", std::move(processes)}}.dump(2) + "\n";
}

void Print(const char* stage, const StageResult& result, const char* unit)
{
    std::printf("bulk   %-13s %10.1f %10.1f %8.2f %8.2f  <=1.25   %s\n", stage, result.product.Best(), result.floor.Best(),
                result.Ratio(), result.BestRatio(), unit);
}
} // namespace

namespace {
enum class Reading { Inline, Beside, DuringTheBox };

// One scan with its record read one way: the fill's time, and the time from the tree filled to
// the record whole.
std::pair<double, double> ScanReadingRecord(BenchHost& host, Reading reading)
{
    BuildProcessList();
    EnumWindows(EnumTopWindowProc, 0);
    (void)TakeTopWindowFailure();
    ScanRecorder recorder(ProcessList, TopWindowOrder);
    const double start = NowMs();
    if (reading == Reading::Beside) recorder.ReadOnThread(nullptr, 0);
    if (reading == Reading::DuringTheBox) {
        FillWindowTreeReading(recorder, host.Tree(), host.Progress());
    } else {
        FillWindowTree(host.Tree(), host.Progress());
    }
    const double filled = NowMs();
    recorder.Record();
    const double whole = NowMs();
    PumpMessages();
    return {filled - start, whole - filled};
}

// What each way of reading the record costs the clear, box and fill (the box answered at once),
// and how long the record then takes: read on the GUI thread after the fill, on a thread beside
// the whole of it, or on a thread only while the box is up and after the fill (the form's way).
void CompareReadings(BenchHost& host, int rounds, size_t windows)
{
    const char* const names[] = {"on the GUI thread after the fill", "on a thread beside clear and fill",
                                 "on a thread while the box is up"};
    std::vector<double> fill[3], after[3];
    for (int round = 0; round < rounds; ++round) {
        for (int way = 0; way < 3; ++way) {
            const auto [filling, rest] = ScanReadingRecord(host, static_cast<Reading>((way + round) % 3));
            fill[(way + round) % 3].push_back(filling);
            after[(way + round) % 3].push_back(rest);
        }
    }
    const double alone = Median(fill[0]);
    for (int way = 0; way < 3; ++way) {
        std::printf("bulk   record read %-34s clear+fill %7.1f ms (%.2fx alone), whole %7.1f ms after it"
                    " (%.1f us per window)\n",
                    names[way], Median(fill[way]), Median(fill[way]) / std::max(alone, 1e-3), Median(after[way]),
                    1000 * Median(after[way]) / std::max<size_t>(1, windows));
    }
}
} // namespace

void MeasureRecordWork(BenchHost& host, int rounds, Report& report)
{
    BuildProcessList();
    EnumWindows(EnumTopWindowProc, 0);
    (void)TakeTopWindowFailure();
    ScanRecorder recorder(ProcessList, TopWindowOrder);
    const double fillStart = NowMs();
    FillWindowTree(host.Tree(), host.Progress());
    const double designedFill = NowMs() - fillStart;
    const std::shared_ptr<const ScanRecord> record = recorder.Record();
    const size_t windows = record->Windows().size();
    CompareReadings(host, rounds, windows);

    StageResult exportTime, compareTime;
    std::string productBytes, floorBytes;
    for (int round = 0; round <= rounds; ++round) {
        double start = NowMs();
        productBytes = FormatInventory(*record, ExportFormat::Json);
        double product = NowMs() - start;
        start = NowMs();
        floorBytes = FloorExport(*record);
        double floor = NowMs() - start;
        if (round > 0) exportTime.product.Add(product), exportTime.floor.Add(floor);

        start = NowMs();
        std::wstring problem;
        const std::optional<ComparedInventory> before = ParseInventory(productBytes, problem);
        const std::optional<ComparedInventory> after = ParseInventory(productBytes, problem);
        const std::string answer =
            before && after ? FormatDifferences(CompareInventories(*before, *after), ExportFormat::Text) : "";
        product = NowMs() - start;
        start = NowMs();
        const Json parsedBefore = Json::parse(productBytes);
        const Json parsedAfter = Json::parse(productBytes);
        floor = NowMs() - start;
        if (answer.empty() || parsedBefore.size() != parsedAfter.size()) std::printf("  !! the comparison failed\n");
        if (round > 0) compareTime.product.Add(product), compareTime.floor.Add(floor);
    }
    Print("export json", exportTime, (std::to_string(windows) + " windows, " + std::to_string(productBytes.size() >> 10) +
                                          " KB (floor " + std::to_string(floorBytes.size() >> 10) + " KB)").c_str());
    Print("compare", compareTime, "two exports of it, read, matched and reported");
    report.Judge(exportTime.Ratio() <= 1.25 && compareTime.Ratio() <= 1.25);

    // A search that matches nothing wraps round every node back to the selection.
    FindQuery query;
    query.text = L"no node holds this text";
    Timing find;
    const TreeArrangement byProcess(record, Arrangement::ByProcess, GetDesktopWindow());
    for (int round = 0; round <= rounds; ++round) {
        const double start = NowMs();
        const std::wstring key = FindNodeKey(byProcess, query, NodeSubject{});
        if (round > 0) find.Add(NowMs() - start);
        if (!key.empty()) std::printf("  !! the search found %ls\n", key.c_str());
    }
    const bool met = find.Best() <= 50;
    report.Judge(met);
    std::printf("bulk   find (wraps)  %10.1f ms over %zu nodes (target <= 50 ms natively): %s\n", find.Best(),
                windows + record->Processes().size(), met ? "met" : "NOT MET");

    // Switching the tree's arrangement: the record arranged, the tree cleared and filled from it,
    // against the scan's own fill of the same nodes (one sample, after the box).
    const char* const names[] = {"by process", "in z-order", "by thread"};
    for (const Arrangement arrangement : {Arrangement::ZOrder, Arrangement::ByThread, Arrangement::ByProcess}) {
        Timing arranging, filling;
        size_t nodes = 0;
        for (int round = 0; round <= rounds; ++round) {
            const double start = NowMs();
            const TreeArrangement arranged(record, arrangement, GetDesktopWindow());
            const double arrangedAt = NowMs();
            arranged.Fill(host.Tree());
            if (round > 0) arranging.Add(arrangedAt - start), filling.Add(NowMs() - arrangedAt);
            nodes = arranged.Nodes().size();
            PumpMessages();
        }
        std::printf("bulk   arrange %-10s  %7.1f ms, the tree filled from it %7.1f ms (%.2fx the scan's fill, "
                    "%.1f ms), %zu nodes\n",
                    names[static_cast<int>(arrangement)], arranging.Best(), filling.Best(),
                    filling.Best() / std::max(designedFill, 1e-3), designedFill, nodes);
    }
}
