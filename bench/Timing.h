// Timing the scan's stages: the clock, the rounds' samples, the product-over-floor ratio, and
// the timed rounds themselves (product and floor back to back).
#pragma once
#include <cstddef>
#include <vector>

class BenchHost;

// Milliseconds from the performance counter.
double NowMs();
// The middle sample (the mean of the two middle ones for an even count); 0 for none.
double Median(std::vector<double> values);

struct Timing {
    std::vector<double> samples;
    void Add(double ms) { samples.push_back(ms); }
    double Best() const;
};

struct StageResult {
    Timing product;
    Timing floor;

    // Product over floor within each round, the median of those: the two ran back to back,
    // so whatever else loaded the machine then weighed on both.
    double Ratio() const;
    double BestRatio() const { return floor.Best() > 0 ? product.Best() / floor.Best() : 0; }
};

struct ScanResult {
    StageResult processList, windowPass, fill;
    size_t processes = 0;      // records of the product's process list
    long long objects = 0;     // built by the product's window pass
    size_t floorEntries = 0;   // the floor's equivalent of objects
    size_t nodes = 0;          // inserted by the product's fill
    size_t floorNodes = 0;
    size_t windows = 0;        // in the product's record
    Timing recordAfterFill;    // from the tree filled to the record whole (the box answered at once)
};

// Product and floor in turn, the order alternating; the first round only warms up.
ScanResult Measure(BenchHost& host, int rounds);
