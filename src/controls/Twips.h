// Twips (1/1440 inch) to pixels and back, from the display's real dots per inch.
#pragma once

int TwipsToPixelsX(double twips);
int TwipsToPixelsY(double twips);
float PixelsToTwipsX(int pixels);
float PixelsToTwipsY(int pixels);
