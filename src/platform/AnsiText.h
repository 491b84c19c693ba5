// Text across the ANSI Win32 entry points: fixed byte buffers in the system ANSI code page.
#pragma once
#include <string>

// The characters before the first NUL of `bytes` (at most `size` bytes), converted from the
// ANSI code page to UTF-16.
std::wstring AnsiBufferToWide(const char* bytes, size_t size);

// `text` in the ANSI code page, as the platform renders it (unmappable characters replaced).
std::string WideToAnsi(const std::wstring& text);

// `text` as an ANSI entry point with a buffer of `bufferSize` bytes gives it back (GetWindowTextA
// of another process's window): rendered through the ANSI code page, cut to fit with its NUL.
std::wstring AnsiRendering(const std::wstring& text, size_t bufferSize);
