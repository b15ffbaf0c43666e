#include "imaging/readers/PicExifParser.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "imaging/core/PicLibrarySettings.h"
#include "imaging/core/PicResult.h"
#include "imaging/readers/PicReaderFrame.h"

using CPicEXIFData::CEXIFTagBase;

namespace {

// Where the TIFF structure starts: offsets inside it count from here.
constexpr uint64_t kOrigin = 10;

uint16_t Swap16(uint16_t v) { return (uint16_t)(v << 8 | v >> 8); }
uint32_t Swap32(uint32_t v) { return v >> 24 | (v >> 8 & 0xFF00) | (v << 8 & 0xFF0000) | v << 24; }

uint32_t ItemSize(uint16_t type) {
    switch (type) {
    case 3:
    case 8: return 2;
    case 4:
    case 9:
    case 11: return 4;
    case 5:
    case 10:
    case 12: return 8;
    default: return 1;
    }
}

// Types whose values sit in the value field when they fit: BYTE-like,
// SHORT-like and LONG-like; rationals and doubles never do.
bool FitsValueField(uint16_t type, uint32_t count) {
    uint32_t size = ItemSize(type);
    if (size == 8) return false;
    return (uint64_t)count * size <= 4;
}

enum UndefinedRule { kCountBytes, kFourFromField, kOneFromField };

UndefinedRule RuleForUndefined(uint16_t tag, int32_t kind) {
    if (kind == kExifMakerNote || kind == kExifGps) return kCountBytes;
    switch (tag) {
    case 0x9000:
    case 0x0002:
    case 0xA000: return kFourFromField;
    case 0xA300:
    case 0xA301: return kOneFromField;
    default: return kCountBytes;
    }
}

}  // namespace

void ExifTagList::DeleteAll() {
    for (CEXIFTagBase* record : items) delete record;
    items.clear();
}

bool ExifTagList::Add(CEXIFTagBase* record) {
    try {
        items.push_back(record);
        return true;
    } catch (...) {
        delete record;
        return false;
    }
}

CEXIFTagBase* ExifTagList::Find(uint32_t tag) const {
    for (CEXIFTagBase* record : items)
        if (record->tag == tag) return record;
    return nullptr;
}

bool ExifTagList::GetText(uint32_t tag, std::string& text, bool decimal) const {
    text.clear();
    CEXIFTagBase* record = Find(tag);
    if (record == nullptr) return false;
    record->ToText(text, decimal);
    return true;
}

CPicRawEXIFParse::CPicRawEXIFParse(ExifTagList* ifd0, ExifTagList* exif, ExifTagList* interop, ExifTagList* ifd1,
                                   ExifTagList* gps, ExifTagList* makerNote)
    : ifd0Tags(ifd0), exifTags(exif), interopTags(interop), ifd1Tags(ifd1), gpsTags(gps), makerNoteTags(makerNote) {}

// Values may end exactly at the block's end: exiftool and cameras put the
// last directory's next offset and the last value there.
bool CPicRawEXIFParse::Read16(uint64_t position, uint16_t& value) const {
    if (block == nullptr || !Has(position, 2)) return false;
    memcpy(&value, block + position, 2);
    if (bigEndian) value = Swap16(value);
    return true;
}

bool CPicRawEXIFParse::Read32(uint64_t position, uint32_t& value) const {
    if (block == nullptr || !Has(position, 4)) return false;
    memcpy(&value, block + position, 4);
    if (bigEndian) value = Swap32(value);
    return true;
}

bool CPicRawEXIFParse::ReadEntry(uint64_t position, Entry& entry) const {
    if (!Has(position, 12)) return false;
    memcpy(&entry.tag, block + position, 2);
    memcpy(&entry.type, block + position + 2, 2);
    memcpy(&entry.count, block + position + 4, 4);
    memcpy(&entry.value, block + position + 8, 4);
    if (bigEndian) {
        entry.tag = Swap16(entry.tag);
        entry.type = Swap16(entry.type);
        entry.count = Swap32(entry.count);
        entry.value = Swap32(entry.value);
    }
    entry.position = position;
    return true;
}

