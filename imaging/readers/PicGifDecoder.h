// The GIF stream of one call: header, logical screen, colour tables, the
// extensions before an image, image descriptors, and the program's own LZW
// decoder of the pixel data. The readers (first image) and the animation
// renderer (every image) drive it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/core/PicArray.h"
#include "imaging/readers/PicIO.h"
#include "imaging/readers/PicReaderFrame.h"

struct CPicGIFImageDescriptor {
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    bool hasLocalTable = false;
    uint32_t localCount = 0;
    bool interlaced = false;
};

class CPicGIFReader {
public:
    enum Block { kImage, kTrailer, kEndOfData };
    static constexpr uint32_t kTableSize = 4096;

    CPicGIFReader(CPicReaderContext& context, CPicIO& source);

    // "GIF87a" or "GIF89a" (another version fails with versionCode), then the
    // logical screen and its global table; 12 for anything broken.
    bool ReadHeaderAndScreen(int32_t versionCode);
    // Reads blocks up to the next image descriptor or trailer, parsing the
    // extensions on the way; kEndOfData when the bytes run out (code 3).
    Block NextBlock();
    // The 9-byte descriptor (3 when cut short, 12 for a zero size).
    bool ReadDescriptor(CPicGIFImageDescriptor& image);
    // The image's local table into the colour planes (12 when cut short).
    bool ReadLocalTable(const CPicGIFImageDescriptor& image);
    // Decodes the image's pixel data into rows of `stride` bytes (bottom-up
    // rows when bottomUp). A stop before the last pixel is reported as 3, an
    // index beyond the table in use as 12 (the decode goes on); the rows that
    // came stay. False when the image is incomplete.
    bool DecodePixels(const CPicGIFImageDescriptor& image, uint8_t* pixels, uint64_t stride, bool bottomUp);

    // 256 blue-green-red-x entries from the colour planes; the fourth byte is
    // 0 for the transparent index, 255 for the others.
    void FillPalette(RGBQUAD* palette) const;
    // Clears the control values of the last graphic control extension.
    void ClearControl();

    uint32_t screenWidth = 0;
    uint32_t screenHeight = 0;
    uint8_t screenFlags = 0;
    uint32_t globalCount = 0;  // entries of the screen's table, present or not
    bool hasGlobalTable = false;
    uint32_t backgroundIndex = 0;
    uint8_t colourMap[3][256] = {};

    // Graphic control extension before the current image.
    uint8_t transparentIndex = 0;
    bool hasTransparency = false;
    uint32_t delay = 0;
    uint8_t userInput = 0;
    uint8_t disposal = 0;
    uint32_t loopCount = 0;

private:
    bool ReadTable(uint32_t count);
    bool ParseExtension();
    uint32_t ReadSubBlock(uint8_t* data);
    bool SkipSubBlocks();

    // LZW
    bool StartDecoder();
    int ReadCode();
    int NextValue();
    bool Push(uint8_t value) {
        if (m_stackDepth >= kTableSize + 1) return false;
        m_stack[m_stackDepth++] = value;
        return true;
    }

    CPicReaderContext& m_context;
    CPicIO& m_source;

    uint8_t m_codeBuffer[2 + 255 + 4] = {};
    uint32_t m_bitPosition = 0;
    uint32_t m_bitCount = 0;
    uint32_t m_bufferLength = 0;
    bool m_exhausted = false;
    bool m_fresh = true;
    bool m_justCleared = false;
    int m_codeSize = 0;
    int m_initialCodeSize = 0;
    int m_nextCode = 0;
    int m_codeLimit = 0;
    int m_firstByte = 0;
    int m_previousCode = 0;
    int m_clearCode = 0;
    int m_endCode = 0;
    PicArray<uint16_t> m_prefix;
    PicArray<uint8_t> m_suffix;
    PicArray<uint8_t> m_stack;
    uint32_t m_stackDepth = 0;
};
