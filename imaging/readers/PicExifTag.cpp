#include "imaging/readers/PicExifTag.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicResult.h"
#include "imaging/core/PicSizes.h"
#include "imaging/readers/PicException.h"

namespace CPicEXIFData {

namespace {

void Reverse(uint8_t* bytes, size_t n) {
    for (size_t i = 0; i < n / 2; ++i) {
        uint8_t t = bytes[i];
        bytes[i] = bytes[n - 1 - i];
        bytes[n - 1 - i] = t;
    }
}

// Big-endian conversion of one item in place: plain numbers whole,
// rationals half by half.
template <class Item>
void SwapItem(Item& item) {
    if constexpr (std::is_same_v<Item, URational> || std::is_same_v<Item, SRational>) {
        Reverse(reinterpret_cast<uint8_t*>(&item.numerator), 4);
        Reverse(reinterpret_cast<uint8_t*>(&item.denominator), 4);
    } else {
        Reverse(reinterpret_cast<uint8_t*>(&item), sizeof(Item));
    }
}

template <class Item>
void AppendItemText(std::string& out, const Item& item, bool decimal) {
    char text[64];
    if constexpr (std::is_same_v<Item, URational> || std::is_same_v<Item, SRational>) {
        if (decimal && item.denominator == 0)
            snprintf(text, sizeof text, "0.0");
        else if (decimal)
            snprintf(text, sizeof text, "%.5f", (double)item.numerator / item.denominator);
        else if constexpr (std::is_same_v<Item, SRational>)
            snprintf(text, sizeof text, "%d/%d", item.numerator, item.denominator);
        else
            snprintf(text, sizeof text, "%u/%u", item.numerator, item.denominator);
    } else if constexpr (std::is_floating_point_v<Item>) {
        snprintf(text, sizeof text, "%.5f", (double)item);
    } else {
        // 32-bit unsigned values print as signed ones.
        snprintf(text, sizeof text, "%d", (int32_t)item);
    }
    out += text;
}

// A zeroed global block of `bytes` with `source` copied in; null when refused.
void* NewExportBlock(const void* source, uint64_t bytes) {
    if (!PicBlockSizeAllowed(bytes)) return nullptr;
    void* block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, (SIZE_T)bytes);
    if (block != nullptr && source != nullptr) memcpy(block, source, (size_t)bytes);
    return block;
}

void Put16(uint8_t* p, uint16_t v, bool bigEndian) {
    if (bigEndian) Reverse(reinterpret_cast<uint8_t*>(&v), 2);
    memcpy(p, &v, 2);
}
void Put32(uint8_t* p, uint32_t v, bool bigEndian) {
    if (bigEndian) Reverse(reinterpret_cast<uint8_t*>(&v), 4);
    memcpy(p, &v, 4);
}

// A copy of a record whose items copy by assignment; null without memory.
template <class Record>
CEXIFTagBase* CloneRecord(const Record& from) {
    Record* copy = new (std::nothrow) Record;
    if (copy == nullptr) return nullptr;
    copy->CopyBase(from);
    try {
        copy->items = from.items;
    } catch (...) {
        delete copy;
        return nullptr;
    }
    return copy;
}

}  // namespace

void CEXIFTagBase::CopyBase(const CEXIFTagBase& other) {
    name = other.name;
    typeName = other.typeName;
    tag = other.tag;
    type = other.type;
    count = other.count;
    value = other.value;
    entryOffset = other.entryOffset;
    originOffset = other.originOffset;
    bigEndian = other.bigEndian;
    fromTiff = other.fromTiff;
    writeAsUndefined = other.writeAsUndefined;
}

void CEXIFTagBase::WriteEntry(uint8_t* entry, uint32_t bufferSize, uint32_t dataOffset, uint8_t** data,
                              uint32_t* dataBytes, bool targetBigEndian) {
    Put16(entry, tag, targetBigEndian);
    Put16(entry + 2, writeAsUndefined ? 7 : type, targetBigEndian);
    Put32(entry + 4, count, targetBigEndian);
    memset(entry + 8, 0, 4);
    uint32_t size = DataSize();
    if (size < 5) {
        *data = entry + 8;
        *dataBytes = 0;
        return;
    }
    if (bufferSize < size) throw VovIredev::PicException("Tag data size greater than allocated buffer", PIC_ERR_UNSUPPORTED);
    Put32(entry + 8, dataOffset, targetBigEndian);
    *dataBytes = size;
}

