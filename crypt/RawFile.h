// CRawFile: a file handle for the engine's streaming, with results instead of
// exceptions. Reads and writes loop until the whole count is done, so a short
// count always means end of file (reads) or a failure (writes).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

class CRawFile {
public:
    CRawFile() = default;
    ~CRawFile() { Close(); }
    CRawFile(const CRawFile&) = delete;
    CRawFile& operator=(const CRawFile&) = delete;

    // Opens an existing file for reading with the given sharing.
    bool OpenRead(const WCHAR* path, DWORD share);
    // Creates or truncates a file for writing (and, when `readable`, for
    // reading back) with the given sharing.
    bool Create(const WCHAR* path, DWORD share, bool readable = false);
    void Close();
    // Takes over the other's handle (closing its own first); the other is left closed.
    void TakeFrom(CRawFile& other);
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return m_handle; }

    // Bytes read (fewer than asked only at the end of the file), or -1 on a read error.
    int64_t Read(void* buffer, size_t count);
    // The same from the given offset; several threads may read so at once.
    // The file position afterwards is not defined.
    int64_t ReadAt(void* buffer, size_t count, uint64_t offset);
    // The same for one thread at a time: moves the file pointer there and
    // reads on. Cheaper under Wine, where every overlapped read costs a
    // request to the server for its completion.
    int64_t ReadFrom(void* buffer, size_t count, uint64_t offset);
    // Bytes written; fewer than asked means the write failed.
    size_t Write(const void* buffer, size_t count);
    bool Seek(uint64_t position);
    // The file pointer; -1 on failure.
    int64_t Position() const;
    // Writes (on) bypass the system's file cache and go straight to the
    // disk, or (off) go through it again. Unbuffered writes must start at a
    // multiple of UNBUFFERED_ALIGNMENT in the file, from a buffer aligned so,
    // and cover a multiple of it. False when the file system cannot do it.
    bool SetUnbuffered(bool on);
    static const size_t UNBUFFERED_ALIGNMENT = 4096;
    // The size as the system reports it for the open handle; -1 on failure.
    int64_t Size() const;

    // The size of a file by its path as the file system reports it; -1 when unknown.
    static int64_t SizeOf(const WCHAR* path);

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};
