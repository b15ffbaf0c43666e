#include "viewers/PreviewPainting.h"

#include "framework/windows/CDC.h"
#include "viewers/WipedMemory.h"

namespace {

// Draws RGB rows (red first, top-down) stretched to the destination rectangle.
// The pixels go through a wiped 32-bit copy in the system's blue-first order.
void DrawRgb(HDC dc, const uint8_t* rgb, int width, int height, int x, int y, int drawWidth, int drawHeight)
{
    CWipedBytes bgrx;
    if (!bgrx.Reset((size_t)width * height * 4))
        return;
    uint8_t* out = bgrx.Data();
    for (size_t i = 0, n = (size_t)width * height; i < n; ++i, rgb += 3, out += 4) {
        out[0] = rgb[2];
        out[1] = rgb[1];
        out[2] = rgb[0];
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    ::StretchDIBits(dc, x, y, drawWidth, drawHeight, 0, 0, width, height, bgrx.Data(), &info, DIB_RGB_COLORS,
                    SRCCOPY);
}

}  // namespace

PicturePlacement PlacePicture(int width, int height, int clientWidth, int clientHeight, bool fitToWindow)
{
    PicturePlacement place;
    if (width <= 0 || height <= 0)
        return place;
    if (width >= clientWidth || height >= clientHeight || fitToWindow) {
        double ratio = (double)height / width;
        int drawWidth = clientWidth;
        int drawHeight = (int)(drawWidth * ratio);
        if (clientHeight < drawHeight) {
            drawHeight = clientHeight;
            drawWidth = (int)(drawHeight / ratio);
        }
        place.scaled = true;
        place.width = drawWidth;
        place.height = drawHeight;
    } else {
        place.width = width;
        place.height = height;
    }
    place.x = clientWidth / 2 - place.width / 2;
    place.y = clientHeight / 2 - place.height / 2;
    return place;
}

void PaintPreviewPicture(CDC& dc, const RECT& client, const uint8_t* rgb, int width, int height, bool fitToWindow)
{
    dc.FillSolidRect(client, kPreviewBackground);
    if (!rgb || width <= 0 || height <= 0)
        return;
    PicturePlacement place =
        PlacePicture(width, height, client.right - client.left, client.bottom - client.top, fitToWindow);
    if (place.scaled) {
        int previous = ::SetStretchBltMode(dc, COLORONCOLOR);
        DrawRgb(dc, rgb, width, height, place.x, place.y, place.width, place.height);
        if (previous != 0)
            ::SetStretchBltMode(dc, previous);
    } else {
        DrawRgb(dc, rgb, width, height, place.x, place.y, width, height);
    }
}
