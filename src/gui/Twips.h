#pragma once
#include <QRect>
#include <QtMath>

// Layouts are given in twips; 15 twips make one pixel at 96 dpi. Higher resolutions
// are left to Qt's device-pixel ratio, which scales these logical pixels.
constexpr int TwipsToPixels(int twips) { return (twips * 2 + 15) / 30; }

inline QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}
