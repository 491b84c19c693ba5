// Writing a whole file so that its path never holds a half-written one: the bytes go to a
// temporary file in the target's folder, which then takes the target's place in one step.
#pragma once
#include <windows.h>

#include <string>

// Raised, in words, when the target is a folder.
constexpr HRESULT kErrorTargetIsFolder = static_cast<HRESULT>(0x80070150); // ERROR_DIRECTORY_NOT_SUPPORTED

// An existing target is replaced with ReplaceFileW, so it keeps its security descriptor, its
// other streams and its attributes, as Windows' own programs do. Long paths (\\?\) work.
// Raises HRESULT_FROM_WIN32 of the call that failed; the old file, if any, is then untouched
// and nothing new is left behind.
void WriteFileReplacing(const std::wstring& path, const std::string& bytes);
