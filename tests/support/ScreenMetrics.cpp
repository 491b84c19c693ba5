// Display metrics and paths for the tests.
#include "support/ScreenMetrics.h"

#include <cmath>

int Dpi(int index)
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, index);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int PixelsX(double twips)
{
    return static_cast<int>(std::lround(twips * Dpi(LOGPIXELSX) / 1440.0));
}

int PixelsY(double twips)
{
    return static_cast<int>(std::lround(twips * Dpi(LOGPIXELSY) / 1440.0));
}

RECT RectIn(HWND window, HWND reference)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, reference, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring PathBesideThisProgram(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    const size_t slash = folder.find_last_of(L"\\/");
    folder.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return folder + fileName;
}
