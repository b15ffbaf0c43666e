#include "viewers/PreviewPainting.h"

#include "framework/windows/CDC.h"
#include "imaging/core/PicDrawEntryPoints.h"

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
        pic_StretchDrawRGB(dc, rgb, (uint32_t)width, (uint32_t)height, 3u * width, place.x, place.y, place.width,
                           place.height);
        if (previous != 0)
            ::SetStretchBltMode(dc, previous);
    } else {
        pic_DrawRGB(dc, rgb, (uint32_t)width, (uint32_t)height, 3u * width, place.x, place.y, nullptr);
    }
}
