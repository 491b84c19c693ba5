// The two file formats of an inventory, and saving what a tree shows in the one its path asks
// for: JSON (one object per process, windows nested under their parents) or the node texts.
#pragma once
#include "controls/TreeViewControl.h"
#include "export/TreeInventory.h"

#include <optional>
#include <string>

enum class ExportFormat { Json, Text };

// ".json" or ".txt", in any case; nothing for any other path.
std::optional<ExportFormat> ExportFormatOf(const std::wstring& path);

// The file's bytes, UTF-8.
std::string FormatInventory(const TreeInventory& inventory, ExportFormat format);

// Reads the tree and writes it to `path` in the format of its extension, replacing any old
// file only once the new one is whole. Raises on failure (E_INVALIDARG for another extension).
void ExportTree(const TreeViewControl& tree, const ScanStamp& stamp, const std::wstring& path);

// "Cannot write PATH: <the system's words for the failure>", for the user.
std::wstring DescribeExportFailure(HRESULT failure, const std::wstring& path);
