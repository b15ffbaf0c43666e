// A byte source over a file opened for reading. Reads go through a buffer of
// its own, so readers that take a byte at a time make no system call per byte.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "imaging/readers/PicIO.h"

class CPicIO_File : public CPicIO {
public:
    static constexpr uint32_t kBufferSize = 64 * 1024;
    static constexpr size_t kNameSize = 260;

    CPicIO_File() { name[0] = 0; }
    ~CPicIO_File() override { CPicIO_File::Close(); }

    // Opens for reading; false for a null or empty path or a file that cannot be opened.
    bool OpenW(const WCHAR* path);
    bool Open(const char* path);

    uint32_t Read(void* buffer, uint32_t n) override;
    // Moving before the start fails; moving past the end succeeds and later reads give 0.
    bool Seek(int64_t offset, int origin) override;
    bool GetSize(uint64_t* size) override;
    bool Tell(uint64_t* position) override;
    // True once a read has met the end of the file.
    bool IsEOF() override { return m_endSeen; }
    bool Write(const void*, uint32_t, uint32_t) override { return false; }
    bool Close() override;
    // The path in the ANSI code page, cut to 259 characters.
    const char* GetName() const override { return name; }
    bool IsOpen() const override { return CPicIO::IsOpen() && m_file != INVALID_HANDLE_VALUE; }

    char name[kNameSize];

private:
    bool Adopt(HANDLE file);
    void SetName(const char* path);
    uint32_t Refill();

    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::vector<uint8_t> m_buffer;
    uint64_t m_bufferStart = 0;  // file offset of m_buffer[0]
    uint32_t m_bufferLength = 0;
    uint32_t m_bufferPos = 0;
    bool m_endSeen = false;
};
