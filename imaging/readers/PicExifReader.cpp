#include "imaging/readers/PicExifReader.h"

#include <windows.h>

#include <cstdlib>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicExifTiff.h"
#include "imaging/readers/PicFileType.h"
#include "imaging/readers/PicJpegReader.h"
#include "imaging/readers/PicReaderFrame.h"

namespace {
// A user comment that cannot be copied out.
constexpr int32_t kUserCommentNotExtracted = 83;
constexpr uint32_t kOrientationTag = 274;
}  // namespace

CPicEXIFReader::~CPicEXIFReader() { Clear(); }

void CPicEXIFReader::FreeExtractions() {
    if (thumbnail != nullptr) GlobalFree(thumbnail);
    if (userComment != nullptr) GlobalFree(userComment);
    thumbnail = userComment = nullptr;
    thumbnailSize = userCommentSize = 0;
}

void CPicEXIFReader::Clear() {
    for (ExifTagList* list : {&ifd0Tags, &exifTags, &interopTags, &ifd1Tags, &gpsTags, &makerNoteTags})
        list->DeleteAll();
    FreeExtractions();
    filterTag = -1;
}

bool CPicEXIFReader::GetTagText(uint32_t tag, uint32_t mask, std::string& text, bool decimal) {
    const ExifTagList* lists[] = {&ifd0Tags, &exifTags, &interopTags, &ifd1Tags, &gpsTags, &makerNoteTags};
    for (int i = 0; i < 6; ++i)
        if ((mask & (1u << i)) && lists[i]->GetText(tag, text, decimal)) return true;
    text.clear();
    error = PIC_ERR_EXIF_TAG_NOT_FOUND;
    return false;
}

bool CPicEXIFReader::ParseBlockInto(const uint8_t* block, uint32_t size, uint32_t flags) {
    error = PIC_ERR_OK;
    CPicRawEXIFParse parser(&ifd0Tags, &exifTags, &interopTags, &ifd1Tags, &gpsTags, &makerNoteTags);
    if (filterTag != -1) {
        parser.filterTag = filterTag;
        parser.filterFound = false;
    }
    if (!parser.ParseBlock(block, size, (flags & PIC_EXIF_MAKER_NOTE) != 0, (flags & PIC_EXIF_USER_COMMENT) == 0))
        return false;
    bigEndian = parser.bigEndian;
    if (flags & PIC_EXIF_THUMBNAIL) {
        if (parser.ExtractThumbnail(&thumbnail, &thumbnailSize) != PIC_ERR_OK) error = PIC_ERR_EXIF_EXTRACT;
    }
    if (flags & PIC_EXIF_USER_COMMENT) {
        if (parser.ExtractUserComment(&userComment, &userCommentSize) != PIC_ERR_OK)
            error = kUserCommentNotExtracted;
    }
    return true;
}

bool CPicEXIFReader::ReadRawBlock(CPicIO& source, uint32_t flags) {
    uint64_t size = 0;
    if (!source.Seek(0, 0) || !source.GetSize(&size) || size == 0) return error = PIC_ERR_FILE_READ, false;
    PicArray<unsigned char> bytes;
    if (size > UINT32_MAX || !bytes.Allocate((uint32_t)size)) return error = PIC_ERR_OUT_OF_MEMORY, false;
    uint32_t got = source.Read(bytes.data, (uint32_t)size);
    bool parsed = got != 0 && ParseBlockInto(bytes.data, got, flags);
    if (got == 0) error = PIC_ERR_FILE_READ;
    WipeBytes(bytes.data, bytes.count);
    return parsed;
}

bool CPicEXIFReader::ReadJpegBlocks(CPicIO& source, uint32_t flags) {
    if (!source.Seek(0, 0)) return error = PIC_ERR_FILE_READ, false;
    CPicReaderSettings settings;
    CPicThreadState::InitReaderSettings(settings);
    CPicReaderContext context;
    bool found = false;
    if (!JpegCollectMarkers(context, source, settings)) {
        error = context.result;
    } else {
        for (CFileDataTag* tag : settings.tagLists[CPicReaderSettings::kMarkers].items) {
            if (tag->id != 0xE1 || tag->bytes.count == 0) continue;
            if (ParseBlockInto(tag->bytes.data, tag->bytes.count, flags)) {
                found = true;
                break;
            }
        }
    }
    // The blocks are a decrypted picture's metadata (camera, place, time) when the picture was encrypted.
    PicWipeFileDataTags(settings.tagLists[CPicReaderSettings::kMarkers]);
    PicWipeFileDataTags(settings.tagLists[CPicReaderSettings::kComments]);
    CPicThreadState::DestroyReaderSettings(settings);
    return found;
}

bool CPicEXIFReader::ReadTiffExif(CPicIO& source, int32_t page) {
    if (!source.Seek(0, 0)) return error = PIC_ERR_FILE_READ, false;
    PicExifTiffReadFn reader = PicGetExifTiffReader();
    if (reader == nullptr) return error = PIC_ERR_UNSUPPORTED, false;
    ExifTiffCollector collector;
    collector.ifd0Tags = &ifd0Tags;
    collector.exifTags = &exifTags;
    collector.interopTags = &interopTags;
    collector.ifd1Tags = &ifd1Tags;
    collector.gpsTags = &gpsTags;
    CPicCallDepthGuard depth;
    return reader(collector, source, page);
}

bool CPicEXIFReader::ReadFromSource(CPicIO& source, uint32_t flags, int32_t page) {
    error = PIC_ERR_OK;
    FreeExtractions();
    bool read = false;
    if (flags & PIC_EXIF_RAW_BLOCK) {
        read = ReadRawBlock(source, flags);
    } else {
        CPicReaderContext context;
        source.Seek(0, 0);
        int32_t type = GuessFormatByMagic(context, source);
        error = context.result;
        if (type == PIC_FT_JPEG)
            read = ReadJpegBlocks(source, flags);
        else if (type == PIC_FT_TIFF)
            read = ReadTiffExif(source, page);
        else if (type != PIC_FT_NONE)
            return error = PIC_ERR_BAD_PARAM, false;
    }
    PicTrace("EXIF Tags: %d, Interop: %d, IFD1: %d, exifIFD:%d, GPS: %d\n", (int)ifd0Tags.items.size(),
             (int)interopTags.items.size(), (int)ifd1Tags.items.size(), (int)exifTags.items.size(),
             (int)gpsTags.items.size());
    return read;
}

void PicWipeFileDataTags(PicPtrVector<CFileDataTag>& tags) {
    for (CFileDataTag* tag : tags.items) {
        WipeBytes(tag->bytes.data, tag->bytes.count);
        if (!tag->text.empty()) WipeBytes(&tag->text[0], tag->text.size());
    }
}

int32_t PicJpegExifOrientation(CPicIO& source) {
    CPicEXIFReader reader;
    reader.SetTagFilter((int32_t)kOrientationTag);
    if (!source.Seek(0, 0) || !reader.ReadFromSource(source, 0, 0)) return -1;
    std::string text;
    if (!reader.GetTagText(kOrientationTag, PIC_EXIF_IFD0, text, false)) return -1;
    return atoi(text.c_str());
}
