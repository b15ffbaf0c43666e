// The pixel decoders of the TIFF reader: raw strips and tiles at 1, 8, 16
// and 32 bits per sample, and the library's RGBA interface at 24 and 32
// bits per pixel; each applies the page's Orientation tag once and lays the
// result out as the caller asked (rows, padding, channel order, packed
// bitmap). Working copies of pixels are wiped before they are freed.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicReaderFrame.h"
#include "imaging/readers/PicTiffPage.h"

enum PicTiffFlag : uint32_t {
    PIC_TIFF_NO_ORIENTATION = 1,  // treat the Orientation tag as 1
    PIC_TIFF_DIB = 2,             // packed bitmap at the file's own depth
    PIC_TIFF_KEEP_CMYK = 4,       // 32 bits: 8-bit CMYK keeps its four samples
    PIC_TIFF_BITS_FILE_ORDER = 8, // 1 bit: rows bottom-up
    PIC_TIFF_FILE_ORDER = 16,     // 16 and 32 bits per sample: stored rows, orientation ignored
    PIC_TIFF_PADDED = 32,         // rows padded to a multiple of 4 bytes
    PIC_TIFF_BGR = 64,            // first and third channel exchanged
};

// The tags the decoders look at, with the defaults of absent tags.
struct TiffPageTags {
    uint32_t width = 0, height = 0;
    uint16_t samples = 1, bits = 1, photometric = 0, orientation = 0, sampleFormat = 0;
    uint16_t planar = 1, compression = 1, extraSamples = 0;
    bool hasPhotometric = false;
    uint32_t rowsPerStrip = 0;
    bool tiled = false;
};
TiffPageTags TiffReadTags(TIFF* tiff);

// The depth a packed-bitmap read delivers for the page.
int32_t TiffDibDepth(const TiffPageTags& tags);

// Decodes the open page at `depth` (1, 8, 16, 24, 32, 48, 64, 96) with the
// page's flags; answers the output block (the caller's) or null with the
// context's code. width and height receive the size after orientation.
void* TiffDecodePage(CPicReaderContext& context, TiffPage& page, int32_t depth, RGBQUAD* palette, int32_t* width,
                     int32_t* height);
