#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cmath>

// Window and control geometry is given in twips. At 96 dpi one logical pixel is
// 15 twips; Qt's device-pixel ratio takes care of higher resolutions.
constexpr double kTwipsPerPixel = 15.0;

inline int twipsToPixels(double twips)
{
    return int(std::lround(twips / kTwipsPerPixel));
}

inline double pixelsToTwips(int pixels)
{
    return pixels * kTwipsPerPixel;
}

inline QRect twipsRect(double left, double top, double width, double height)
{
    return QRect(
        twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

inline QSize twipsSize(double width, double height)
{
    return QSize(twipsToPixels(width), twipsToPixels(height));
}
