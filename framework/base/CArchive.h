// CArchive: stores values into a file, or loads them back in the same order,
// for objects that serialise themselves. Fixed-width little-endian integers;
// a string is its length in UTF-16 units (uint32) and the units. A short
// read throws CFileException(endOfFile). One thread at a time.
#pragma once

#include "framework/base/CFile.h"
#include "framework/base/CString.h"

#include <cstdint>

class CArchive {
public:
    enum Mode { store = 0, load = 1 };
    CArchive(CFile* file, Mode mode) : m_file(file), m_mode(mode) {}

    bool IsStoring() const { return m_mode == store; }
    bool IsLoading() const { return m_mode == load; }
    CFile* GetFile() const { return m_file; }

    CArchive& operator<<(int32_t value);
    CArchive& operator<<(uint32_t value);
    CArchive& operator<<(const CString& value);
    CArchive& operator>>(int32_t& value);
    CArchive& operator>>(uint32_t& value);
    CArchive& operator>>(CString& value);

private:
    void ReadExactly(void* buffer, UINT count);

    CFile* m_file;
    Mode m_mode;
};
