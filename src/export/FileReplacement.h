// Writing a whole file so that its path never holds a half-written one: the bytes go to a
// file beside it, which then replaces it in one move.
#pragma once
#include <string>

// Raises HRESULT_FROM_WIN32 of the call that failed; the old file, if any, is then untouched
// and nothing new is left behind.
void WriteFileReplacing(const std::wstring& path, const std::string& bytes);
