// The benchmark's printed report: a line per stage with product, floor and ratio, the memory a
// scan holds and releases, and whether every target was met.
#pragma once
#include "platform/RuntimeError.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

struct FillMemory;
struct ScanResult;
struct StageResult;

class Report {
public:
    explicit Report(bool printSamples) : m_printSamples(printSamples) {}

    // The three stages; `targeted` judges each ratio against the 1.5x target.
    void PrintScan(const char* desktop, const ScanResult& result, bool targeted);
    void PrintMemory(const char* desktop, const FillMemory& memory);
    // A target judged outside the stage lines.
    void Judge(bool met)
    {
        if (!met) m_allTargetsMet = false;
    }

    bool AllTargetsMet() const { return m_allTargetsMet; }

private:
    void PrintStage(const char* desktop, const char* stage, const StageResult& result, const std::string& counts,
                    bool targeted);

    bool m_printSamples;
    bool m_allTargetsMet = true;
};

// A stage that raises is reported and the measurement goes on: a number is worth nothing then.
template <class Stage>
void RunStage(const char* name, Stage&& stage)
{
    const HRESULT hr = ExceptionBarrier(std::forward<Stage>(stage));
    if (FAILED(hr)) std::printf("  !! %s failed: %ls\n", name, DescribeError(hr).c_str());
}
