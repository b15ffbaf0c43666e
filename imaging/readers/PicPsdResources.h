// The image-resource section of a Photoshop file: "8BIM" records with an id,
// a name and data. The reader looks in it for the resolution record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t PIC_ERR_BAD_RESOURCES = 67;

// The resolution record's id.
constexpr uint16_t kPsdResolutionResource = 1005;

struct PicImageResource {
    uint16_t id = 0;
    uint32_t headerLength = 0;  // signature to data
    std::vector<uint8_t> record;  // header and data
    std::string name;
    const uint8_t* Data() const { return record.data() + headerLength; }
    uint64_t DataLength() const { return record.size() - headerLength; }
};

class ImageResourceBlock {
public:
    // Keeps only the records whose id is wanted (all when the list is empty).
    explicit ImageResourceBlock(std::vector<uint16_t> wanted = {}) : m_wanted(std::move(wanted)) {}

    // Parses the section; false (with code 5 or 67) when no record could be read.
    bool Parse(const uint8_t* block, uint64_t length);
    // The first record with the id, or null (code 5).
    const PicImageResource* Find(uint16_t id);

    int32_t result = 0;
    std::vector<PicImageResource> records;

private:
    std::vector<uint16_t> m_wanted;
};
