#include "framework/base/CArchive.h"

#include <vector>

namespace {
void PutLittleEndian(uint8_t* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = (uint8_t)(value >> (8 * i));
}

uint32_t GetLittleEndian(const uint8_t* in)
{
    return (uint32_t)in[0] | (uint32_t)in[1] << 8 | (uint32_t)in[2] << 16 | (uint32_t)in[3] << 24;
}
}  // namespace

void CArchive::ReadExactly(void* buffer, UINT count)
{
    if (m_file->Read(buffer, count) != count)
        CFileException::Throw(CFileException::endOfFile, -1, m_file->GetFilePath());
}

CArchive& CArchive::operator<<(uint32_t value)
{
    uint8_t bytes[4];
    PutLittleEndian(bytes, value);
    m_file->Write(bytes, 4);
    return *this;
}

CArchive& CArchive::operator<<(int32_t value) { return *this << (uint32_t)value; }

CArchive& CArchive::operator<<(const CString& value)
{
    *this << (uint32_t)value.GetLength();
    std::vector<uint8_t> bytes((size_t)value.GetLength() * 2);
    for (int i = 0; i < value.GetLength(); ++i) {
        bytes[(size_t)i * 2] = (uint8_t)(value[i] & 0xFF);
        bytes[(size_t)i * 2 + 1] = (uint8_t)(value[i] >> 8);
    }
    if (!bytes.empty())
        m_file->Write(bytes.data(), (UINT)bytes.size());
    return *this;
}

CArchive& CArchive::operator>>(uint32_t& value)
{
    uint8_t bytes[4];
    ReadExactly(bytes, 4);
    value = GetLittleEndian(bytes);
    return *this;
}

CArchive& CArchive::operator>>(int32_t& value)
{
    uint32_t raw = 0;
    *this >> raw;
    value = (int32_t)raw;
    return *this;
}

CArchive& CArchive::operator>>(CString& value)
{
    uint32_t length = 0;
    *this >> length;
    // A length the file cannot hold is a damaged archive, not an allocation.
    if ((ULONGLONG)length * 2 > m_file->GetLength() - m_file->GetPosition())
        CFileException::Throw(CFileException::endOfFile, -1, m_file->GetFilePath());
    std::vector<uint8_t> bytes((size_t)length * 2);
    if (length)
        ReadExactly(bytes.data(), (UINT)bytes.size());
    value.Empty();
    WCHAR* out = value.GetBuffer((int)length);
    for (uint32_t i = 0; i < length; ++i)
        out[i] = (WCHAR)(bytes[(size_t)i * 2] | bytes[(size_t)i * 2 + 1] << 8);
    value.ReleaseBuffer((int)length);
    return *this;
}
