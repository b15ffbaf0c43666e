// PNG decoding through the system's PNG library over a byte source. This
// interface keeps the library's headers (and their own calling convention)
// out of every file that sees the Windows headers. Results are the library's
// result codes: 0, 1, 14, 15 (the library raised an error), 16 (no library
// structures), 17 (a row size the request cannot carry), 28 (a depth the
// image cannot give).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class CPicIO;

struct CPicPngBackground {
    uint8_t index = 0;
    uint16_t red = 0, green = 0, blue = 0, gray = 0;
};

struct CPicPngInfo {
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    bool hasTrns = false;
    int transIndex = -1, transRed = -1, transGreen = -1, transBlue = -1, transGrey = -1;
    int trnsCount = 0;
    uint8_t trnsAlpha[256] = {};
    int paletteCount = 0;  // PLTE entries, 0 without PLTE
    uint8_t palette[256][3] = {};
    bool hasPhys = false;
    double physX = 0, physY = 0;
    int physUnit = 0;
    bool hasBkgd = false;
    CPicPngBackground bkgd;
};

struct CPicPngRequest {
    int depth = 24;            // 1, 8, 16, 24, 32, 48, 64; ignored for a packed bitmap
    bool dib = false;          // packed bitmap at the image's own depth
    bool gamma = false;        // correct by the file's gamma (no sRGB chunk)
    bool grey16 = false;       // 16 bits means 16-bit grey samples
    bool paddedBgr = false;    // rows padded to 4 bytes, B, G, R order
    double screenGamma = 2.9;  // 0: unset
    CPicPngBackground defaultBackground;
    uint32_t maxDimension = 0x7FFFFFFF;
    // Checks the declared output (width, height, bytes) before it is made; a code or 0.
    std::function<int(uint64_t, uint64_t, uint64_t)> checkSize;
    // The output block of `bytes` zero-filled bytes, or null.
    std::function<uint8_t*(uint64_t)> allocate;
    // Row progress; false cancels (14).
    std::function<bool(uint32_t, uint32_t)> progress;
};

struct CPicPngLayout {
    uint32_t dibBits = 0;     // depth of the packed bitmap
    uint32_t dibColours = 0;  // its colour-table entries
    uint64_t headerBytes = 0; // header and table before the rows
};

// Messages of the library: (text, isError).
typedef std::function<void(const char*, bool)> CPicPngLog;

int PngReadInfo(CPicIO& source, CPicPngInfo& info, const CPicPngLog& log);
// Decodes into the block from request.allocate; `made` says whether a block
// was had (it is the caller's also when the result is not 0).
int PngReadImage(CPicIO& source, const CPicPngRequest& request, const CPicPngLog& log, CPicPngInfo& info,
                 CPicPngLayout& layout, bool& made);
