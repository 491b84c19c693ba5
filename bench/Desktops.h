// The synthetic desktops the benchmark measures, each built by SyntheticDesktop helpers that it
// starts:
//   wide  one process, 20 top-level windows x 500 children
//   bulk  one process, 40 top-level windows x 500 children: a fill of over 20,000 nodes
//   deep  one chain of child windows, depth 1 to 16, one helper per depth (0: the rest alone)
//   flat  P processes x 10 top-level windows x 5 children
//   repeat   the bulk desktop scanned again and again by the program's own Form1 (RepeatScan.h)
#pragma once
#include <string>

class Report;

// Builds desktop `desktop`, measures it and reports it. Returns 0, 1 when the desktop could not
// be built, or 2 for an unknown name.
int RunDesktop(const std::string& desktop, int rounds, int processes, Report& report);
