#include "framework/base/PkAutoBuffer.h"

#include <windows.h>

#include <cstring>

char* CPkAutoBuffer::Allocate(uint32_t size, bool zeroFill)
{
    if (size == m_size) {
        if (zeroFill && m_buffer)
            memset(m_buffer, 0, size);
        return m_buffer;
    }
    Release();
    if (size > 0) {
        m_buffer = new char[size];
        m_size = size;
        if (zeroFill)
            memset(m_buffer, 0, size);
    }
    return m_buffer;
}

void CPkAutoBuffer::Release()
{
    delete[] m_buffer;
    m_buffer = nullptr;
    m_size = 0;
}

void CPkAutoBuffer::SecureRelease()
{
    if (m_buffer)
        SecureZeroMemory(m_buffer, m_size);
    Release();
}

CPkAutoBuffer& CPkAutoBuffer::operator=(const CPkAutoBuffer& other)
{
    if (this == &other)
        return *this;
    Release();
    if (other.m_size) {
        Allocate(other.m_size, false);
        memcpy(m_buffer, other.m_buffer, m_size);
    }
    return *this;
}
