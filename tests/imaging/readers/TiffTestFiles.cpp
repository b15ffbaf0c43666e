#include "TiffTestFiles.h"

#include <algorithm>

namespace tifftest {

namespace {
void Put16(std::string& out, uint32_t v) { out += {(char)(v & 0xFF), (char)((v >> 8) & 0xFF)}; }
void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += (char)((v >> (8 * i)) & 0xFF);
}
std::string Bytes16(uint16_t v) {
    std::string s;
    Put16(s, v);
    return s;
}
std::string Bytes32(uint32_t v) {
    std::string s;
    Put32(s, v);
    return s;
}

// Writes the directory of `entries` at `at` (the file's current end), its
// out-of-line data right after it.
std::string Directory(const std::vector<Entry>& entries, uint32_t at, uint32_t next) {
    std::string head, pool;
    uint32_t poolAt = at + 2 + 12 * (uint32_t)entries.size() + 4;
    Put16(head, (uint32_t)entries.size());
    for (const Entry& e : entries) {
        Put16(head, e.tag);
        Put16(head, e.type);
        Put32(head, e.count);
        if (e.verbatim || e.value.size() <= 4) {
            head += (e.value + std::string(4, '\0')).substr(0, 4);
        } else {
            Put32(head, poolAt + (uint32_t)pool.size());
            pool += e.value;
            if (pool.size() % 2) pool += '\0';
        }
    }
    Put32(head, next);
    return head + pool;
}
}  // namespace

Entry Short(uint16_t tag, uint16_t value) { return {tag, 3, 1, Bytes16(value)}; }
Entry Long(uint16_t tag, uint32_t value) { return {tag, 4, 1, Bytes32(value)}; }
Entry Raw(uint16_t tag, uint16_t type, uint32_t count, uint32_t field) {
    return {tag, type, count, Bytes32(field), true};
}
Entry Values(uint16_t tag, uint16_t type, uint32_t count, const std::string& bytes) {
    return {tag, type, count, bytes};
}

std::string Build(std::vector<Entry> entries, const std::vector<std::string>& strips, int badStrip,
                  uint32_t nextDirectory) {
    bool hasStrips = std::any_of(entries.begin(), entries.end(), [](const Entry& e) { return e.tag == 273; });
    // The strips go after the directory; their offsets are known once its size is.
    uint32_t n = (uint32_t)strips.size();
    if (!hasStrips) {
        entries.push_back(Values(273, 4, n, std::string(4 * n, '\0')));
        std::string counts;
        for (const std::string& s : strips) Put32(counts, (uint32_t)s.size());
        entries.push_back(Values(279, 4, n, counts));
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    std::string file = "II*";
    file += '\0';
    Put32(file, 8);
    uint32_t dataAt = 8 + (uint32_t)Directory(entries, 8, nextDirectory).size();
    if (!hasStrips) {
        std::string offsets;
        uint32_t at = dataAt;
        for (uint32_t i = 0; i < n; ++i) {
            Put32(offsets, (int)i == badStrip ? 0x7FFFFFF0u : at);
            at += (uint32_t)strips[i].size();
        }
        for (Entry& e : entries)
            if (e.tag == 273) e.value = offsets;
    }
    file += Directory(entries, 8, nextDirectory);
    for (const std::string& s : strips) file += s;
    return file;
}

uint32_t AppendDirectory(std::string& file, const std::vector<Entry>& entries) {
    if (file.size() % 2) file += '\0';
    uint32_t at = (uint32_t)file.size();
    file += Directory(entries, at, 0);
    return at;
}

uint8_t GreyValue(uint32_t x, uint32_t y) { return (uint8_t)(16 + x * 40 + y * 30); }

std::string GreyStrips(uint32_t w, uint32_t h, uint32_t rowsPerStrip, int badStrip) {
    std::vector<std::string> strips;
    for (uint32_t y0 = 0; y0 < h; y0 += rowsPerStrip) {
        std::string s;
        for (uint32_t y = y0; y < std::min(h, y0 + rowsPerStrip); ++y)
            for (uint32_t x = 0; x < w; ++x) s += (char)GreyValue(x, y);
        strips.push_back(s);
    }
    return Build({Long(256, w), Long(257, h), Short(258, 8), Short(259, 1), Short(262, 1), Short(277, 1),
                  Long(278, rowsPerStrip)},
                 strips, badStrip);
}

std::string Palette16() {
    std::string map;
    for (int channel = 0; channel < 3; ++channel)
        for (uint32_t i = 0; i < 65536; ++i) Put16(map, i);
    std::string pixels;
    for (uint16_t v : {1, 300, 65535}) Put16(pixels, v);
    return Build({Long(256, 3), Long(257, 1), Short(258, 16), Short(259, 1), Short(262, 3), Short(277, 1),
                  Long(278, 1), Values(320, 3, 3 * 65536, map)},
                 {pixels});
}

std::string GreyWithUnknownTag() {
    return Build({Long(256, 2), Long(257, 2), Short(258, 8), Short(259, 1), Short(262, 1), Short(277, 1),
                  Long(278, 2), Long(65000, 7)},
                 {std::string("\x10\x20\x30\x40", 4)});
}

}  // namespace tifftest