bool CPicRawEXIFParse::FillItems(CEXIFTagBase& record, const Entry& entry, uint64_t origin, int32_t kind) {
    uint16_t type = entry.type;
    uint64_t count = entry.count;
    bool fromField = FitsValueField(type, entry.count);
    if (type == 7) {
        UndefinedRule rule = RuleForUndefined(entry.tag, kind);
        if (rule != kCountBytes) {
            fromField = true;
            count = rule == kFourFromField ? 4 : 1;
        }
    }
    uint64_t bytes = count * ItemSize(type);
    uint64_t at = fromField ? entry.position + 8 : origin + entry.value;
    // Values out of line must lie inside the block.
    if (!fromField && !Has(at, bytes)) {
        PicTrace("%s\n", "Invalid offset reading EXIF data");
        return false;
    }
    record.AppendRaw(block + at, (uint32_t)count, bigEndian && type != 2 && ItemSize(type) > 1);
    return true;
}

CEXIFTagBase* CPicRawEXIFParse::MakeTag(const Entry& entry, uint64_t origin, int32_t kind, int32_t maker) {
    std::string name;
    try {
        name = ExifTagName(entry.tag, kind, maker);
    } catch (...) {
        PicTrace("Exception in PicEXIFData\n");
        return nullptr;
    }
    if ((int32_t)entry.count < 0 || entry.count >= blockSize) return nullptr;
    if (entry.type < 1 || entry.type > 12) return nullptr;
    CEXIFTagBase* record = CPicEXIFData::NewTagOfType(entry.type);
    if (record == nullptr) return nullptr;
    try {
        if (!FillItems(*record, entry, origin, kind)) {
            delete record;
            return nullptr;
        }
        record->tag = entry.tag;
        record->type = entry.type;
        record->count = entry.count;
        record->value = entry.value;
        record->name = std::move(name);
    } catch (...) {
        PicTrace("Exception in PicEXIFData\n");
        delete record;
        return nullptr;
    }
    return record;
}

bool CPicRawEXIFParse::AddRecord(CEXIFTagBase* record, const Entry& entry, uint64_t origin, ExifTagList& list) {
    record->entryOffset = (int32_t)entry.position;
    record->originOffset = (int32_t)origin;
    record->bigEndian = bigEndian;
    return list.Add(record);
}

bool CPicRawEXIFParse::ReadDirectory(uint64_t origin, uint64_t firstEntry, uint32_t count, int32_t kind,
                                     ExifTagList& list) {
    if (filterFound) return true;
    for (uint32_t i = 0; i < count; ++i) {
        Entry entry;
        if (!ReadEntry(firstEntry + 12ull * i, entry)) return false;
        if (filterTag != -1 && entry.tag != (uint32_t)filterTag) continue;
        CEXIFTagBase* record = MakeTag(entry, origin, kind, kMakerNone);
        if (record == nullptr) continue;
        if (!AddRecord(record, entry, origin, list)) return false;
        if (filterTag != -1) {
            filterFound = true;
            break;
        }
    }
    return true;
}

void CPicRawEXIFParse::ReadSubDirectory(uint64_t origin, const ExifTagList& parent, uint32_t pointerTag,
                                        int32_t kind, ExifTagList& list, const char* const texts[3]) {
    CEXIFTagBase* pointer = parent.Find(pointerTag);
    if (pointer == nullptr) return;
    uint64_t offset = pointer->value;
    if (offset >= blockSize) {
        PicTrace("%s", texts[0]);
        return;
    }
    uint16_t count;
    if (!Read16(origin + offset, count)) {
        PicTrace("%s", texts[1]);
        list.DeleteAll();
        return;
    }
    if (!ReadDirectory(origin, origin + offset + 2, count, kind, list)) PicTrace("%s", texts[2]);
}

