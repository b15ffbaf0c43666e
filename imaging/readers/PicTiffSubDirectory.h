// Reads one TIFF directory (IFD) at a file offset of an open handle without
// making it the handle's current directory: every accepted entry's values go
// to a set-field callback, checked against a field table of the caller's.
// The EXIF reader reads a TIFF file's IFD0 and EXIF IFD this way.
#pragma once

#include <tiffio.h>

#include <cstddef>
#include <cstdint>

// Set-field callback: (handle, user value, tag, values...) -> non-zero to
// accept. For rows with field_passcount set the values are a uint32_t count n
// and a const void* to n values of the row's type in host order: bytes for
// BYTE, SBYTE, ASCII and UNDEFINED (followed by a zero byte), uint16_t for
// SHORT/SSHORT, uint32_t for LONG/SLONG (a single SHORT or BYTE value of a
// LONG row widened), (numerator, denominator) uint32_t pairs for
// RATIONAL/SRATIONAL, float for FLOAT, double for DOUBLE. For rows without it
// a single value comes by value (int; a float or double as double; a
// rational as two uint32_t) and arrays as the pointer alone.
typedef int (*TiffPrivateSetField)(TIFF* tiff, void* user, uint32_t tag, ...);

// Field table: rows sorted by tag, a tag may have several rows of different
// types (the widest first). Used columns: field_tag, field_readcount
// (TIFF_VARIABLE any count, TIFF_SPP the samples per pixel, else exact),
// field_type (0 any), field_passcount, field_name.
//
// Answers 1 when the directory was read to its end; 0 when it could not be
// read, or a fetch or the callback failed (entries passed before stay with
// the callback). Unknown tags, wrong types and wrong counts lose only their
// entry, with a warning. Counts are checked against the bytes the source
// holds before anything is allocated. Errors and warnings go to the TIFF
// library's handlers, which the TIFF reader routes into the library's log.
// The handle must come from TiffStreamOpen (PicTiffPage.h).
int ReadPrivateSubdirectory(TIFF* tiff, uint64_t offset, const TIFFFieldInfo* table, size_t rows,
                            TiffPrivateSetField callback, void* user);
