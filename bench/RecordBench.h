// What a scan's record costs: the fill and the wait for the record with the facts read on the GUI
// thread, on a thread beside the fill, or on a thread held while the tree fills; past the fill,
// the JSON export and /compare of a 20,000-window scan against a floor of nlohmann-json alone,
// and a find that wraps round every node.
#pragma once

class BenchHost;
class Report;

// Scans the desktop already built into `host` once and measures over its record.
void MeasureRecordWork(BenchHost& host, int rounds, Report& report);
