// The Netpbm format layer: magic numbers, headers and rows of PBM, PGM and
// PPM images (plain P1-P3 and raw P4-P6) read from a byte source. Every
// format error is logged with code 78 and thrown as a PicException, which
// the PNM reader catches.
#pragma once

#include <cstdint>

#include "imaging/readers/PicIO.h"
#include "imaging/readers/PicSourceFeed.h"

enum PnmFormat : int32_t {
    PNM_PLAIN_BITMAP = 0x5031,  // "P1"
    PNM_PLAIN_GRAYMAP = 0x5032,
    PNM_PLAIN_PIXMAP = 0x5033,
    PNM_RAW_BITMAP = 0x5034,
    PNM_RAW_GRAYMAP = 0x5035,
    PNM_RAW_PIXMAP = 0x5036,  // "P6"
};

// The layer's view of one source for one call.
struct PnmStreamOps {
    explicit PnmStreamOps(CPicIO& source) : feed(source) {}
    CPicSourceFeed feed;
};

// Logs the formatted message (code 78) and throws it; does not return.
[[noreturn]] void PnmError(PnmStreamOps& stream, const char* format, ...) __attribute__((format(printf, 2, 3)));

// One character; a "#" comment reads as the line end that closes it.
int pm_getc(PnmStreamOps& stream);
uint8_t PnmGetRawByte(PnmStreamOps& stream);
uint32_t PnmGetUint(PnmStreamOps& stream);
int32_t PnmReadMagic(PnmStreamOps& stream);
void PnmReadBitmapHeader(PnmStreamOps& stream, uint32_t* columns, uint32_t* rows);
void PnmReadGraymapHeader(PnmStreamOps& stream, uint32_t* columns, uint32_t* rows, uint32_t* maxval);
void PnmReadPixmapHeader(PnmStreamOps& stream, uint32_t* columns, uint32_t* rows, uint32_t* maxval);
uint32_t PnmGetRawSample(PnmStreamOps& stream, uint32_t maxval);
uint8_t PnmGetBit(PnmStreamOps& stream);
// One byte per pixel, 1 black and 0 white, as stored.
void PnmReadBitmapRow(PnmStreamOps& stream, uint8_t* row, uint32_t columns, int32_t format);
void PnmReadGraymapRow(PnmStreamOps& stream, uint32_t* samples, uint32_t columns, uint32_t maxval, int32_t format);
// R, G, B per pixel.
void PnmReadPixmapRow(PnmStreamOps& stream, uint32_t* samples, uint32_t columns, uint32_t maxval, int32_t format);

// The type of a format: its plain form (P1, P2 or P3), or 0 for no format.
int32_t PnmFormatType(int32_t format);
