// Colour arithmetic of the edit control: HSL conversion and the lighter
// "twin" of a colour used on dark backgrounds. Colours are 0x00BBGGRR; -1 is
// "no colour" and stays -1.
#pragma once

#include <windows.h>

struct HslColor {
    double h = 0, s = 0, l = 0;
};

HslColor ColorToHsl(COLORREF colour);
COLORREF HslToColor(const HslColor& hsl);
// Lightness 0..1 of a colour.
double ColorLightness(COLORREF colour);
// -1 stays -1, black becomes 0x7F7F7F, any other colour keeps its hue with
// saturation and lightness times 1.5 (at most 1).
COLORREF LightTwin(COLORREF colour);
// Saturation and lightness times 1.1 (at most 1): the inactive selection.
COLORREF InactiveSelectionBack(COLORREF highlight);
// Each of red, green, blue times 110/100, at most 255.
COLORREF InactiveSelectionText(COLORREF highlightText);
