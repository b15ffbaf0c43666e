// CPngImage: a PNG picture decoded by the system's imaging codecs into 32-bit
// pixels with premultiplied alpha (blue, green, red, alpha; top-down), and
// the bitmaps and image lists the bars and menus draw from it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <vector>

class CPngImage {
public:
    // Decodes the resource `id` of type "PNG"; FALSE when it is missing or
    // not a picture.
    BOOL LoadResource(UINT id);
    BOOL LoadFromMemory(const void* bytes, size_t size);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const std::vector<uint32_t>& Pixels() const { return m_pixels; }

    // The strip cut into images of width `imageWidth` (the height of the
    // picture). With `disabled` the images are grey and half transparent.
    HIMAGELIST CreateImageList(int imageWidth, bool disabled) const;
    // One image of the strip as a 32-bit bitmap with alpha (for menus).
    HBITMAP CreateImageBitmap(int index, int imageWidth) const;

private:
    HBITMAP CreateBitmap(int left, int width, bool disabled) const;

    int m_width = 0;
    int m_height = 0;
    std::vector<uint32_t> m_pixels;
};
