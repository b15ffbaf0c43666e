// The device-context side of the library: the raster capabilities it asks
// for, and scoped holds on the DCs and palettes it borrows.
#pragma once

#include <windows.h>

// GetDeviceCaps(dc, RASTERCAPS), less the capabilities hidden for testing.
int PicRasterCaps(HDC dc);
// Capabilities in `hidden` read as missing from every DC until 0 is set again.
// For tests; any thread.
void PicHideRasterCapsForTesting(int hidden);

// True when device bitmaps are to be DIB sections (the calling thread's switch).
bool PicDibSectionsOn();

// The caller's DC, or one taken for the call when it has none: a memory DC
// compatible with the screen when `memory`, else the screen DC. Gives back
// what it took.
class CPicBorrowedDC {
public:
    CPicBorrowedDC(HDC given, bool memory);
    ~CPicBorrowedDC();
    CPicBorrowedDC(const CPicBorrowedDC&) = delete;
    CPicBorrowedDC& operator=(const CPicBorrowedDC&) = delete;
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
    bool m_madeMemory = false;
    bool m_tookScreen = false;
};

// Selects a palette (not as foreground) into a DC and realises it; restores
// the DC's previous palette at the end. A null palette selects nothing.
class CPicPaletteSelection {
public:
    CPicPaletteSelection(HDC dc, HPALETTE palette);
    ~CPicPaletteSelection();
    CPicPaletteSelection(const CPicPaletteSelection&) = delete;
    CPicPaletteSelection& operator=(const CPicPaletteSelection&) = delete;

private:
    HDC m_dc;
    HPALETTE m_previous = nullptr;
};

// The given palette, or the stock DEFAULT_PALETTE when it is null.
HPALETTE PicPaletteOrDefault(HPALETTE palette);

// A logical palette (version 0x300) of `count` RGBQUAD colours, flags 0; null on failure.
HPALETTE PicCreatePaletteFromQuads(const RGBQUAD* colours, uint32_t count);
