#include "imaging/readers/PicIOMemory.h"

#include <algorithm>
#include <cstring>

bool CPicIO_Memory::Open(const void* bytes, uint32_t length) {
    if (bytes == nullptr || length == 0) return false;
    mode = PIC_SOURCE_MEMORY;
    data = static_cast<uint8_t*>(const_cast<void*>(bytes));
    size = length;
    position = writtenSize = 0;
    writable = false;
    return true;
}

bool CPicIO_Memory::OpenForWrite(void* bytes, uint32_t capacity, bool flag) {
    if (bytes == nullptr || capacity == 0) return false;
    mode = PIC_SOURCE_MEMORY;
    data = static_cast<uint8_t*>(bytes);
    size = capacity;
    position = writtenSize = 0;
    writable = true;
    openForWriteFlag = flag;
    return true;
}

uint32_t CPicIO_Memory::Read(void* buffer, uint32_t n) {
    if (buffer == nullptr || data == nullptr || position >= End()) return 0;
    uint32_t take = std::min(n, End() - position);
    memcpy(buffer, data + position, take);
    position += take;
    return take;
}

bool CPicIO_Memory::Seek(int64_t offset, int origin) {
    int64_t target;
    if (origin == 0 || origin == 1) {
        target = (origin == 0 ? 0 : (int64_t)position) + offset;
        if (target < 0 || target >= (int64_t)size) return false;
        if (writable && (uint32_t)target > writtenSize) writtenSize = (uint32_t)target;
    } else if (origin == 2) {
        if (offset > 0) return false;
        target = (int64_t)End() + offset;
        if (target < 0) return false;
    } else {
        return false;
    }
    position = (uint32_t)target;
    return true;
}

bool CPicIO_Memory::GetSize(uint64_t* out) {
    if (out == nullptr) return false;
    *out = End();
    return true;
}

bool CPicIO_Memory::Tell(uint64_t* out) {
    if (out == nullptr) return false;
    *out = position;
    return true;
}

bool CPicIO_Memory::Write(const void* buffer, uint32_t elementSize, uint32_t count) {
    uint64_t bytes = (uint64_t)elementSize * count;
    if (buffer == nullptr || data == nullptr || position + bytes > size) return false;
    memcpy(data + position, buffer, (size_t)bytes);
    position += (uint32_t)bytes;
    if (position > writtenSize) writtenSize = position;
    return true;
}
