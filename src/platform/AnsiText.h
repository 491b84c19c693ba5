// Text across the ANSI Win32 entry points: fixed byte buffers in the system ANSI code page.
#pragma once
#include <string>

// The characters before the first NUL of `bytes` (at most `size` bytes), converted from the
// ANSI code page to UTF-16.
std::wstring AnsiBufferToWide(const char* bytes, size_t size);

// `text` in the ANSI code page, as the platform renders it (unmappable characters replaced).
std::string WideToAnsi(const std::wstring& text);
