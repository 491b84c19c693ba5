// The UTF-8 coder is our own so that a lone surrogate has one answer on every system (some
// code pages drop it, some fail the whole call).
#include "platform/LineText.h"

#include <windows.h>

namespace {
void AppendSpelled(std::wstring& line, wchar_t c)
{
    if (c == L'\r') {
        line += L"\\r";
    } else if (c == L'\n') {
        line += L"\\n";
    } else if (c == L'\t') {
        line += L"\\t";
    } else {
        wchar_t escaped[8];
        wsprintfW(escaped, c > 0xFF ? L"\\u%04x" : L"\\x%02x", static_cast<unsigned>(c));
        line += escaped;
    }
}

bool IsSurrogate(wchar_t c, wchar_t from, wchar_t to)
{
    return c >= from && c <= to;
}
} // namespace

std::wstring OneLine(const std::wstring& text)
{
    std::wstring line;
    line.reserve(text.size());
    for (const wchar_t c : text) {
        if (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c <= 0x9F) && c != 0x2028 && c != 0x2029) {
            line += c;
        } else {
            AppendSpelled(line, c);
        }
    }
    return line;
}

bool IsMisleading(wchar_t c)
{
    static constexpr struct {
        wchar_t from, to;
    } kRanges[] = {
        {0x0000, 0x001F}, {0x007F, 0x009F}, {0x00AD, 0x00AD}, {0x061C, 0x061C}, {0x180E, 0x180E},
        {0x200B, 0x200F}, {0x2028, 0x202E}, {0x2060, 0x206F}, {0xFEFF, 0xFEFF}, {0xFFF9, 0xFFFB},
    };
    for (const auto& range : kRanges) {
        if (c >= range.from && c <= range.to) return true;
    }
    return false;
}

std::wstring Visible(const std::wstring& text)
{
    std::wstring line;
    line.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const bool high = IsSurrogate(c, 0xD800, 0xDBFF), low = IsSurrogate(c, 0xDC00, 0xDFFF);
        if (high && i + 1 < text.size() && IsSurrogate(text[i + 1], 0xDC00, 0xDFFF)) {
            line.append(text, i++, 2);
        } else if (IsMisleading(c) || high || low) {
            AppendSpelled(line, c);
        } else {
            line += c;
        }
    }
    return line;
}

void AppendUtf8(std::string& out, const std::wstring& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned code = text[i];
        if (code < 0x80) {
            out += static_cast<char>(code);
            continue;
        }
        if (code >= 0xD800 && code <= 0xDFFF) {
            const bool pair = code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            code = pair ? 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00) : 0xFFFD;
        }
        if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        }
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string Utf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    AppendUtf8(out, text);
    return out;
}

std::wstring FromUtf8(const std::string& bytes)
{
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, nullptr, 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, &text[0], length);
    return text;
}
