// ANSI code page conversions for the fixed buffers of the ANSI entry points.
#include "platform/AnsiText.h"

#include <windows.h>

#include <cstring>

std::wstring AnsiBufferToWide(const char* bytes, size_t size)
{
    const void* nul = std::memchr(bytes, '\0', size);
    const int length = static_cast<int>(nul ? static_cast<const char*>(nul) - bytes : size);
    if (length == 0) return {};
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, bytes, length, nullptr, 0);
    std::wstring result(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes, length, result.data(), wideLength);
    return result;
}

std::string WideToAnsi(const std::wstring& text)
{
    if (text.empty()) return {};
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

std::wstring AnsiRendering(const std::wstring& text, size_t bufferSize)
{
    if (bufferSize == 0) return {};
    std::string ansi = WideToAnsi(text.substr(0, bufferSize - 1));
    if (ansi.size() > bufferSize - 1) ansi.resize(bufferSize - 1);
    return AnsiBufferToWide(ansi.data(), ansi.size());
}
