// The painting the preview window and the animated-GIF window share: the
// background colour, where a picture goes in the client area (scaled keeping
// its aspect, or 1:1 in the centre) and drawing 24-bit RGB pixels there.
#pragma once

#include <windows.h>

#include <cstdint>

class CDC;

// Behind and around every picture of the preview windows.
const COLORREF kPreviewBackground = RGB(248, 222, 222);

struct PicturePlacement {
    bool scaled = false;  // drawn stretched to width x height, else 1:1
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A picture of `width` x `height` in a client area of `clientWidth` x
// `clientHeight`: scaled with its aspect kept when it is at least as wide or
// as tall as the area, or always with `fitToWindow`; otherwise 1:1. Centred
// either way (integer halves, so an odd remainder leans left and up).
PicturePlacement PlacePicture(int width, int height, int clientWidth, int clientHeight, bool fitToWindow);

// Fills `client` with the background and draws `rgb` (rows top-down, stride
// 3 x width, red first) where PlacePicture puts it; only the background when
// there are no pixels.
void PaintPreviewPicture(CDC& dc, const RECT& client, const uint8_t* rgb, int width, int height, bool fitToWindow);
