#pragma once
#include <QRect>

// Layouts are given in twips; 15 twips make one pixel at 96 dpi. Higher resolutions
// are left to Qt's device-pixel ratio, which scales these logical pixels; an enlarged
// system font scales them too (TextScale), so that no caption is cut.
int TwipsToPixels(int twips);

// How much larger than the layouts' own the operator's font is: 1 at the size the
// layouts were drawn for, never less.
double TextScale();

inline QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}
