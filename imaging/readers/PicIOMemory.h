// A byte source over a block of memory that the caller owns and keeps valid
// and unchanged until the source is closed; the source never frees it.
#pragma once

#include <cstdint>

#include "imaging/readers/PicIO.h"

class CPicIO_Memory : public CPicIO {
public:
    // False for null data or size 0.
    bool Open(const void* bytes, uint32_t length);
    bool OpenForWrite(void* bytes, uint32_t capacity, bool flag);

    uint32_t Read(void* buffer, uint32_t n) override;
    // A target at or past the end (or before the start) fails and leaves the
    // position; from the end the offset must be 0 or negative.
    bool Seek(int64_t offset, int origin) override;
    bool GetSize(uint64_t* out) override;
    bool Tell(uint64_t* out) override;
    // True already while the last byte is still unread.
    bool IsEOF() override { return position + 1 >= size; }
    bool Write(const void* buffer, uint32_t elementSize, uint32_t count) override;
    const char* GetName() const override { return "[Memory]"; }
    bool IsOpen() const override {
        return CPicIO::IsOpen() && mode == PIC_SOURCE_MEMORY && data != nullptr && size != 0;
    }

    uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t position = 0;
    uint32_t writtenSize = 0;

private:
    uint32_t End() const { return writable ? writtenSize : size; }
};
