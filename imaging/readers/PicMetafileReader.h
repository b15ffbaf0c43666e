// Windows metafiles (enhanced, old-style, and old-style with the placeable
// header) played by the system's graphics interface into a bitmap. Works in
// memory DCs and DIB sections only, so it renders without a display too.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"
#include "imaging/readers/PicReaderFrame.h"

enum PicMetafileFlag : uint32_t {
    PIC_METAFILE_FIXED_SIZE = 1,  // render at W x H pixels
    PIC_METAFILE_DIB = 2,         // a packed 24-bit bitmap instead of red-green-blue rows
    PIC_METAFILE_MULTIPLY = 4,    // width x trunc(W / 100), height x trunc(H / 100)
};

// Largest side a metafile is rendered at; beyond it the header is taken as damaged (27).
constexpr int32_t kPicMetafileMaxSide = 16384;

// The metafile at `name` (system ANSI code page). W and H: the size with
// PIC_METAFILE_FIXED_SIZE, the extents of an old-style file that the system
// cannot load by itself; the background colour 0x00BBGGRR shows where the
// drawing leaves the bitmap. 2 missing file, 27 not a metafile or a size
// from a damaged header, 41 old-style bits not converted.
void* WINAPI pic_ReadMetafile(const char* name, int32_t* width, int32_t* height, int32_t W, int32_t H,
                              COLORREF background, uint32_t flags);
// The same from the bytes of a source (from its start), for pictures held
// in memory; reported as "pic_ReadMetafileSource".
void* WINAPI pic_ReadMetafileSource(CPicIO* source, int32_t* width, int32_t* height, int32_t W, int32_t H,
                                    COLORREF background, uint32_t flags);