bool CPicRawEXIFParse::ParseBlock(const uint8_t* data, uint32_t size, bool parseMakerNotes, bool) {
    decodeUserCommentText = false;
    filterFound = false;
    if (data == nullptr || size < 10 || memcmp(data + 4, "Exif", 4) != 0) return error = PIC_ERR_BAD_EXIF, false;
    block = data;
    blockSize = size;
    const uint64_t origin = kOrigin;
    uint16_t order = 0, magic = 0;
    if (size >= 14) {
        memcpy(&order, block + origin, 2);
        memcpy(&magic, block + origin + 2, 2);
    }
    if (order == 0x4949)
        bigEndian = false;
    else if (order == 0x4D4D)
        bigEndian = true;
    if ((order != 0x4949 && order != 0x4D4D) || (magic != 0x002A && magic != 0x2A00)) {
        PicTrace("Unknown byte order tag\n");
        return error = PIC_ERR_BAD_EXIF, false;
    }
    uint32_t ifd0 = 0, next = 0;
    uint16_t count = 0;
    if (!Read32(origin + 4, ifd0) || !Read16(origin + ifd0, count) ||
        !ReadDirectory(origin, origin + ifd0 + 2, count, kExifIfd0, *ifd0Tags) ||
        !Read32(origin + ifd0 + 2 + 12ull * count, next))
        return error = PIC_ERR_BAD_EXIF, false;
    if (next > 0 && next < size) {
        uint16_t ifd1Count;
        if (!Read16(origin + next, ifd1Count)) {
            PicTrace("EXIF: Invalid IFD1 tag count\n");
            ifd1Tags->DeleteAll();
        } else if (!ReadDirectory(origin, origin + next + 2, ifd1Count, kExifIfd1, *ifd1Tags)) {
            PicTrace("EXIF: Invalid IFD1 data\n");
        }
    }
    static const char* const kExifTexts[3] = {"EXIF: Invalid exifIFD offset\n", "EXIF: Invalid exifIFD tag count\n",
                                              "EXIF: Invalid exifIFD data\n"};
    static const char* const kInteropTexts[3] = {"EXIF: Invalid interop offset\n", "EXIF: Invalid interop tag count\n",
                                                 "EXIF: Invalid interop data\n"};
    static const char* const kGpsTexts[3] = {"EXIF: Invalid GPSIFD offset\n", "EXIF: Invalid GPS tag count\n",
                                             "EXIF: Invalid GPS data\n"};
    ReadSubDirectory(origin, *ifd0Tags, 0x8769, kExifExif, *exifTags, kExifTexts);
    ReadSubDirectory(origin, *exifTags, 0xA005, kExifInterop, *interopTags, kInteropTexts);
    ReadSubDirectory(origin, *ifd0Tags, 0x8825, kExifGps, *gpsTags, kGpsTexts);
    if (GetLibrarySettings().traceLevel <= 0) {
        PicTrace("\n--- IFD0 tags ---\n");
        DumpTags(*ifd0Tags);
        PicTrace("--- exifIFD tags ---\n");
        DumpTags(*exifTags);
        PicTrace("--- Interop tags ---\n");
        DumpTags(*interopTags);
        PicTrace("--- IFD1 tags ---\n");
        DumpTags(*ifd1Tags);
        PicTrace("------\n");
        DumpTags(*gpsTags);
        PicTrace("------\n");
    }
    if (parseMakerNotes && !ReadMakerNote(origin)) {
        error = PIC_ERR_BAD_EXIF;
        PicTrace("EXIF: unable to parse Maker Note data\n");
    }
    return true;
}

void CPicRawEXIFParse::DumpTags(const ExifTagList& list) const {
    std::string text;
    for (const CEXIFTagBase* record : list.items) {
        try {
            record->ToText(text, false);
            PicTrace("%s\t\t%s\t\tval: \"%s\"\n", record->name.c_str(), record->typeName.c_str(), text.c_str());
        } catch (...) {
            PicTrace("exception in EXIF tag dump\n");
        }
    }
}

bool CPicRawEXIFParse::ReadMakerNote(uint64_t origin) {
    CEXIFTagBase* make = ifd0Tags->Find(271);
    CEXIFTagBase* note = exifTags->Find(0x927C);
    if (note == nullptr) note = ifd0Tags->Find(0x927C);
    if (note == nullptr) note = ifd1Tags->Find(0x927C);
    if (make == nullptr || note == nullptr) return true;
    uint64_t start = origin + note->value;
    uint16_t first;
    if (!Read16(start, first)) return false;
    std::string text;
    make->ToText(text, false);
    struct MakeRow {
        const char* text;
        int32_t maker;
    };
    static const MakeRow kMakes[] = {
        {"Canon", kMakerCanon},
        {"FUJIFILM", kMakerFuji},
        {"OLYMPUS OPTICAL CO.,LTD", kMakerOlympus},
        {"OLYMPUS IMAGING CORP.  ", kMakerOlympus},
        {"OLYMPUS CORPORATION    ", kMakerOlympus},
        {"CASIO", kMakerCasio},
        {"CASIO COMPUTER CO.,LTD ", kMakerCasioHeader},
        {"NIKON", kMakerNikonType1},
        {"NIKON CORPORATION", kMakerNikonType1},
    };
    int32_t maker = kMakerNone;
    for (const MakeRow& row : kMakes)
        if (text == row.text) {
            maker = row.maker;
            break;
        }
    if (maker == kMakerNone) return true;
    if (maker == kMakerCasioHeader) start += 6;
    try {
        return ReadMakerNoteDirectory(origin, start, *makerNoteTags, maker);
    } catch (...) {
        return false;
    }
}

