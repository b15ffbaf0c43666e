#include "editctrl/EditTextBuffer.h"

#include <algorithm>
#include <cstring>

namespace {
CEditBlockAllocator g_heapBlocks;
const WCHAR g_noChars[1] = {0};

// Room a freshly set text keeps after it, so the first edits need no new block.
int SpareAfterSet(int count) { return std::max(64, count / 16); }
}  // namespace

CEditTextSpan::CEditTextSpan(Copy&& copy) : m_count((int)copy.size()), m_copy(std::move(copy)) {}

CEditTextSpan::CEditTextSpan(CEditTextSpan&& other) noexcept
    : m_chars(other.m_chars), m_count(other.m_count), m_copy(std::move(other.m_copy))
{
    other.m_copy.clear();
}

// The copy's allocator wipes it.
CEditTextSpan::~CEditTextSpan() = default;

CEditTextBuffer::CEditTextBuffer(CEditBlockAllocator* allocator)
    : m_allocator(allocator ? allocator : &g_heapBlocks), m_lineStarts{0}
{
}

CEditTextBuffer::~CEditTextBuffer() { Clear(); }

void CEditTextBuffer::ReleaseBlock()
{
    if (!m_data)
        return;
    size_t capacity = (size_t)Capacity();
    WipeBytes(m_data, sizeof(WCHAR) * capacity);
    m_allocator->Release(m_data, capacity);
    m_data = nullptr;
}

void CEditTextBuffer::Clear()
{
    ReleaseBlock();
    m_length = 0;
    m_gapStart = 0;
    m_gapLength = 0;
    m_lineStarts.assign(1, 0);
}

void CEditTextBuffer::Reallocate(int offset, int capacity)
{
    WCHAR* fresh = m_allocator->Allocate((size_t)capacity);
    const int tail = m_length - offset;
    const int gap = capacity - m_length;
    CopyTo(0, offset, fresh);
    std::fill(fresh + offset, fresh + offset + gap, WCHAR(0));
    CopyTo(offset, tail, fresh + offset + gap);
    ReleaseBlock();
    m_data = fresh;
    m_gapStart = offset;
    m_gapLength = gap;
}

void CEditTextBuffer::MoveGap(int offset)
{
    const int g = m_gapStart, n = m_gapLength;
    if (offset < g) {
        // Characters offset..g-1 go to the far side of the gap; the gap's new
        // place still holds their old copies.
        std::memmove(m_data + offset + n, m_data + offset, sizeof(WCHAR) * (size_t)(g - offset));
        WipeBytes(m_data + offset, sizeof(WCHAR) * (size_t)(std::min(g, offset + n) - offset));
    } else if (offset > g) {
        std::memmove(m_data + g, m_data + g + n, sizeof(WCHAR) * (size_t)(offset - g));
        int stale = std::max(g + n, offset);
        WipeBytes(m_data + stale, sizeof(WCHAR) * (size_t)(offset + n - stale));
    }
    m_gapStart = offset;
}

void CEditTextBuffer::OpenGap(int offset, int room)
{
    if (m_gapLength >= room) {
        MoveGap(offset);
        return;
    }
    int capacity = Capacity();
    int grown = std::max({m_length + room, capacity + capacity / 2, 64});
    Reallocate(offset, grown);
}

void CEditTextBuffer::ShrinkIfMostlyEmpty()
{
    int capacity = Capacity();
    if (capacity > 4096 && m_length < capacity / 4)
        Reallocate(m_gapStart, std::max(64, m_length * 2));
}

int CEditTextBuffer::CopyTo(int first, int count, WCHAR* out) const
{
    first = std::clamp(first, 0, m_length);
    count = std::clamp(count, 0, m_length - first);
    int beforeGap = std::clamp(m_gapStart - first, 0, count);
    if (beforeGap > 0)
        std::memcpy(out, m_data + first, sizeof(WCHAR) * (size_t)beforeGap);
    if (count > beforeGap) {
        int from = first + beforeGap + m_gapLength;
        std::memcpy(out + beforeGap, m_data + from, sizeof(WCHAR) * (size_t)(count - beforeGap));
    }
    return count;
}

CEditTextSpan CEditTextBuffer::Span(int first, int count) const
{
    first = std::clamp(first, 0, m_length);
    count = std::clamp(count, 0, m_length - first);
    if (count == 0)
        return CEditTextSpan(g_noChars, 0);
    if (first + count <= m_gapStart)
        return CEditTextSpan(m_data + first, count);
    if (first >= m_gapStart)
        return CEditTextSpan(m_data + first + m_gapLength, count);
    CEditTextSpan::Copy copy((size_t)count);
    CopyTo(first, count, copy.data());
    return CEditTextSpan(std::move(copy));
}

CString CEditTextBuffer::Mid(int first, int count) const
{
    CEditTextSpan span = Span(first, count);
    return CString(span.Chars(), span.Count());
}

void CEditTextBuffer::Set(const WCHAR* text, int count)
{
    Clear();
    if (count <= 0)
        return;
    int capacity = count + SpareAfterSet(count);
    m_data = m_allocator->Allocate((size_t)capacity);
    std::memcpy(m_data, text, sizeof(WCHAR) * (size_t)count);
    std::fill(m_data + count, m_data + capacity, WCHAR(0));
    m_length = count;
    m_gapStart = count;
    m_gapLength = capacity - count;
    RebuildLineIndex();
}

void CEditTextBuffer::RebuildLineIndex()
{
    m_lineStarts.assign(1, 0);
    CEditTextSpan all = Span(0, m_length);
    const WCHAR* chars = all.Chars();
    for (int i = 0; i < m_length; ++i)
        if (chars[i] == L'\n')
            m_lineStarts.push_back(i + 1);
}

void CEditTextBuffer::Insert(int offset, const WCHAR* text, int count)
{
    if (count <= 0)
        return;
    offset = std::clamp(offset, 0, m_length);
    OpenGap(offset, count);
    std::memcpy(m_data + m_gapStart, text, sizeof(WCHAR) * (size_t)count);
    m_gapStart += count;
    m_gapLength -= count;
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
    MoveGap(offset);
    // The deleted characters join the gap, which holds no text.
    WipeBytes(m_data + m_gapStart + m_gapLength, sizeof(WCHAR) * (size_t)count);
    m_gapLength += count;
    m_length -= count;
    auto first = m_lineStarts.begin() + firstLine + 1;
    m_lineStarts.erase(first, first + removedBreaks);
    for (auto it = m_lineStarts.begin() + firstLine + 1; it != m_lineStarts.end(); ++it)
        *it -= count;
    ShrinkIfMostlyEmpty();
}

void CEditTextBuffer::Replace(int offset, WCHAR ch)
{
    if (offset < 0 || offset >= m_length)
        return;
    if (At(offset) == L'\n' || ch == L'\n') {
        WCHAR one[1] = {ch};
        Delete(offset, 1);
        Insert(offset, one, 1);
        return;
    }
    m_data[offset < m_gapStart ? offset : offset + m_gapLength] = ch;
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
