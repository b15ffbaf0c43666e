#include "imaging/readers/PicIOFile.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "imaging/core/PicUtil.h"

bool CPicIO_File::OpenW(const WCHAR* path) {
    if (path == nullptr || path[0] == 0 || IsOpen()) return false;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (!Adopt(file)) return false;
    SetName(WideToAnsi(path).c_str());
    return true;
}

bool CPicIO_File::Open(const char* path) {
    if (path == nullptr || path[0] == 0 || IsOpen()) return false;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (!Adopt(file)) return false;
    SetName(path);
    return true;
}

bool CPicIO_File::Adopt(HANDLE file) {
    if (file == INVALID_HANDLE_VALUE) return false;
    try {
        m_buffer.resize(kBufferSize);
    } catch (...) {
        CloseHandle(file);
        return false;
    }
    m_file = file;
    m_bufferStart = 0;
    m_bufferLength = m_bufferPos = 0;
    m_endSeen = false;
    mode = PIC_SOURCE_FILE;
    writable = openForWriteFlag = false;
    return true;
}

void CPicIO_File::SetName(const char* path) {
    strncpy(name, path, kNameSize - 1);
    name[kNameSize - 1] = 0;
}

// Moves the buffer to the current position and fills it; the bytes it holds.
uint32_t CPicIO_File::Refill() {
    m_bufferStart += m_bufferPos;
    m_bufferPos = m_bufferLength = 0;
    LARGE_INTEGER to;
    to.QuadPart = (LONGLONG)m_bufferStart;
    DWORD got = 0;
    if (!SetFilePointerEx(m_file, to, nullptr, FILE_BEGIN) ||
        !ReadFile(m_file, m_buffer.data(), kBufferSize, &got, nullptr))
        got = 0;
    m_bufferLength = got;
    return got;
}

uint32_t CPicIO_File::Read(void* buffer, uint32_t n) {
    if (!IsOpen() || buffer == nullptr) return 0;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < n) {
        if (m_bufferPos == m_bufferLength && Refill() == 0) {
            m_endSeen = true;
            break;
        }
        uint32_t take = std::min(n - done, m_bufferLength - m_bufferPos);
        memcpy(out + done, m_buffer.data() + m_bufferPos, take);
        m_bufferPos += take;
        done += take;
    }
    return done;
}

bool CPicIO_File::Seek(int64_t offset, int origin) {
    if (!IsOpen()) return false;
    int64_t base = 0;
    if (origin == 1) {
        base = (int64_t)(m_bufferStart + m_bufferPos);
    } else if (origin == 2) {
        uint64_t size = 0;
        if (!GetSize(&size)) return false;
        base = (int64_t)size;
    } else if (origin != 0) {
        return false;
    }
    int64_t target = base + offset;
    if (target < 0) return false;
    m_endSeen = false;
    uint64_t to = (uint64_t)target;
    if (to >= m_bufferStart && to <= m_bufferStart + m_bufferLength) {
        m_bufferPos = (uint32_t)(to - m_bufferStart);
    } else {
        m_bufferStart = to;
        m_bufferPos = m_bufferLength = 0;
    }
    return true;
}

bool CPicIO_File::GetSize(uint64_t* size) {
    if (size == nullptr || !IsOpen()) return false;
    LARGE_INTEGER length;
    if (!GetFileSizeEx(m_file, &length)) return false;
    *size = (uint64_t)length.QuadPart;
    return true;
}

bool CPicIO_File::Tell(uint64_t* position) {
    if (position == nullptr || !IsOpen()) return false;
    *position = m_bufferStart + m_bufferPos;
    return true;
}

bool CPicIO_File::Close() {
    CPicIO::Close();
    if (m_file == INVALID_HANDLE_VALUE) return false;
    BOOL closed = CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    std::vector<uint8_t>().swap(m_buffer);
    return closed != FALSE;
}
