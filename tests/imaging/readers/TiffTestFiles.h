// Hand-built TIFF files for the cases no tool writes: hostile headers, a
// palette of 16-bit indices, damaged strips, private directories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tifftest {

struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::string value;  // the values' bytes (inline when 4 or fewer)
    bool verbatim = false;  // value is the 4-byte value field as it stands
};

Entry Short(uint16_t tag, uint16_t value);
Entry Long(uint16_t tag, uint32_t value);
// The value field written as it stands (for counts and offsets that lie).
Entry Raw(uint16_t tag, uint16_t type, uint32_t count, uint32_t field);
Entry Values(uint16_t tag, uint16_t type, uint32_t count, const std::string& bytes);

// A little-endian file with one directory at offset 8: `entries` (sorted
// here), StripOffsets and StripByteCounts for `strips` unless the entries
// hold them, then the strips. badStrip: that strip's offset lies past the
// end. nextDirectory: the directory's next offset as written.
std::string Build(std::vector<Entry> entries, const std::vector<std::string>& strips, int badStrip = -1,
                  uint32_t nextDirectory = 0);

// Appends a directory of `entries` (in the order given) with its data to the
// end of `file`; answers its offset.
uint32_t AppendDirectory(std::string& file, const std::vector<Entry>& entries);

// A w x h 8-bit grey file in strips of `rowsPerStrip` rows.
std::string GreyStrips(uint32_t w, uint32_t h, uint32_t rowsPerStrip, int badStrip = -1);
uint8_t GreyValue(uint32_t x, uint32_t y);
// A 3 x 1 palette file of 16-bit indices with its 65536-entry colour map.
std::string Palette16();
// A grey file with a tag the library does not know.
std::string GreyWithUnknownTag();

}  // namespace tifftest
