#include "zip/PkExtraField.h"

#include <cstring>

namespace {
uint16_t GetU16(const char* p) { return (uint16_t)((uint8_t)p[0] | ((uint8_t)p[1] << 8)); }
}  // namespace

bool CPkExtraData::Read(const char* bytes, uint32_t size)
{
    if (size < 4)
        return false;
    uint16_t dataSize = GetU16(bytes + 2);
    if (dataSize > size - 4)
        return false;
    m_uHeaderID = GetU16(bytes);
    m_bHasSize = true;
    m_data.Allocate(dataSize, false);
    if (dataSize)
        memcpy(m_data.GetBuffer(), bytes + 4, dataSize);
    return true;
}

CPkExtraField& CPkExtraField::operator=(const CPkExtraField& other)
{
    if (this == &other)
        return *this;
    Clear();
    for (CPkExtraData* record : other) {
        CPkExtraData* copy = new CPkExtraData;
        copy->m_data = record->m_data;
        copy->m_bHasSize = record->m_bHasSize;
        copy->m_uHeaderID = record->m_uHeaderID;
        Add(copy);
    }
    return *this;
}

void CPkExtraField::Clear()
{
    for (CPkExtraData* record : *this)
        delete record;
    RemoveAll();
}

bool CPkExtraField::Parse(const char* bytes, uint32_t size)
{
    CArray<CPkExtraData*> parsed;
    uint32_t done = 0;
    while (done < size) {
        CPkExtraData* record = new CPkExtraData;
        if (!record->Read(bytes + done, size - done)) {
            delete record;
            for (CPkExtraData* r : parsed)
                delete r;
            return false;
        }
        done += record->GetTotalSize();
        parsed.Add(record);
    }
    for (CPkExtraData* record : parsed)
        Add(record);
    return true;
}

void CPkExtraField::WriteTo(char* buffer) const
{
    for (const CPkExtraData* record : *this) {
        uint16_t size = (uint16_t)record->m_data.GetSize();
        buffer[0] = (char)(record->m_uHeaderID & 0xFF);
        buffer[1] = (char)(record->m_uHeaderID >> 8);
        buffer[2] = (char)(size & 0xFF);
        buffer[3] = (char)(size >> 8);
        if (size)
            memcpy(buffer + 4, record->m_data.GetBuffer(), size);
        buffer += 4 + size;
    }
}

uint32_t CPkExtraField::GetTotalSize() const
{
    uint32_t total = 0;
    for (const CPkExtraData* record : *this)
        total += record->GetTotalSize();
    return total;
}

CPkExtraData* CPkExtraField::Find(uint16_t id) const
{
    for (CPkExtraData* record : *this)
        if (record->m_uHeaderID == id)
            return record;
    return nullptr;
}

CPkExtraData* CPkExtraField::AppendNtfsRecord()
{
    CPkExtraData* record = new CPkExtraData;
    record->m_uHeaderID = idNtfs;
    record->m_data.Allocate(32, true);
    Add(record);
    return record;
}

void CPkExtraField::RemoveWhere(bool (*test)(uint16_t))
{
    for (int i = GetSize() - 1; i >= 0; --i) {
        if (test(GetAt(i)->m_uHeaderID)) {
            delete GetAt(i);
            RemoveAt(i);
        }
    }
}

void CPkExtraField::RemoveInternalHeaders()
{
    RemoveWhere([](uint16_t id) {
        return id == idZip64 || id == idNtfs || id == idOldZip64 || id == idUnicodeComment || id == idUnicodePath ||
               id == idWzAes;
    });
}

void CPkExtraField::RemoveUnicodeAndAesHeaders()
{
    RemoveWhere([](uint16_t id) { return id == idUnicodeComment || id == idUnicodePath || id == idWzAes; });
}
