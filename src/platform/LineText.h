// Text that must stay on one line and be written as UTF-8 without loss.
#pragma once
#include <string>

// `text` with every control character spelled out, so that one line is one node: CR, LF and
// tab as \r, \n and \t, the other C0 and C1 controls and DEL as \x01 (two hex digits), the line
// and paragraph separators as \u2028 and \u2029. Everything else, backslashes included, stays.
std::wstring OneLine(const std::wstring& text);

// Whether `c` would mislead shown as it is: a C0 or C1 control, DEL, or a character that is
// invisible or turns the direction of what follows (bidi embeddings, overrides, isolates and
// marks, zero-width characters, word joiners, the byte order mark, line and paragraph
// separators, the soft hyphen, interlinear annotation marks).
bool IsMisleading(wchar_t c);
// `text` with each such character spelled out as OneLine spells controls (\r, \n, \t, \x01,
// \u202e), and a lone surrogate as \ud800: what another program names or writes reads as what
// it is ("safe.txt\u202etxt.exe"). Backslashes and everything else stay.
std::wstring Visible(const std::wstring& text);

// Strict UTF-8 of UTF-16 text: a lone surrogate becomes U+FFFD, nothing else changes. Appended.
void AppendUtf8(std::string& out, const std::wstring& text);
std::string Utf8(const std::wstring& text);
// The other way: invalid bytes become U+FFFD.
std::wstring FromUtf8(const std::string& bytes);
