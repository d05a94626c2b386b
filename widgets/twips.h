#pragma once

#include <QRect>
#include <QtMath>

// Window geometry is defined in twips (1/1440 inch). One conversion for the
// whole program: pixels = twips x logical DPI / 1440, so 15 twips make a
// pixel at 96 dpi and the windows grow with the screen's scale.
class Twips final
{
public:
    explicit constexpr Twips(double dotsPerInch) : m_dpi(dotsPerInch) {}

    int toPixels(double twips) const { return qRound(twips * m_dpi / 1440.0); }
    float fromPixels(int pixels) const { return float(pixels * 1440.0 / m_dpi); }
    // The value a window system that places on whole pixels gives back.
    float snapped(float twips) const { return fromPixels(toPixels(twips)); }

    QRect rect(double left, double top, double width, double height) const
    {
        return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
    }

private:
    double m_dpi;
};
