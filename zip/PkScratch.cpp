#include "zip/PkScratch.h"

#include <algorithm>
#include <cstring>

void CPkBytes::Resize(size_t size)
{
    if (size > m_capacity) {
        size_t capacity = std::max(size, m_capacity + m_capacity / 2);
        std::unique_ptr<char[]> larger(new char[capacity]);
        if (m_size)
            memcpy(larger.get(), m_data.get(), m_size);
        m_data.swap(larger);
        m_capacity = capacity;
    }
    m_size = size;
}

CPkZStream::~CPkZStream() { End(); }

void CPkZStream::End()
{
    if (m_kind == kDeflate)
        deflateEnd(&m_stream);
    else if (m_kind == kInflate)
        inflateEnd(&m_stream);
    m_kind = kNone;
    m_stream = z_stream();
}

// A reset leaves the buffer pointers of the last use: they are cleared.
void CPkZStream::ClearBuffers()
{
    m_stream.next_in = Z_NULL;
    m_stream.avail_in = 0;
    m_stream.next_out = Z_NULL;
    m_stream.avail_out = 0;
}

bool CPkZStream::StartDeflate(int level)
{
    if (m_kind == kDeflate && m_level == level && deflateReset(&m_stream) == Z_OK) {
        ClearBuffers();
        return true;
    }
    End();
    if (deflateInit2(&m_stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        m_stream = z_stream();
        return false;
    }
    m_kind = kDeflate;
    m_level = level;
    return true;
}

bool CPkZStream::StartInflate()
{
    if (m_kind == kInflate && inflateReset(&m_stream) == Z_OK) {
        ClearBuffers();
        return true;
    }
    End();
    if (inflateInit2(&m_stream, -MAX_WBITS) != Z_OK) {
        m_stream = z_stream();
        return false;
    }
    m_kind = kInflate;
    return true;
}
