#include "zip/PkMemFile.h"

#include "zip/PkException.h"

#include <cstdlib>
#include <cstring>

namespace {
const ULONGLONG kMaxMemFileSize = 0xFFFFFFFFull;
}

void CPkMemFile::Close()
{
    if (m_lpBuf && m_bAutoDelete)
        free(m_lpBuf);
    m_lpBuf = nullptr;
    m_nPos = m_nBufSize = m_nDataSize = 0;
    m_nGrowBy = 0;
}

void CPkMemFile::Grow(ULONGLONG n)
{
    if (m_nBufSize >= n)
        return;
    if (m_nGrowBy == 0 || n > kMaxMemFileSize)
        ThrowZipException(ZipCauseMemError);
    // Doubling keeps a large archive built in memory from reallocating at
    // every step; whole steps keep small files at the step size.
    ULONGLONG wanted = n;
    if (wanted < (ULONGLONG)m_nBufSize * 2)
        wanted = (ULONGLONG)m_nBufSize * 2;
    ULONGLONG capacity = (wanted + m_nGrowBy - 1) / m_nGrowBy * m_nGrowBy;
    if (capacity > kMaxMemFileSize)
        capacity = kMaxMemFileSize;
    char* block = (char*)(m_lpBuf ? realloc(m_lpBuf, (size_t)capacity) : malloc((size_t)capacity));
    if (!block)
        ThrowZipException(ZipCauseMemError);
    m_lpBuf = block;
    m_nBufSize = (uint32_t)capacity;
}

void CPkMemFile::SetLength(ULONGLONG length)
{
    if (length > kMaxMemFileSize)
        ThrowZipException(ZipCauseMemError);
    if (length > m_nBufSize)
        Grow(length);
    else
        m_nPos = (uint32_t)length;
    m_nDataSize = (uint32_t)length;
}

UINT CPkMemFile::Read(void* buffer, UINT count)
{
    if (m_nPos >= m_nDataSize)
        return 0;
    uint32_t n = m_nDataSize - m_nPos;
    if (count < n)
        n = count;
    memcpy(buffer, m_lpBuf + m_nPos, n);
    m_nPos += n;
    return n;
}

void CPkMemFile::Write(const void* buffer, UINT count)
{
    if (count == 0)
        return;
    ULONGLONG end = (ULONGLONG)m_nPos + count;
    if (end > m_nBufSize)
        Grow(end);
    memcpy(m_lpBuf + m_nPos, buffer, count);
    m_nPos = (uint32_t)end;
    if (m_nPos > m_nDataSize)
        m_nDataSize = m_nPos;
}

ULONGLONG CPkMemFile::Seek(LONGLONG offset, UINT origin)
{
    LONGLONG target;
    switch (origin) {
    case CFile::begin:
        if (offset < 0 || (ULONGLONG)offset > kMaxMemFileSize)
            ThrowZipException(ZipCauseMemError);
        target = offset;
        break;
    case CFile::current:
        if (offset < 0 && (ULONGLONG)-offset > m_nPos)
            ThrowZipException(ZipCauseMemError);
        target = (LONGLONG)m_nPos + offset;
        break;
    case CFile::end:
        if (offset < 0 && (ULONGLONG)-offset > m_nDataSize)
            ThrowZipException(ZipCauseMemError);
        target = (LONGLONG)m_nDataSize + offset;
        break;
    default:
        return m_nPos;
    }
    if ((ULONGLONG)target > kMaxMemFileSize)
        ThrowZipException(ZipCauseMemError);
    if ((ULONGLONG)target > m_nDataSize)
        Grow((ULONGLONG)target);
    m_nPos = (uint32_t)target;
    return m_nPos;
}
