#include "editctrl/EditTextBuffer.h"

#include <algorithm>
#include <cstring>

namespace {
WCHAR g_emptyText[1] = {0};
}

void WipeMemory(void* memory, size_t bytes)
{
    volatile unsigned char* p = static_cast<volatile unsigned char*>(memory);
    while (bytes--)
        *p++ = 0;
}

CEditTextBuffer::CEditTextBuffer() : m_data(g_emptyText), m_lineStarts{0} {}

CEditTextBuffer::~CEditTextBuffer() { Clear(); }

void CEditTextBuffer::Clear()
{
    if (m_data != g_emptyText) {
        WipeMemory(m_data, sizeof(WCHAR) * ((size_t)m_capacity + 1));
        delete[] m_data;
    }
    m_data = g_emptyText;
    m_length = 0;
    m_capacity = 0;
    m_lineStarts.assign(1, 0);
}

void CEditTextBuffer::Reserve(int capacity)
{
    if (capacity <= m_capacity)
        return;
    int grown = std::max(capacity, m_capacity + m_capacity / 2);
    grown = std::max(grown, 64);
    WCHAR* fresh = new WCHAR[(size_t)grown + 1];
    std::memcpy(fresh, m_data, sizeof(WCHAR) * ((size_t)m_length + 1));
    if (m_data != g_emptyText) {
        WipeMemory(m_data, sizeof(WCHAR) * ((size_t)m_capacity + 1));
        delete[] m_data;
    }
    m_data = fresh;
    m_capacity = grown;
}

CString CEditTextBuffer::Mid(int first, int count) const
{
    first = std::clamp(first, 0, m_length);
    count = std::clamp(count, 0, m_length - first);
    return CString(m_data + first, count);
}

void CEditTextBuffer::Set(const WCHAR* text, int count)
{
    Clear();
    if (count <= 0)
        return;
    Reserve(count);
    std::memcpy(m_data, text, sizeof(WCHAR) * (size_t)count);
    m_length = count;
    m_data[m_length] = 0;
    RebuildLineIndex();
}

void CEditTextBuffer::RebuildLineIndex()
{
    m_lineStarts.assign(1, 0);
    for (int i = 0; i < m_length; ++i)
        if (m_data[i] == L'\n')
            m_lineStarts.push_back(i + 1);
}

void CEditTextBuffer::Insert(int offset, const WCHAR* text, int count)
{
    if (count <= 0)
        return;
    offset = std::clamp(offset, 0, m_length);
    Reserve(m_length + count);
    std::memmove(m_data + offset + count, m_data + offset, sizeof(WCHAR) * ((size_t)(m_length - offset) + 1));
    std::memcpy(m_data + offset, text, sizeof(WCHAR) * (size_t)count);
    m_length += count;

    // Starts after the insertion point move; the inserted line feeds add starts.
    int line = LineOfOffset(offset);
    auto firstMoved = m_lineStarts.begin() + line + 1;
    for (auto it = firstMoved; it != m_lineStarts.end(); ++it)
        *it += count;
    std::vector<int> added;
    for (int i = 0; i < count; ++i)
        if (text[i] == L'\n')
            added.push_back(offset + i + 1);
    m_lineStarts.insert(m_lineStarts.begin() + line + 1, added.begin(), added.end());
}

void CEditTextBuffer::Delete(int offset, int count)
{
    offset = std::clamp(offset, 0, m_length);
    count = std::clamp(count, 0, m_length - offset);
    if (count == 0)
        return;
    int firstLine = LineOfOffset(offset);
    int removedBreaks = CountLineBreaks(offset, offset + count);
    std::memmove(m_data + offset, m_data + offset + count,
                 sizeof(WCHAR) * ((size_t)(m_length - offset - count) + 1));
    WipeMemory(m_data + m_length - count + 1, sizeof(WCHAR) * (size_t)count);
    m_length -= count;
    auto first = m_lineStarts.begin() + firstLine + 1;
    m_lineStarts.erase(first, first + removedBreaks);
    for (auto it = m_lineStarts.begin() + firstLine + 1; it != m_lineStarts.end(); ++it)
        *it -= count;
}

void CEditTextBuffer::Replace(int offset, WCHAR ch)
{
    if (offset < 0 || offset >= m_length)
        return;
    if (m_data[offset] == L'\n' || ch == L'\n') {
        WCHAR one[1] = {ch};
        Delete(offset, 1);
        Insert(offset, one, 1);
        return;
    }
    m_data[offset] = ch;
}

int CEditTextBuffer::LineOfOffset(int offset) const
{
    offset = std::clamp(offset, 0, m_length);
    // The last start at or before the offset.
    auto it = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset);
    return (int)(it - m_lineStarts.begin()) - 1;
}

int CEditTextBuffer::LineEnd(int line) const
{
    if (line + 1 < LineCount())
        return m_lineStarts[(size_t)line + 1] - 1;
    return m_length;
}

int CEditTextBuffer::CountLineBreaks(int from, int to) const
{
    from = std::clamp(from, 0, m_length);
    to = std::clamp(to, 0, m_length);
    if (to <= from)
        return 0;
    // Line feed at offset k is the start k+1; count starts in from+1..to.
    auto lo = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), from);
    auto hi = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), to);
    return (int)(hi - lo);
}
