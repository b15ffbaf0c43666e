// EXIF tag records: one directory entry of an EXIF block (or of a TIFF
// file's EXIF directories) with its tag, TIFF type, count, name and values,
// one class per kind of value. Records belong to one reader on one thread.
// Values are wiped when a record goes: they may be a decrypted picture's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/core/PicArray.h"

namespace CPicEXIFData {

class CEXIFTagBase {
public:
    CEXIFTagBase(const char* label, uint16_t servedType) : typeName(label), type(servedType) {}
    virtual ~CEXIFTagBase() = default;
    CEXIFTagBase(const CEXIFTagBase&) = delete;
    CEXIFTagBase& operator=(const CEXIFTagBase&) = delete;

    // Appends count items laid out in host order at *values.
    virtual void AppendValues(const void* const* values, uint32_t count, bool unused) = 0;
    // Appends count items from raw bytes; fromBigEndian converts 2-, 4- and
    // 8-byte items (each half of a rational) from big-endian order.
    virtual void AppendRaw(const void* raw, uint32_t count, bool fromBigEndian) = 0;
    virtual void ClearItems() = 0;
    // Writes the entry at buffer + entryPosition and the items out of line at
    // buffer + dataPosition when they do not fit the value field: 12 + bytes
    // written there. Throws PicException (17) rather than pass bufferSize.
    virtual uint32_t WriteTag(uint8_t* buffer, uint32_t entryPosition, uint32_t dataPosition, uint32_t bufferSize,
                              uint32_t* dataBytes, bool bigEndian);
    // Bytes of the items; below 5 they fit an entry's value field.
    virtual uint32_t DataSize() const = 0;
    // The items' texts joined by ", "; decimal prints rationals as quotients.
    virtual std::string& ToText(std::string& out, bool decimal) const = 0;
    // A zeroed global-memory block with the items in host order (size 0 and
    // no block without items; a null block when it cannot be had).
    virtual void ExportItems(void** block, uint32_t* size) const = 0;
    virtual CEXIFTagBase* Clone() const = 0;
    // The 12-byte entry; *data points where the items go (its value field
    // when they fit, else *data is left for the caller's data position).
    virtual void WriteEntry(uint8_t* entry, uint32_t bufferSize, uint32_t dataOffset, uint8_t** data,
                            uint32_t* dataBytes, bool bigEndian);

    std::string name;
    std::string typeName;
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t value = 0;
    int32_t entryOffset = -1;
    int32_t originOffset = -1;
    bool bigEndian = false;
    bool fromTiff = false;
    bool writeAsUndefined = false;

    // Copies every field but the items.
    void CopyBase(const CEXIFTagBase& other);

protected:
    // Writes the items at out in the target byte order.
    virtual void WriteItems(uint8_t* out, bool bigEndian) const = 0;
};

struct URational {
    uint32_t numerator;
    uint32_t denominator;
};
struct SRational {
    int32_t numerator;
    int32_t denominator;
};

template <class Item, uint16_t kType>
class CEXIFTagNumbers;

using CEXIFTagU16 = CEXIFTagNumbers<uint16_t, 3>;
using CEXIFTagU32 = CEXIFTagNumbers<uint32_t, 4>;
using CEXIFTagURat = CEXIFTagNumbers<URational, 5>;
using CEXIFTagI8 = CEXIFTagNumbers<int8_t, 6>;
using CEXIFTagI16 = CEXIFTagNumbers<int16_t, 8>;
using CEXIFTagI32 = CEXIFTagNumbers<int32_t, 9>;
using CEXIFTagSRat = CEXIFTagNumbers<SRational, 10>;
using CEXIFTagR4 = CEXIFTagNumbers<float, 11>;
using CEXIFTagR8 = CEXIFTagNumbers<double, 12>;

// Numbers of one TIFF type.
template <class Item, uint16_t kType>
class CEXIFTagNumbers : public CEXIFTagBase {
public:
    CEXIFTagNumbers();
    ~CEXIFTagNumbers() override { ClearItems(); }
    void AppendValues(const void* const* values, uint32_t count, bool unused) override;
    void AppendRaw(const void* raw, uint32_t count, bool fromBigEndian) override;
    void ClearItems() override;
    uint32_t DataSize() const override;
    std::string& ToText(std::string& out, bool decimal) const override;
    void ExportItems(void** block, uint32_t* size) const override;
    CEXIFTagBase* Clone() const override;

    std::vector<Item> items;

protected:
    void WriteItems(uint8_t* out, bool bigEndian) const override;
};

// Bytes: BYTE values, and every UNDEFINED value of an EXIF block.
class CEXIFTagU8 : public CEXIFTagBase {
public:
    CEXIFTagU8() : CEXIFTagBase("U8", 1) {}
    ~CEXIFTagU8() override { ClearItems(); }
    void AppendValues(const void* const* values, uint32_t count, bool unused) override;
    void AppendRaw(const void* raw, uint32_t count, bool fromBigEndian) override;
    void ClearItems() override;
    uint32_t DataSize() const override { return items.count <= 4 ? 0 : items.count; }
    std::string& ToText(std::string& out, bool decimal) const override;
    void ExportItems(void** block, uint32_t* size) const override;
    CEXIFTagBase* Clone() const override;

    PicArray<unsigned char> items;

protected:
    void WriteItems(uint8_t* out, bool bigEndian) const override;
};

// Text: ASCII values, and UNDEFINED values of a TIFF file.
class CEXIFTagASCII : public CEXIFTagBase {
public:
    CEXIFTagASCII() : CEXIFTagBase("A", 2) {}
    ~CEXIFTagASCII() override { ClearItems(); }
    void AppendValues(const void* const* values, uint32_t count, bool unused) override;
    void AppendRaw(const void* raw, uint32_t count, bool fromBigEndian) override;
    void ClearItems() override;
    uint32_t DataSize() const override;
    std::string& ToText(std::string& out, bool decimal) const override;
    void ExportItems(void** block, uint32_t* size) const override;
    CEXIFTagBase* Clone() const override;

    std::vector<std::string> items;

protected:
    void WriteItems(uint8_t* out, bool bigEndian) const override;
};

// A new record of the class that serves the TIFF type (1-12; 7 gives bytes);
// null for another type or without memory.
CEXIFTagBase* NewTagOfType(uint16_t type);

}  // namespace CPicEXIFData