uint32_t CEXIFTagBase::WriteTag(uint8_t* buffer, uint32_t entryPosition, uint32_t dataPosition, uint32_t bufferSize,
                                uint32_t* dataBytes, bool targetBigEndian) {
    uint8_t entry[12];
    uint8_t* data = buffer + dataPosition;
    *dataBytes = 0;
    WriteEntry(entry, bufferSize, dataPosition, &data, dataBytes, targetBigEndian);
    if ((*dataBytes != 0 && (uint64_t)dataPosition + DataSize() > bufferSize) ||
        (uint64_t)entryPosition + sizeof entry > bufferSize)
        throw VovIredev::PicException("Out of bounds in EXIF tag write", PIC_ERR_UNSUPPORTED);
    WriteItems(data, targetBigEndian);
    memcpy(buffer + entryPosition, entry, sizeof entry);
    return 12 + *dataBytes;
}

template <class Item, uint16_t kType>
CEXIFTagNumbers<Item, kType>::CEXIFTagNumbers()
    : CEXIFTagBase(kType == 3    ? "U16"
                   : kType == 4  ? "U32"
                   : kType == 5  ? "UR"
                   : kType == 6  ? "I8"
                   : kType == 8  ? "I16"
                   : kType == 9  ? "I32"
                   : kType == 10 ? "SR"
                   : kType == 11 ? "R4"
                                 : "R8",
                   kType) {}

template <class Item, uint16_t kType>
void CEXIFTagNumbers<Item, kType>::ClearItems() {
    WipeBytes(items.data(), items.size() * sizeof(Item));
    items.clear();
}

template <class Item, uint16_t kType>
void CEXIFTagNumbers<Item, kType>::AppendValues(const void* const* values, uint32_t n, bool) {
    AppendRaw(*values, n, false);
}

template <class Item, uint16_t kType>
void CEXIFTagNumbers<Item, kType>::AppendRaw(const void* raw, uint32_t n, bool fromBigEndian) {
    const uint8_t* bytes = static_cast<const uint8_t*>(raw);
    items.reserve(items.size() + n);
    for (uint32_t i = 0; i < n; ++i) {
        Item item;
        memcpy(&item, bytes + (size_t)i * sizeof(Item), sizeof(Item));
        if (fromBigEndian) SwapItem(item);
        items.push_back(item);
    }
    count = (uint32_t)items.size();
}

template <class Item, uint16_t kType>
uint32_t CEXIFTagNumbers<Item, kType>::DataSize() const {
    uint32_t bytes = (uint32_t)(items.size() * sizeof(Item));
    if (sizeof(Item) == 2) return bytes <= 4 ? 0 : bytes;
    if (sizeof(Item) == 1) return bytes;
    return items.size() <= 1 && (sizeof(Item) == 4 || items.empty()) ? 0 : bytes;
}

template <class Item, uint16_t kType>
std::string& CEXIFTagNumbers<Item, kType>::ToText(std::string& out, bool decimal) const {
    out.clear();
    for (size_t i = 0; i < items.size(); ++i) {
        if (i != 0) out += ", ";
        AppendItemText(out, items[i], decimal);
    }
    return out;
}

template <class Item, uint16_t kType>
void CEXIFTagNumbers<Item, kType>::ExportItems(void** block, uint32_t* size) const {
    *size = (uint32_t)(items.size() * sizeof(Item));
    if (items.empty()) return;
    *block = NewExportBlock(items.data(), *size);
}

template <class Item, uint16_t kType>
CEXIFTagBase* CEXIFTagNumbers<Item, kType>::Clone() const {
    return CloneRecord(*this);
}

template <class Item, uint16_t kType>
void CEXIFTagNumbers<Item, kType>::WriteItems(uint8_t* out, bool targetBigEndian) const {
    for (Item item : items) {
        if (targetBigEndian) SwapItem(item);
        memcpy(out, &item, sizeof(Item));
        out += sizeof(Item);
    }
}

template class CEXIFTagNumbers<uint16_t, 3>;
template class CEXIFTagNumbers<uint32_t, 4>;
template class CEXIFTagNumbers<URational, 5>;
template class CEXIFTagNumbers<int8_t, 6>;
template class CEXIFTagNumbers<int16_t, 8>;
template class CEXIFTagNumbers<int32_t, 9>;
template class CEXIFTagNumbers<SRational, 10>;
template class CEXIFTagNumbers<float, 11>;
template class CEXIFTagNumbers<double, 12>;

