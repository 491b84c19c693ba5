// What a scan's record costs past the fill: the JSON export and /compare of a 20,000-window
// scan against a floor of nlohmann-json alone, and a find that wraps round every node.
#pragma once

class BenchHost;
class Report;

// Scans the desktop already built into `host` once and measures over its record.
void MeasureRecordWork(BenchHost& host, int rounds, Report& report);
