// CEditTextBuffer: the edit control's whole text, a UTF-16 gap buffer with an
// index of line starts kept up to date by every change.
//
// The characters sit in one block with a gap at the last edit point, so
// typing anywhere in a large text moves only the characters between two
// consecutive edit points, not the whole tail. Readers take single
// characters (At), counted copies (Mid, CopyTo) or a span of characters in a
// row (Span). Storage grows geometrically and shrinks when mostly empty.
// Because the text may be decrypted plaintext, the gap never holds old
// characters (it is wiped as it moves) and every block is wiped before it is
// released. Window thread only.
#pragma once

#include "framework/base/CString.h"
#include "framework/base/WipedMemory.h"

#include <vector>

// Where the buffer's blocks come from and go back to; tests watch them.
class CEditBlockAllocator {
public:
    virtual ~CEditBlockAllocator() = default;
    virtual WCHAR* Allocate(size_t chars) { return new WCHAR[chars]; }
    // The block is wiped before it comes back.
    virtual void Release(WCHAR* block, size_t) { delete[] block; }
};

// Characters from..from+count-1 of the text in a row. Points into the buffer
// when the gap lies outside them, else holds a copy (wiped when it goes).
// Valid until the text changes.
class CEditTextSpan {
public:
    CEditTextSpan(const WCHAR* chars, int count) : m_chars(chars), m_count(count) {}
    using Copy = std::vector<WCHAR, WipingAllocator<WCHAR>>;
    explicit CEditTextSpan(Copy&& copy);
    CEditTextSpan(CEditTextSpan&& other) noexcept;
    CEditTextSpan(const CEditTextSpan&) = delete;
    CEditTextSpan& operator=(const CEditTextSpan&) = delete;
    ~CEditTextSpan();

    const WCHAR* Chars() const { return m_copy.empty() ? m_chars : m_copy.data(); }
    int Count() const { return m_count; }

private:
    const WCHAR* m_chars = nullptr;
    int m_count = 0;
    Copy m_copy;
};

class CEditTextBuffer {
public:
    explicit CEditTextBuffer(CEditBlockAllocator* allocator = nullptr);
    ~CEditTextBuffer();
    CEditTextBuffer(const CEditTextBuffer&) = delete;
    CEditTextBuffer& operator=(const CEditTextBuffer&) = delete;

    int GetLength() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }
    // The character at an offset; 0 outside 0..length-1.
    WCHAR At(int offset) const
    {
        if (offset < 0 || offset >= m_length)
            return 0;
        return m_data[offset < m_gapStart ? offset : offset + m_gapLength];
    }
    CString Mid(int first, int count) const;
    // Copies `count` characters from `first` (both clamped to the text); returns the count copied.
    int CopyTo(int first, int count, WCHAR* out) const;
    CEditTextSpan Span(int first, int count) const;

    // Replaces the whole text by `count` characters (NULs included).
    void Set(const WCHAR* text, int count);
    // Inserts `count` characters before `offset` (0..length).
    void Insert(int offset, const WCHAR* text, int count);
    void Delete(int offset, int count);
    // Overwrites one character in place.
    void Replace(int offset, WCHAR ch);
    // Wipes and frees everything.
    void Clear();

    // Line index: line n starts at offset 0 or right after the n-th line feed.
    int LineCount() const { return (int)m_lineStarts.size(); }
    int LineBreakCount() const { return (int)m_lineStarts.size() - 1; }
    int LineOfOffset(int offset) const;
    int LineStart(int line) const { return m_lineStarts[(size_t)line]; }
    // Offset of the line feed that ends the line, or the length for the last one.
    int LineEnd(int line) const;
    // Line feeds at offsets from..to-1.
    int CountLineBreaks(int from, int to) const;

    // Characters the block holds (text and gap).
    int Capacity() const { return m_length + m_gapLength; }

private:
    // Puts the gap at `offset` with room for at least `room` characters.
    void OpenGap(int offset, int room);
    void MoveGap(int offset);
    // Moves the text into a fresh block of `capacity` characters, gap at `offset`.
    void Reallocate(int offset, int capacity);
    void ReleaseBlock();
    void ShrinkIfMostlyEmpty();
    void RebuildLineIndex();

    CEditBlockAllocator* m_allocator;
    WCHAR* m_data = nullptr;
    int m_length = 0;
    int m_gapStart = 0;
    int m_gapLength = 0;
    std::vector<int> m_lineStarts;
};
