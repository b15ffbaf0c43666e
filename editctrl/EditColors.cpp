#include "editctrl/EditColors.h"

#include <algorithm>

HslColor ColorToHsl(COLORREF colour)
{
    double r = GetRValue(colour) / 255.0, g = GetGValue(colour) / 255.0, b = GetBValue(colour) / 255.0;
    double hi = std::max({r, g, b}), lo = std::min({r, g, b});
    HslColor out;
    out.l = (hi + lo) / 2;
    if (hi == lo)
        return out;
    double d = hi - lo;
    out.s = out.l < 0.5 ? d / (hi + lo) : d / (2 - hi - lo);
    if (r == hi)
        out.h = (g - b) / d;
    else if (g == hi)
        out.h = (b - r) / d + 2;
    else
        out.h = (r - g) / d + 4;
    out.h /= 6;
    if (out.h < 0)
        out.h += 1;
    return out;
}

namespace {
double Channel(double p, double q, double t)
{
    if (t < 0)
        t += 1;
    if (t > 1)
        t -= 1;
    if (6 * t < 1)
        return p + (q - p) * 6 * t;
    if (2 * t < 1)
        return q;
    if (3 * t < 2)
        return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}
}  // namespace

COLORREF HslToColor(const HslColor& hsl)
{
    if (hsl.s == 0) {
        int grey = (int)(hsl.l * 255);
        return RGB(grey, grey, grey);
    }
    double q = hsl.l <= 0.5 ? hsl.l * (1 + hsl.s) : hsl.l + hsl.s - hsl.l * hsl.s;
    double p = 2 * hsl.l - q;
    int r = (int)(255 * Channel(p, q, hsl.h + 1.0 / 3));
    int g = (int)(255 * Channel(p, q, hsl.h));
    int b = (int)(255 * Channel(p, q, hsl.h - 1.0 / 3));
    return RGB(r, g, b);
}

double ColorLightness(COLORREF colour) { return ColorToHsl(colour).l; }

COLORREF LightTwin(COLORREF colour)
{
    if (colour == (COLORREF)-1)
        return colour;
    if (colour == 0)
        return 0x7F7F7F;
    HslColor hsl = ColorToHsl(colour);
    hsl.s = std::min(1.0, hsl.s * 1.5);
    hsl.l = std::min(1.0, hsl.l * 1.5);
    return HslToColor(hsl);
}

COLORREF InactiveSelectionBack(COLORREF highlight)
{
    HslColor hsl = ColorToHsl(highlight);
    hsl.s = std::min(1.0, hsl.s * 1.1);
    hsl.l = std::min(1.0, hsl.l * 1.1);
    return HslToColor(hsl);
}

COLORREF InactiveSelectionText(COLORREF highlightText)
{
    auto up = [](int v) { return std::min(255, v * 110 / 100); };
    return RGB(up(GetRValue(highlightText)), up(GetGValue(highlightText)), up(GetBValue(highlightText)));
}
