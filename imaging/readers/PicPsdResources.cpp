#include "imaging/readers/PicPsdResources.h"

#include <algorithm>
#include <cstring>

#include "imaging/core/PicResult.h"

namespace {

enum ParseEnd { kParseOk = 0, kNoSignature = 1, kShortRecord = 2, kPastTheEnd = 3 };

uint32_t Get16(const uint8_t* p) { return (uint32_t)(p[0] << 8 | p[1]); }
uint32_t Get32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }

}  // namespace

bool ImageResourceBlock::Parse(const uint8_t* block, uint64_t length) {
    records.clear();
    result = PIC_ERR_OK;
    if (block == nullptr) {
        result = PIC_ERR_BAD_PARAM;
        return false;
    }
    if (length <= 4) {
        result = PIC_ERR_BAD_RESOURCES;
        return false;
    }
    // Positions and sizes are 64-bit: a size of 0xFFFFFFFF raised to even
    // must not wrap to 0 and pass as a record that fits.
    uint64_t at = 0;
    int end = kParseOk;
    bool anyRecord = false;
    while (at < length) {
        while (at + 4 < length && memcmp(block + at, "8BIM", 4) != 0) ++at;
        if (at + 4 >= length) {
            end = kNoSignature;
            break;
        }
        uint64_t start = at;
        at += 4;
        if (at + 2 > length) {
            end = kShortRecord;
            break;
        }
        uint16_t id = (uint16_t)Get16(block + at);
        at += 2;
        if (at + 1 > length) {
            end = kShortRecord;
            break;
        }
        uint32_t nameLength = block[at];
        // A length byte and the name together take an even number of bytes.
        uint64_t nameBytes =
            nameLength == 0 ? 2 : (nameLength % 2 == 1 ? 1 + (uint64_t)nameLength : 2 + (uint64_t)nameLength);
        if (at + nameBytes > length) {
            end = kShortRecord;
            break;
        }
        std::string name(reinterpret_cast<const char*>(block + at + 1), nameLength);
        at += nameBytes;
        if (at + 4 > length) {
            end = kShortRecord;
            break;
        }
        uint64_t size = Get32(block + at);
        size += size % 2;
        at += 4;
        if (at + size > length) {
            end = kPastTheEnd;
            break;
        }
        anyRecord = true;
        if (m_wanted.empty() || std::find(m_wanted.begin(), m_wanted.end(), id) != m_wanted.end()) {
            PicImageResource r;
            r.id = id;
            r.headerLength = (uint32_t)(at - start);
            r.record.assign(block + start, block + at + size);
            r.name = std::move(name);
            records.push_back(std::move(r));
        }
        at += size;
    }
    if (anyRecord && (end == kParseOk || end == kNoSignature || end == kPastTheEnd)) return true;
    result = PIC_ERR_BAD_RESOURCES;
    return false;
}

const PicImageResource* ImageResourceBlock::Find(uint16_t id) {
    for (const PicImageResource& r : records)
        if (r.id == id) return &r;
    result = PIC_ERR_BAD_PARAM;
    return nullptr;
}
