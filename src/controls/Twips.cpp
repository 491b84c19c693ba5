// The display's dots per inch are read once; the conversions round to the nearest pixel.
#include "controls/Twips.h"

#include <windows.h>

#include <cmath>

namespace {
struct DisplayDpi {
    int x;
    int y;
};

const DisplayDpi& Dpi()
{
    static const DisplayDpi dpi = [] {
        HDC screen = GetDC(nullptr);
        DisplayDpi read{GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
        ReleaseDC(nullptr, screen);
        if (read.x <= 0) read.x = 96;
        if (read.y <= 0) read.y = 96;
        return read;
    }();
    return dpi;
}
} // namespace

int TwipsToPixelsX(double twips)
{
    return static_cast<int>(std::lround(twips * Dpi().x / 1440.0));
}

int TwipsToPixelsY(double twips)
{
    return static_cast<int>(std::lround(twips * Dpi().y / 1440.0));
}

float PixelsToTwipsX(int pixels)
{
    return static_cast<float>(pixels * 1440.0 / Dpi().x);
}

float PixelsToTwipsY(int pixels)
{
    return static_cast<float>(pixels * 1440.0 / Dpi().y);
}
