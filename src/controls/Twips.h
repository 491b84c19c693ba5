// Twips (1/1440 inch) to pixels and back, from the display's real dots per inch.
#pragma once

int TwipsToPixelsX(double twips);
int TwipsToPixelsY(double twips);
float PixelsToTwipsX(int pixels);
float PixelsToTwipsY(int pixels);

// The same conversions at a given dots per inch; the display's own are these at its DPI.
int TwipsToPixels(double twips, int dpi);
float PixelsToTwips(int pixels, int dpi);

// The display's vertical dots per inch, which font heights in points are scaled by.
int DisplayDpiY();
