// CMemFile: a file held in memory, for text that must never reach the disk
// (the secure editor loads decrypted text through one). Its block comes from
// the wiping heap, so what it held is overwritten when it grows, shrinks or
// goes. Reads past the end return fewer bytes; seeks before the start throw.
// One thread at a time.
#pragma once

#include "framework/base/CFile.h"

#include <cstdint>

class CMemFile : public CFile {
public:
    CMemFile() = default;
    // A copy of `size` bytes to read (or change).
    CMemFile(const void* bytes, size_t size);
    ~CMemFile() override;
    CMemFile(const CMemFile&) = delete;
    CMemFile& operator=(const CMemFile&) = delete;

    BOOL Open(const WCHAR*, UINT, CFileException* error = nullptr) override;
    void Close() override;
    void Abort() override;
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    ULONGLONG Seek(LONGLONG offset, UINT from) override;
    ULONGLONG GetPosition() const override { return m_position; }
    ULONGLONG GetLength() const override { return m_size; }
    void SetLength(ULONGLONG length) override;
    void Flush() override {}

    // The bytes written so far (valid until the next write).
    const uint8_t* Data() const { return m_block; }

private:
    void Reserve(size_t capacity);

    uint8_t* m_block = nullptr;
    size_t m_capacity = 0;
    size_t m_size = 0;
    size_t m_position = 0;
};
