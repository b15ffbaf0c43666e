// One page of a TIFF file opened through the system's TIFF library over a
// byte source. The reader decodes pages through it, and the EXIF reader
// reaches a file's directories through it: TIFFGetField(page->tiff,
// TIFFTAG_EXIFIFD, &offset) with a uint64_t offset (the library knows the
// "EXIF Offset" tag 34665 itself), then ReadPrivateSubdirectory
// (PicTiffSubDirectory.h).
//
// Threading: a page belongs to the thread that opened it. The library's tag
// extender is registered once per process, whichever thread opens first.
#pragma once

#include <tiffio.h>

#include <cstdint>

class CPicIO;

// What the decoders keep with an open handle (reached through the handle's
// client data, see TiffContextOf).
// Progress goes to the thread's progress callback after every strip or row
// of tiles.
struct TiffReadContext {
    int32_t lastError = 0;         // the code the last decoding left (14 after a stop)
    int32_t forcedAlphaMode = -1;  // the thread's TIFF alpha setting; -1 none
    int32_t keepCMYK = 0;          // 8-bit CMYK keeps its four samples
};

struct TiffPage {
    int32_t depth = 0;
    uint32_t flags = 0;
    TIFF* tiff = nullptr;
    CPicIO* source = nullptr;  // not owned
};

// The client open over a source (mode "r"); null when the library refuses
// the stream. The handle's client data is the source with its context; the
// handle is closed with TIFFClose, the source stays open.
TIFF* TiffStreamOpen(CPicIO* source, const char* mode);
// The source and the context of a handle made by TiffStreamOpen.
CPicIO* TiffSourceOf(TIFF* tiff);
TiffReadContext* TiffContextOf(TIFF* tiff);

// Opens directory `page` from the start of the source: null with *code set
// (1 no memory, 3 the source cannot be rewound, 20 not a TIFF stream,
// 5 no such page).
TiffPage* OpenTiffPage(CPicIO* source, int32_t page, uint32_t flags, int32_t* code);
// Closes the handle and frees the record; the source stays open.
void CloseTiffPage(TiffPage* page);
