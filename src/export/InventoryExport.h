// The two file formats of an inventory, written from a scan's record: JSON (one object per
// process, windows nested under their parents, every name in Unicode) or the node texts, one
// line per node.
#pragma once
#include "inventory/ScanRecord.h"

#include <optional>
#include <string>

enum class ExportFormat { Json, Text };

// ".json" or ".txt", in any case; nothing for any other path.
std::optional<ExportFormat> ExportFormatOf(const std::wstring& path);

// The file's bytes, strict UTF-8.
std::string FormatInventory(const ScanRecord& record, ExportFormat format);

// Writes the record to `path` in the format of its extension, replacing any old file only once
// the new one is whole. Raises on failure (E_INVALIDARG for another extension, E_PENDING when
// there is no scan to write).
void ExportRecord(const ScanRecord* record, const std::wstring& path);

// The handle as the JSON spells it (HandleDigits, in UTF-8).
std::string HandleHex(LONG handle);

// "Cannot write PATH: <the system's words for the failure>", for the user.
std::wstring DescribeExportFailure(HRESULT failure, const std::wstring& path);
// The system's words for a Win32 failure, or the run-time error's.
std::wstring DescribeSystemError(HRESULT failure);
