// The display's dots per inch are read once; the conversions round to the nearest pixel.
#include "controls/Twips.h"

#include "platform/UniqueHandles.h"

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
        const UniqueScreenDC screen(GetDC(nullptr));
        DisplayDpi read{GetDeviceCaps(screen.get(), LOGPIXELSX), GetDeviceCaps(screen.get(), LOGPIXELSY)};
        if (read.x <= 0) read.x = 96;
        if (read.y <= 0) read.y = 96;
        return read;
    }();
    return dpi;
}
} // namespace

int TwipsToPixels(double twips, int dpi)
{
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

float PixelsToTwips(int pixels, int dpi)
{
    return static_cast<float>(pixels * 1440.0 / dpi);
}

int TwipsToPixelsX(double twips)
{
    return TwipsToPixels(twips, Dpi().x);
}

int TwipsToPixelsY(double twips)
{
    return TwipsToPixels(twips, Dpi().y);
}

float PixelsToTwipsX(int pixels)
{
    return PixelsToTwips(pixels, Dpi().x);
}

float PixelsToTwipsY(int pixels)
{
    return PixelsToTwips(pixels, Dpi().y);
}

int DisplayDpiY()
{
    return Dpi().y;
}