void CEXIFTagU8::ClearItems() {
    WipeBytes(items.data, items.count);
    items.Free();
}

void CEXIFTagU8::AppendValues(const void* const* values, uint32_t n, bool) { AppendRaw(*values, n, false); }

void CEXIFTagU8::AppendRaw(const void* raw, uint32_t n, bool) {
    uint32_t had = items.count;
    PicArray<unsigned char> grown;
    if ((uint64_t)had + n > UINT32_MAX || !grown.Allocate(had + n)) return;
    if (had != 0) memcpy(grown.data, items.data, had);
    if (n != 0) memcpy(grown.data + had, raw, n);
    WipeBytes(items.data, items.count);
    items = std::move(grown);
    count = items.count;
}

std::string& CEXIFTagU8::ToText(std::string& out, bool) const {
    out.clear();
    char text[8];
    for (uint32_t i = 0; i < items.count; ++i) {
        if (i != 0) out += ", ";
        snprintf(text, sizeof text, items.data[i] < 16 ? "x0%x" : "x%x", items.data[i]);
        out += text;
    }
    return out;
}

void CEXIFTagU8::ExportItems(void** block, uint32_t* size) const {
    *size = items.count;
    if (items.count == 0) return;
    *block = NewExportBlock(items.data, items.count);
}

CEXIFTagBase* CEXIFTagU8::Clone() const {
    auto* copy = new (std::nothrow) CEXIFTagU8;
    if (copy == nullptr) return nullptr;
    copy->CopyBase(*this);
    if (!copy->items.CopyFrom(items)) {
        delete copy;
        return nullptr;
    }
    return copy;
}

void CEXIFTagU8::WriteItems(uint8_t* out, bool) const {
    if (items.count != 0) memcpy(out, items.data, items.count);
}

void CEXIFTagASCII::ClearItems() {
    for (std::string& text : items)
        if (!text.empty()) WipeBytes(&text[0], text.size());
    items.clear();
}

void CEXIFTagASCII::AppendValues(const void* const* values, uint32_t n, bool) { AppendRaw(*values, n, false); }

void CEXIFTagASCII::AppendRaw(const void* raw, uint32_t n, bool) {
    const char* text = static_cast<const char*>(raw);
    count = n;
    try {
        items.emplace_back(text, strnlen(text, n));
    } catch (...) {
    }  // the record keeps its count without the string
}

uint32_t CEXIFTagASCII::DataSize() const {
    uint64_t bytes = 0;
    for (const std::string& s : items) bytes += s.size() + 1;
    return (uint32_t)bytes;
}

std::string& CEXIFTagASCII::ToText(std::string& out, bool) const {
    out.clear();
    for (size_t i = 0; i < items.size(); ++i) {
        if (i != 0) out += ", ";
        out += items[i];
    }
    return out;
}

void CEXIFTagASCII::ExportItems(void** block, uint32_t* size) const {
    *size = DataSize();
    if (items.empty()) return;
    *block = NewExportBlock(nullptr, *size);
    if (*block != nullptr) WriteItems(static_cast<uint8_t*>(*block), false);
}

CEXIFTagBase* CEXIFTagASCII::Clone() const { return CloneRecord(*this); }

void CEXIFTagASCII::WriteItems(uint8_t* out, bool) const {
    for (const std::string& s : items) {
        memcpy(out, s.c_str(), s.size() + 1);
        out += s.size() + 1;
    }
}

CEXIFTagBase* NewTagOfType(uint16_t type) {
    switch (type) {
    case 1:
    case 7: return new (std::nothrow) CEXIFTagU8;
    case 2: return new (std::nothrow) CEXIFTagASCII;
    case 3: return new (std::nothrow) CEXIFTagU16;
    case 4: return new (std::nothrow) CEXIFTagU32;
    case 5: return new (std::nothrow) CEXIFTagURat;
    case 6: return new (std::nothrow) CEXIFTagI8;
    case 8: return new (std::nothrow) CEXIFTagI16;
    case 9: return new (std::nothrow) CEXIFTagI32;
    case 10: return new (std::nothrow) CEXIFTagSRat;
    case 11: return new (std::nothrow) CEXIFTagR4;
    case 12: return new (std::nothrow) CEXIFTagR8;
    default: return nullptr;
    }
}

}  // namespace CPicEXIFData
