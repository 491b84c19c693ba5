// Reads a tree view's nodes back as lines, for comparing what a fill produced with what it should be.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The whole tree of a tree-view window of this process, depth first, each node's text indented
// by two spaces per level.
std::vector<std::wstring> ReadTree(HWND tree);

// The lines beneath the first line whose text (at any level) starts with `start`, indented as seen
// from it; empty when there is no such line.
std::vector<std::wstring> Beneath(const std::vector<std::wstring>& lines, const std::wstring& start);
