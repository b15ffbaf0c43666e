// The bridge from a TIFF file's EXIF directories to EXIF tag records. The
// reading function is the built-in one when the library has its TIFF reader
// (PicExifTiffBridge.cpp), and can be replaced (tests); without one a TIFF
// source yields no EXIF records (17). Its set-field callback hands every
// accepted entry to AddEXIFTag.
#pragma once

#include <cstdint>

#include "imaging/readers/PicExifParser.h"
#include "imaging/readers/PicIO.h"

// Where the records of a TIFF page go; currentList is switched by the
// reading function between IFD0's list and the Exif list.
struct ExifTiffCollector {
    int32_t error = 0;
    ExifTagList* ifd0Tags = nullptr;
    ExifTagList* exifTags = nullptr;
    ExifTagList* interopTags = nullptr;
    ExifTagList* ifd1Tags = nullptr;
    ExifTagList* gpsTags = nullptr;
    ExifTagList* currentList = nullptr;
};

// Reads IFD0 and the EXIF directory of `page` into the collector; true when
// the page opened. Runs on the caller's thread.
using PicExifTiffReadFn = bool (*)(ExifTiffCollector& collector, CPicIO& source, int32_t page);
// Process-wide; any thread may read it.
void PicSetExifTiffReader(PicExifTiffReadFn reader);
PicExifTiffReadFn PicGetExifTiffReader();
// The reader built on the library's TIFF reader, or null without one.
PicExifTiffReadFn PicBuiltInExifTiffReader();

// One field-table row's values (count, then the values in host order, text
// followed by a zero byte) as a record on the collector's current list:
// 1 when a record was made, else 0 (no current list, a type outside 1-12,
// or no memory: error 1).
int32_t AddEXIFTag(ExifTiffCollector& collector, uint16_t tag, uint16_t type, const char* name, uint32_t count,
                   const void* values);
