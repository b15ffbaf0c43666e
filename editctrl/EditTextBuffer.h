// CEditTextBuffer: the edit control's whole text, one contiguous UTF-16 array
// with an index of line starts kept up to date by every change.
//
// Readers see the characters in place (Data() is zero-terminated). Storage
// grows geometrically, so typing into a large text does not reallocate per
// character; every block that held text is wiped before it is released,
// because the text may be decrypted plaintext. Window thread only.
#pragma once

#include "framework/base/CString.h"

#include <vector>

class CEditTextBuffer {
public:
    CEditTextBuffer();
    ~CEditTextBuffer();
    CEditTextBuffer(const CEditTextBuffer&) = delete;
    CEditTextBuffer& operator=(const CEditTextBuffer&) = delete;

    int GetLength() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }
    const WCHAR* Data() const { return m_data; }
    operator const WCHAR*() const { return m_data; }
    // The character at an offset; 0 outside 0..length-1.
    WCHAR At(int offset) const { return offset >= 0 && offset < m_length ? m_data[offset] : 0; }
    CString Mid(int first, int count) const;

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

private:
    void Reserve(int capacity);
    void RebuildLineIndex();

    WCHAR* m_data;
    int m_length = 0;
    int m_capacity = 0;
    std::vector<int> m_lineStarts;
};

// Overwrites memory that held plaintext, in a way the compiler keeps.
void WipeMemory(void* memory, size_t bytes);
