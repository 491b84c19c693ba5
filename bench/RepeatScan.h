// The repeated scan: what a user waits for when scanning the same desktop again and again in one
// program. The program's own Form1 (hooked through its generated window procedure, as shipped)
// scans a desktop of over 20,000 windows; every measured scan is a second or later one, so it
// first clears the previous scan's tree. Each stage is timed against its floor, the clear
// against the same tree cleared under a parent with a plain window procedure, and the whole
// click -> box -> filled against the floors' sum.
#pragma once

class Report;

// Builds the desktop, measures `rounds` repeated scans and prints the table. Returns 0, or 1
// when the desktop could not be built.
int RunRepeatScan(int rounds, Report& report);
