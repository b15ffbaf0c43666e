#include "imaging/readers/PicExifTiff.h"

#include <atomic>
#include <new>

#include "imaging/core/PicResult.h"
#include "imaging/readers/PicReaderFrame.h"

namespace {
std::atomic<PicExifTiffReadFn> g_tiffReader{PicBuiltInExifTiffReader()};
}

void PicSetExifTiffReader(PicExifTiffReadFn reader) { g_tiffReader.store(reader); }
PicExifTiffReadFn PicGetExifTiffReader() { return g_tiffReader.load(); }

int32_t AddEXIFTag(ExifTiffCollector& collector, uint16_t tag, uint16_t type, const char* name, uint32_t count,
                   const void* values) {
    if (collector.currentList == nullptr) return 0;
    CPicEXIFData::CEXIFTagBase* record =
        type == 7 ? new (std::nothrow) CPicEXIFData::CEXIFTagASCII : CPicEXIFData::NewTagOfType(type);
    if (record == nullptr) {
        if (type >= 1 && type <= 12) collector.error = PIC_ERR_OUT_OF_MEMORY;
        return 0;
    }
    try {
        record->AppendValues(&values, count, false);
        record->count = count;
        record->tag = tag;
        record->type = type;
        record->value = 0;
        record->name = name != nullptr ? name : "";
        record->fromTiff = true;
        record->entryOffset = record->originOffset = -1;
    } catch (...) {
        delete record;
        collector.error = PIC_ERR_OUT_OF_MEMORY;
        return 0;
    }
    std::string text;
    record->ToText(text, false);
    PicTrace("AddEXIFTag %#4x %s (items: %d) = %s\n", tag, record->name.c_str(), (int)count, text.c_str());
    if (!collector.currentList->Add(record)) {
        collector.error = PIC_ERR_OUT_OF_MEMORY;
        return 0;
    }
    return 1;
}
