// Text that must stay on one line and be written as UTF-8 without loss.
#pragma once
#include <string>

// `text` with every control character spelled out, so that one line is one node: CR, LF and
// tab as \r, \n and \t, the other C0 and C1 controls and DEL as \x01 (two hex digits), the line
// and paragraph separators as \u2028 and \u2029. Everything else, backslashes included, stays.
std::wstring OneLine(const std::wstring& text);

// Strict UTF-8 of UTF-16 text: a lone surrogate becomes U+FFFD, nothing else changes. Appended.
void AppendUtf8(std::string& out, const std::wstring& text);
std::string Utf8(const std::wstring& text);
// The other way: invalid bytes become U+FFFD.
std::wstring FromUtf8(const std::string& bytes);
