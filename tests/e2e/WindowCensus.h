// The test's own account of what a scan has to find, taken with the platform's calls alone:
// the process snapshot, every top-level window and everything beneath each, in the order the
// platform reports them. From it follow the object count the scan must report and the tree it
// must fill, worked out here without any of the product's code.
#pragma once
#include "support/TreeReader.h"

#include <windows.h>

#include <string>
#include <vector>

struct CensusProcess {
    DWORD id = 0;
    std::wstring exeName;
    bool operator==(const CensusProcess& other) const { return id == other.id && exeName == other.exeName; }
};

struct CensusWindow {
    HWND handle = nullptr;
    DWORD processId = 0;
    std::wstring caption;   // as stored by the system, at most the first 511 characters
    std::wstring className;
    std::vector<CensusWindow> children; // direct children, top of the z-order first
    bool operator==(const CensusWindow& other) const
    {
        return handle == other.handle && processId == other.processId && caption == other.caption &&
               className == other.className && children == other.children;
    }
};

struct Census {
    std::vector<CensusProcess> snapshot; // every entry, the first one included
    std::vector<CensusWindow> topWindows; // in EnumWindows order
    bool operator==(const Census& other) const
    {
        return snapshot == other.snapshot && topWindows == other.topWindows;
    }
};

Census TakeCensus();

// The processes a scan records: the snapshot from its second entry on.
std::vector<CensusProcess> RecordedProcesses(const Census& census);

// Window objects a scan builds: each top-level window of a recorded process is held once, and
// a window k levels below it 2^(k-1) times, because every object enumerates all descendants of
// its window again.
long long ExpectedObjectCount(const Census& census);

// One root per recorded process in snapshot order, its top-level windows beneath it, and every
// window under its own parent, once.
std::vector<TreeNode> ExpectedTree(const Census& census);

// "hWnd: " + 8 uppercase hex digits + "h", the opening of every window node.
std::wstring WindowNodePrefix(HWND window);
// The whole text of a window node, from the text as shown and the class name.
std::wstring WindowNodeText(HWND window, const std::wstring& shownCaption, const std::wstring& className);

// What a program that reads `text` into a buffer of limit+1 ANSI bytes gets back, widened:
// the first `byteLimit` bytes of the text in the ANSI code page.
std::wstring AnsiRendering(const std::wstring& text, size_t byteLimit);

// A readable account of where two censuses differ (empty when they do not).
std::wstring DescribeDifference(const Census& before, const Census& after);
// The forest as indented lines, for failure messages.
std::wstring FormatTree(const std::vector<TreeNode>& nodes);
// The first place where two forests differ, as a path of node texts (empty when equal).
std::wstring FirstDifference(const std::vector<TreeNode>& expected, const std::vector<TreeNode>& actual);
