#include "crypt/RawFile.h"

#include <algorithm>

namespace {
// ReadFile and WriteFile take 32-bit counts.
const size_t kMaxIo = 1u << 30;
}  // namespace

bool CRawFile::OpenRead(const WCHAR* path, DWORD share)
{
    Close();
    m_handle = CreateFileW(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return IsOpen();
}

bool CRawFile::Create(const WCHAR* path, DWORD share, bool readable)
{
    Close();
    m_handle = CreateFileW(path, readable ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE, share, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    return IsOpen();
}

void CRawFile::Close()
{
    if (IsOpen())
        CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
}

void CRawFile::TakeFrom(CRawFile& other)
{
    if (&other == this)
        return;
    Close();
    m_handle = other.m_handle;
    other.m_handle = INVALID_HANDLE_VALUE;
}

int64_t CRawFile::Read(void* buffer, size_t count)
{
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        DWORD got = 0;
        if (!ReadFile(m_handle, out + done, (DWORD)std::min(count - done, kMaxIo), &got, nullptr))
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return (int64_t)done;
}

int64_t CRawFile::ReadAt(void* buffer, size_t count, uint64_t offset)
{
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        OVERLAPPED at = {};
        at.Offset = (DWORD)(offset + done);
        at.OffsetHigh = (DWORD)((offset + done) >> 32);
        DWORD got = 0;
        if (!ReadFile(m_handle, out + done, (DWORD)std::min(count - done, kMaxIo), &got, &at))
            return GetLastError() == ERROR_HANDLE_EOF ? (int64_t)done : -1;
        if (got == 0)
            break;
        done += got;
    }
    return (int64_t)done;
}

int64_t CRawFile::ReadFrom(void* buffer, size_t count, uint64_t offset)
{
    if (!Seek(offset))
        return -1;
    return Read(buffer, count);
}

size_t CRawFile::Write(const void* buffer, size_t count)
{
    const uint8_t* in = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        DWORD wrote = 0;
        if (!WriteFile(m_handle, in + done, (DWORD)std::min(count - done, kMaxIo), &wrote, nullptr) || wrote == 0)
            break;
        done += wrote;
    }
    return done;
}

bool CRawFile::Seek(uint64_t position)
{
    LARGE_INTEGER to;
    to.QuadPart = (LONGLONG)position;
    return SetFilePointerEx(m_handle, to, nullptr, FILE_BEGIN) != FALSE;
}

int64_t CRawFile::Size() const
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_handle, &size))
        return -1;
    return size.QuadPart;
}

int64_t CRawFile::SizeOf(const WCHAR* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return -1;
    return (int64_t)(((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow);
}

int64_t CRawFile::Position() const
{
    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(m_handle, zero, &position, FILE_CURRENT))
        return -1;
    return position.QuadPart;
}
