// Reading an inventory file back for comparing: this version's JSON and the older one without
// the Unicode and state fields. Whatever the file holds, the reader answers in words, never by
// crashing or running out of stack: too large, not JSON, cut short, nested too deep, the wrong
// shape, a handle listed twice. Fields it does not know are ignored.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Strings as the file has them, UTF-8.
struct ComparedProcess {
    LONG processId = 0;
    std::string exeName;
    bool self = false; // a process of WindowInventory itself
};

struct ComparedWindow {
    LONG handle = 0;
    LONG processId = 0;
    LONG parent = 0; // the window it is nested in; 0 for a top-level window
    std::string className;
    std::string caption; // empty for a window without one (an export's INVALID)
    std::optional<bool> visible; // older files do not say
};

struct ComparedInventory {
    std::vector<ComparedProcess> processes;
    std::vector<ComparedWindow> windows;
};

// Files above this are refused before a byte is read.
constexpr unsigned long long kLargestInventoryFile = 64ull << 20;
// Arrays and objects nested deeper than this are refused while parsing.
constexpr int kDeepestInventoryNesting = 512;

// The inventory in the file at `path`, or nothing with `problem` saying why, for the user.
[[nodiscard]] std::optional<ComparedInventory> ReadInventoryFile(const std::wstring& path, std::wstring& problem);
// The same from the file's bytes.
[[nodiscard]] std::optional<ComparedInventory> ParseInventory(const std::string& bytes, std::wstring& problem);
