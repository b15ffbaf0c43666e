// The EXIF metadata of an image source in six tag lists, one per directory
// kind: from a bare EXIF block, the APP1 blocks of a JPEG file or the EXIF
// directory of a TIFF page; text by tag number; the embedded thumbnail and
// the raw user comment. A reader belongs to the thread that made it.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/core/PicFileDataTag.h"
#include "imaging/readers/PicExifParser.h"
#include "imaging/readers/PicIO.h"

enum PicExifReadFlag : uint32_t {
    PIC_EXIF_THUMBNAIL = 1,
    PIC_EXIF_MAKER_NOTE = 2,
    PIC_EXIF_USER_COMMENT = 4,
    PIC_EXIF_RAW_BLOCK = 8,  // the source holds one bare EXIF block
};

// Directory mask of GetTagText, searched in this order.
enum PicExifDirectoryMask : uint32_t {
    PIC_EXIF_IFD0 = 0x01,
    PIC_EXIF_EXIF = 0x02,
    PIC_EXIF_INTEROP = 0x04,
    PIC_EXIF_IFD1 = 0x08,
    PIC_EXIF_GPS = 0x10,
    PIC_EXIF_MAKER = 0x20,
};

class CPicEXIFReader {
public:
    CPicEXIFReader() = default;
    virtual ~CPicEXIFReader();
    CPicEXIFReader(const CPicEXIFReader&) = delete;
    CPicEXIFReader& operator=(const CPicEXIFReader&) = delete;

    // Later reads keep only records with this tag (-1: all).
    void SetTagFilter(int32_t tag) { filterTag = tag; }
    void Clear();
    // Appends the source's records (the lists are not emptied first).
    bool ReadFromSource(CPicIO& source, uint32_t flags, int32_t page);
    // Text of the first record with the tag in the first selected list that has one.
    bool GetTagText(uint32_t tag, uint32_t mask, std::string& text, bool decimal);
    bool ParseBlockInto(const uint8_t* block, uint32_t size, uint32_t flags);

    int32_t error = 0;
    ExifTagList ifd0Tags, exifTags, interopTags, ifd1Tags, gpsTags, makerNoteTags;
    bool bigEndian = false;
    void* thumbnail = nullptr;
    uint32_t thumbnailSize = 0;
    void* userComment = nullptr;
    uint32_t userCommentSize = 0;
    int32_t filterTag = -1;

private:
    void FreeExtractions();
    bool ReadRawBlock(CPicIO& source, uint32_t flags);
    bool ReadJpegBlocks(CPicIO& source, uint32_t flags);
    bool ReadTiffExif(CPicIO& source, int32_t page);
};

// Overwrites the bytes and text of every tag (before the list lets them go).
void PicWipeFileDataTags(PicPtrVector<CFileDataTag>& tags);

// The orientation (1-8) of a JPEG source from its EXIF block, or -1 when it
// has none; the source's position is not kept.
int32_t PicJpegExifOrientation(CPicIO& source);
