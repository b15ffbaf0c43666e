// Names of EXIF tags by directory kind and, in maker notes, by camera make.
#pragma once

#include <cstdint>
#include <string>

// Which directory an entry came from; chooses the names and how UNDEFINED
// entries are read.
enum ExifDirectoryKind : int32_t {
    kExifIfd0 = 0,
    kExifIfd1 = 1,
    kExifExif = 2,
    kExifInterop = 3,
    kExifMakerNote = 4,
    kExifGps = 5,
};

enum ExifMakerKind : int32_t {
    kMakerNone = 0,
    kMakerCanon = 1,
    kMakerNikonType1 = 2,
    kMakerNikon = 3,
    kMakerFuji = 6,
    kMakerOlympus = 7,
    kMakerCasio = 8,
    kMakerCasioHeader = 9,
};

// The tag's name; an unknown tag gets "<prefix> Unknown Tag 0xNNNN" (the main
// directories' prefix is empty, so the name starts with a blank); a maker
// note of no known make gets an empty name.
std::string ExifTagName(uint32_t tag, int32_t kind, int32_t maker);
std::string ExifUnknownTagName(uint32_t tag, const char* prefix);
