#include "viewers/WipedMemory.h"

#include <new>

void CWipedPicture::Free()
{
    if (IsValid())
        WipeBytes(GetPixels(), (size_t)CalcBufferSize());
    CPicImageEx::Free();
}

bool CWipedBytes::Reset(size_t size)
{
    Release();
    if (size == 0)
        return true;
    m_bytes.reset(new (std::nothrow) uint8_t[size]());
    if (!m_bytes)
        return false;
    m_size = size;
    return true;
}

void CWipedBytes::Release()
{
    WipeBytes(m_bytes.get(), m_size);
    m_bytes.reset();
    m_size = 0;
}
