#include "framework/base/CMemFile.h"
#include "framework/base/WipedMemory.h"

#include <algorithm>
#include <cstring>

CMemFile::CMemFile(const void* bytes, size_t size)
{
    Reserve(size);
    if (size)
        std::memcpy(m_block, bytes, size);
    m_size = size;
}

CMemFile::~CMemFile() { Close(); }

BOOL CMemFile::Open(const WCHAR*, UINT, CFileException* error)
{
    // A memory file has no path to open.
    if (error)
        *error = CFileException(CFileException::genericException);
    return FALSE;
}

void CMemFile::Close()
{
    WipedFree(m_block, m_capacity);
    m_block = nullptr;
    m_capacity = m_size = m_position = 0;
}

void CMemFile::Abort() { Close(); }

void CMemFile::Reserve(size_t capacity)
{
    if (capacity <= m_capacity)
        return;
    size_t grown = std::max(capacity, m_capacity + m_capacity / 2);
    auto* block = static_cast<uint8_t*>(WipedAlloc(grown));
    if (!block)
        CFileException::Throw(CFileException::diskFull);
    if (m_size)
        std::memcpy(block, m_block, m_size);
    WipedFree(m_block, m_capacity);
    m_block = block;
    m_capacity = grown;
}

UINT CMemFile::Read(void* buffer, UINT count)
{
    size_t available = m_position < m_size ? m_size - m_position : 0;
    size_t n = std::min<size_t>(count, available);
    if (n)
        std::memcpy(buffer, m_block + m_position, n);
    m_position += n;
    return (UINT)n;
}

void CMemFile::Write(const void* buffer, UINT count)
{
    if (count == 0)
        return;
    const size_t end = m_position + count;
    Reserve(end);
    if (m_position > m_size)
        std::memset(m_block + m_size, 0, m_position - m_size);
    std::memcpy(m_block + m_position, buffer, count);
    m_position = end;
    m_size = std::max(m_size, end);
}

ULONGLONG CMemFile::Seek(LONGLONG offset, UINT from)
{
    LONGLONG base = from == begin ? 0 : from == current ? (LONGLONG)m_position : (LONGLONG)m_size;
    LONGLONG target = base + offset;
    if (target < 0)
        CFileException::Throw(CFileException::badSeek);
    m_position = (size_t)target;
    return m_position;
}

void CMemFile::SetLength(ULONGLONG length)
{
    if (length > m_size) {
        Reserve((size_t)length);
        std::memset(m_block + m_size, 0, (size_t)length - m_size);
    } else if (m_block) {
        WipeBytes(m_block + length, m_size - (size_t)length);
    }
    m_size = (size_t)length;
    m_position = std::min(m_position, m_size);
}
