// CPicIO: the byte source every reader takes its bytes from. Two sources
// exist: CPicIO_File (a file opened for reading) and CPicIO_Memory (a block the
// caller owns). Sizes and positions are 64-bit, so files over 2 GiB report
// true values. A source has no lock: one thread uses it at a time.
#pragma once

#include <cstdint>

enum PicSourceMode : int32_t { PIC_SOURCE_CLOSED = 0, PIC_SOURCE_FILE = 1, PIC_SOURCE_MEMORY = 2 };

class CPicIO {
public:
    virtual ~CPicIO() = default;
    CPicIO() = default;
    CPicIO(const CPicIO&) = delete;
    CPicIO& operator=(const CPicIO&) = delete;

    // True when Read delivered exactly n bytes.
    bool ReadExact(void* buffer, uint32_t n) { return Read(buffer, n) == n; }
    // Delivers up to n bytes; fewer only at the end of the data.
    virtual uint32_t Read(void* buffer, uint32_t n) = 0;
    // origin 0 from the start, 1 from the current position, 2 from the end.
    virtual bool Seek(int64_t offset, int origin) = 0;
    bool Rewind() { return Seek(0, 0); }
    virtual bool GetSize(uint64_t* size) = 0;
    virtual bool Tell(uint64_t* position) = 0;
    virtual bool IsEOF() = 0;
    virtual bool Write(const void* buffer, uint32_t elementSize, uint32_t count) = 0;
    bool WriteBytes(const void* buffer, uint32_t n) { return Write(buffer, 1, n); }
    virtual bool Close() {
        mode = PIC_SOURCE_CLOSED;
        return true;
    }
    virtual const char* GetName() const = 0;
    virtual bool IsOpen() const { return mode != PIC_SOURCE_CLOSED; }

    // Bytes between the position and the end (0 when either is unknown):
    // what a header may still ask the source for.
    uint64_t BytesLeft();

    int32_t mode = PIC_SOURCE_CLOSED;
    bool writable = false;
    bool openForWriteFlag = false;
};
