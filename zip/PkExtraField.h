// Extra fields of an entry: a list of records (ID, size, data) in file order.
#pragma once

#include "framework/base/Collections.h"
#include "framework/base/PkAutoBuffer.h"

#include <cstdint>

class CPkExtraData {
public:
    // Takes one record from the front of the bytes; false when it does not fit.
    bool Read(const char* bytes, uint32_t size);
    uint32_t GetTotalSize() const { return 4 + m_data.GetSize(); }

    CPkAutoBuffer m_data;
    bool m_bHasSize = true;
    uint16_t m_uHeaderID = 0;
};

class CPkExtraField : public CArray<CPkExtraData*> {
public:
    enum HeaderId : uint16_t {
        idZip64 = 0x0001,
        idNtfs = 0x000A,
        idWzAes = 0x9901,
        idUnicodeComment = 0x6375,
        idUnicodePath = 0x7075,
        idOldZip64 = 0x5A4C,
    };

    CPkExtraField() = default;
    CPkExtraField(const CPkExtraField&) = delete;
    CPkExtraField& operator=(const CPkExtraField& other);
    ~CPkExtraField() override { Clear(); }

    void Clear();
    // Parses size bytes into records; false (and no change) when a record does not fit.
    bool Parse(const char* bytes, uint32_t size);
    // Writes every record into the buffer (GetTotalSize bytes).
    void WriteTo(char* buffer) const;
    uint32_t GetTotalSize() const;
    CPkExtraData* Find(uint16_t id) const;
    CPkExtraData* AppendNtfsRecord();
    void RemoveInternalHeaders();
    void RemoveUnicodeAndAesHeaders();

private:
    void RemoveWhere(bool (*test)(uint16_t));
};
