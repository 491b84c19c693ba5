// GetDpiForWindow is looked up at run time: the program also runs on Windows 7, whose user32
// does not export it.
#include "controls/Twips.h"

#include <cmath>

int TwipsToPixels(double twips, int dpi)
{
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

float PixelsToTwips(int pixels, int dpi)
{
    return static_cast<float>(pixels * 1440.0 / dpi);
}

int WindowDpi(HWND window)
{
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && window != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0) return static_cast<int>(dpi);
    }
    const UniqueScreenDC screen(GetDC(nullptr));
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSX);
    return dpi > 0 ? dpi : 96;
}

UniqueFont CreateSystemFont(LOGFONTW NONCLIENTMETRICSW::*font, int dpi)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return UniqueFont();
    LOGFONTW scaled = metrics.*font;
    scaled.lfHeight = MulDiv(scaled.lfHeight, dpi, WindowDpi(nullptr));
    return UniqueFont(CreateFontIndirectW(&scaled));
}
