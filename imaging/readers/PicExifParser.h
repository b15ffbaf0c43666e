// One EXIF block in memory (an APP1 segment with 4 leading bytes, or a raw
// block) turned into tag records appended to the EXIF reader's six lists.
// Every read is checked against both ends of the block, with 64-bit offsets
// from the block's start; no pointer is formed before its offset is checked.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/readers/PicExifNames.h"
#include "imaging/readers/PicExifTag.h"

// Owned records of one directory kind; the EXIF reader deletes them.
struct ExifTagList {
    ExifTagList() = default;
    ~ExifTagList() { DeleteAll(); }
    ExifTagList(const ExifTagList&) = delete;
    ExifTagList& operator=(const ExifTagList&) = delete;

    void DeleteAll();
    // Takes the record; false (and the record deleted) without memory.
    bool Add(CPicEXIFData::CEXIFTagBase* record);
    // The first record with the tag, or null.
    CPicEXIFData::CEXIFTagBase* Find(uint32_t tag) const;
    // Empties text, then fills it from the record with the tag; false when none.
    bool GetText(uint32_t tag, std::string& text, bool decimal) const;

    std::vector<CPicEXIFData::CEXIFTagBase*> items;
};

class CPicRawEXIFParse {
public:
    CPicRawEXIFParse(ExifTagList* ifd0, ExifTagList* exif, ExifTagList* interop, ExifTagList* ifd1,
                     ExifTagList* gps, ExifTagList* makerNote);
    virtual ~CPicRawEXIFParse() = default;

    // True when the block and its IFD0 parse (else error 56).
    bool ParseBlock(const uint8_t* block, uint32_t size, bool parseMakerNotes, bool unused);
    // The IFD1 JPEG thumbnail in a new global block: 0, 5 without a parsed block, or 57.
    int32_t ExtractThumbnail(void** block, uint32_t* size);
    // The raw UserComment bytes in a new global block: 0, 5 or 57.
    int32_t ExtractUserComment(void** block, uint32_t* size);

    int32_t error = 0;
    ExifTagList* ifd0Tags;
    ExifTagList* exifTags;
    ExifTagList* interopTags;
    ExifTagList* ifd1Tags;
    ExifTagList* gpsTags;
    ExifTagList* makerNoteTags;
    bool bigEndian = true;
    const uint8_t* block = nullptr;
    uint32_t blockSize = 0;
    bool decodeUserCommentText = true;
    int32_t filterTag = -1;  // -1: every entry
    bool filterFound = false;

private:
    struct Entry {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        uint32_t value;
        uint64_t position;  // of the entry in the block
    };
    bool Read16(uint64_t position, uint16_t& value) const;
    bool Read32(uint64_t position, uint32_t& value) const;
    bool Has(uint64_t position, uint64_t length) const { return position + length <= blockSize; }
    bool ReadEntry(uint64_t position, Entry& entry) const;
    bool ReadDirectory(uint64_t origin, uint64_t firstEntry, uint32_t count, int32_t kind, ExifTagList& list);
    // Notes where the record came from and appends it; false without memory.
    bool AddRecord(CPicEXIFData::CEXIFTagBase* record, const Entry& entry, uint64_t origin, ExifTagList& list);
    CPicEXIFData::CEXIFTagBase* MakeTag(const Entry& entry, uint64_t origin, int32_t kind, int32_t maker);
    bool FillItems(CPicEXIFData::CEXIFTagBase& record, const Entry& entry, uint64_t origin, int32_t kind);
    bool ReadMakerNote(uint64_t origin);
    bool ReadMakerNoteDirectory(uint64_t origin, uint64_t noteStart, ExifTagList& list, int32_t maker);
    void ReadSubDirectory(uint64_t origin, const ExifTagList& parent, uint32_t pointerTag, int32_t kind,
                          ExifTagList& list, const char* const texts[3]);
    void DumpTags(const ExifTagList& list) const;
};
