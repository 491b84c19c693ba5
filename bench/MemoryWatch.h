// What a scan does to memory and to painting: the process's memory counters, and one product
// scan watched from inside the tree's own messages.
#pragma once
#include <windows.h>

#include <cstddef>
#include <vector>

class BenchHost;

struct Memory {
    double privateMb;     // PrivateUsage, or PagefileUsage where the platform leaves it at 0
    double peakPagefileMb;
    double peakWorkingSetMb;
};

Memory ReadMemory();

// Memory at one moment of a scan: live objects, what operator new holds, the process's private bytes.
struct MemoryPoint {
    LONG objects;
    double heapMb;
    double privateMb;
};

// What the fill did to the tree and to memory, seen from inside the tree's own messages.
struct FillWatch {
    bool filling = false;
    size_t inserts = 0;
    int paintsDuringFill = 0;
    LONG nextSampleBelow = 0; // the next quarter of the objects to see released
    LONG quarter = 1;
    std::vector<MemoryPoint> samples;
};

struct FillMemory {
    MemoryPoint beforePass{}, afterPass{}, afterFill{};
    FillWatch watch;
    int paintsAfterFill = 0;
};

// One product scan, untimed and first in the process, watched from the tree's messages: the
// memory the objects hold, how it falls back as each top-level window's subtree is released,
// and whether the tree paints while it fills.
FillMemory WatchOneScan(BenchHost& host);