bool CPicRawEXIFParse::ReadMakerNoteDirectory(uint64_t origin, uint64_t note, ExifTagList& list, int32_t maker) {
    auto startsWith = [&](uint64_t at, const char* text, size_t length) {
        return Has(at, length) && memcmp(block + at, text, length) == 0;
    };
    const bool blockOrder = bigEndian;
    struct RestoreOrder {
        bool& order;
        bool saved;
        ~RestoreOrder() { order = saved; }
    } restore{bigEndian, blockOrder};
    uint64_t directory = note, valueOrigin = origin, storedOrigin = origin;
    int32_t recordMaker = maker;
    switch (maker) {
    case kMakerCanon:
        storedOrigin = note + 2;
        break;
    case kMakerNikonType1:
        if (startsWith(note, "Nikon\0\x02", 7)) {
            uint64_t header = note + 10;
            if (startsWith(header, "MM\0\x2A", 4))
                bigEndian = true;
            else if (startsWith(header, "II\x2A\0", 4))
                bigEndian = false;
            else
                return false;
            uint32_t offset;
            if (!Read32(header + 4, offset)) return false;
            directory = header + offset;
            valueOrigin = storedOrigin = header;
            recordMaker = kMakerNikon;
        } else if (startsWith(note, "Nikon", 5)) {
            directory = note + 8;
        } else {
            recordMaker = kMakerNikon;
        }
        break;
    case kMakerFuji: {
        bigEndian = false;
        uint32_t offset;
        if (!Read32(note + 8, offset)) return false;
        directory = note + offset;
        valueOrigin = storedOrigin = note;
        break;
    }
    case kMakerOlympus:
        if (startsWith(note, "OLYMPUS\0II", 10) || startsWith(note, "OLYMPUS\0MM", 10)) {
            bigEndian = block[note + 8] == 'M';
            directory = note + 12;
            valueOrigin = storedOrigin = note;
        } else {
            directory = note + 8;
        }
        break;
    case kMakerCasio:
    case kMakerCasioHeader: break;
    default: return false;
    }
    uint16_t count;
    if (!Read16(directory, count)) {
        error = PIC_ERR_BAD_EXIF;
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        Entry entry;
        if (!ReadEntry(directory + 2 + 12ull * i, entry)) {
            PicTrace("Invalid IFD offset reading EXIF data");
            continue;
        }
        CEXIFTagBase* record = MakeTag(entry, valueOrigin, kExifMakerNote, recordMaker);
        if (record != nullptr && !AddRecord(record, entry, storedOrigin, list)) return false;
    }
    return true;
}

int32_t CPicRawEXIFParse::ExtractThumbnail(void** out, uint32_t* size) {
    if (block == nullptr) return PIC_ERR_BAD_PARAM;
    std::string offsetText, lengthText;
    if (!ifd1Tags->GetText(513, offsetText, false) || !ifd1Tags->GetText(514, lengthText, false))
        return error = PIC_ERR_EXIF_TAG_NOT_FOUND;
    int64_t offset = strtoll(offsetText.c_str(), nullptr, 10);
    int64_t length = strtoll(lengthText.c_str(), nullptr, 10);
    // The thumbnail lies after the origin: all of it must be inside the block.
    if (offset <= 0 || length <= 0 || offset >= blockSize || (uint64_t)offset + length >= blockSize ||
        kOrigin + (uint64_t)offset + (uint64_t)length > blockSize)
        return error = PIC_ERR_EXIF_TAG_NOT_FOUND;
    void* copy = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, (SIZE_T)length);
    if (copy == nullptr) return error = PIC_ERR_EXIF_TAG_NOT_FOUND;
    memcpy(copy, block + kOrigin + offset, (size_t)length);
    *out = copy;
    *size = (uint32_t)length;
    return PIC_ERR_OK;
}

int32_t CPicRawEXIFParse::ExtractUserComment(void** out, uint32_t* size) {
    *out = nullptr;
    *size = 0;
    if (block == nullptr) return PIC_ERR_BAD_PARAM;
    auto* comment = dynamic_cast<CPicEXIFData::CEXIFTagU8*>(exifTags->Find(0x9286));
    if (comment == nullptr || comment->items.count == 0) return error = PIC_ERR_EXIF_TAG_NOT_FOUND;
    void* copy = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, comment->items.count);
    if (copy == nullptr) return error = PIC_ERR_EXIF_TAG_NOT_FOUND;
    memcpy(copy, comment->items.data, comment->items.count);
    *out = copy;
    *size = comment->items.count;
    return PIC_ERR_OK;
}
