#include "player/FileSource.h"

#include "player/FFmpeg.h"
#include "player/SecureMemory.h"

namespace {
const int kBufferSize = 64 * 1024;
const DWORD kGrowthStepMs = 20;

bool TickReached(DWORD now, DWORD deadline) { return (LONG)(now - deadline) >= 0; }
}  // namespace

FileSource::~FileSource()
{
    Close();
}

bool FileSource::Open(const WCHAR* path)
{
    m_path.assign(path, path + lstrlenW(path) + 1);
    m_file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE)
        return false;
    uint8_t* buffer = static_cast<uint8_t*>(av_malloc(kBufferSize));
    if (!buffer)
        return false;
    m_context = avio_alloc_context(buffer, kBufferSize, 0, this, &FileSource::ReadPacket, nullptr,
                                   &FileSource::SeekTo);
    if (!m_context) {
        av_free(buffer);
        return false;
    }
    return true;
}

void FileSource::SetProbing(DWORD deadlineTick)
{
    m_probingDeadline = deadlineTick;
    m_probing = true;
}

void FileSource::SetPlaying()
{
    m_probing = false;
}

int64_t FileSource::Size() const
{
    LARGE_INTEGER size = {};
    if (m_file == INVALID_HANDLE_VALUE || !GetFileSizeEx(m_file, &size))
        return 0;
    return size.QuadPart;
}

void FileSource::Close()
{
    if (m_context) {
        WipeBytes(m_context->buffer, m_context->buffer_size);
        av_freep(&m_context->buffer);
        avio_context_free(&m_context);
    }
    if (m_file != INVALID_HANDLE_VALUE) {
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }
}

int FileSource::ReadPacket(void* self, uint8_t* buffer, int size)
{
    return static_cast<FileSource*>(self)->Read(buffer, size);
}

int64_t FileSource::SeekTo(void* self, int64_t offset, int whence)
{
    FileSource* source = static_cast<FileSource*>(self);
    if ((whence & ~AVSEEK_FORCE) == AVSEEK_SIZE)
        return source->Size();
    DWORD method = FILE_BEGIN;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: method = FILE_BEGIN; break;
    case SEEK_CUR: method = FILE_CURRENT; break;
    case SEEK_END: method = FILE_END; break;
    default: return AVERROR(EINVAL);
    }
    LARGE_INTEGER distance, result;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(source->m_file, distance, &result, method))
        return AVERROR(EIO);
    return result.QuadPart;
}

int FileSource::Read(uint8_t* buffer, int size)
{
    for (;;) {
        if (m_stop)
            return AVERROR_EXIT;
        DWORD got = 0;
        if (!ReadFile(m_file, buffer, (DWORD)size, &got, nullptr))
            return AVERROR(EIO);
        if (got > 0)
            return (int)got;
        WaitResult waited = WaitForGrowth(Position());
        m_waiting = false;
        switch (waited) {
        case WaitResult::More: continue;
        case WaitResult::End: return AVERROR_EOF;
        case WaitResult::Abandoned: return AVERROR_EXIT;
        }
    }
}

int64_t FileSource::Position() const
{
    LARGE_INTEGER zero = {}, position = {};
    SetFilePointerEx(m_file, zero, &position, FILE_CURRENT);
    return position.QuadPart;
}

FileSource::WaitResult FileSource::WaitForGrowth(int64_t position)
{
    int64_t lastSize = Size();
    DWORD lastGrowth = GetTickCount();
    for (;;) {
        if (m_stop)
            return WaitResult::Abandoned;
        DWORD now = GetTickCount();
        bool probing = m_probing;
        int64_t size = Size();
        if (size > position)
            return WaitResult::More;
        if (size != lastSize) {
            lastSize = size;
            lastGrowth = now;
        }
        if (!WriterHoldsFile())
            return WaitResult::End;
        if (probing && TickReached(now, m_probingDeadline))
            return WaitResult::Abandoned;
        // While probing, the first wait at the end tells that the copy is
        // partial; later reads at the end take what is there at once.
        DWORD patience = !probing ? kGrowthPatienceMs : m_endSeenWhileGrowing ? 0 : kProbingPatienceMs;
        if (now - lastGrowth >= patience) {
            if (probing)
                m_endSeenWhileGrowing = true;
            return WaitResult::End;
        }
        m_waiting = true;
        Sleep(kGrowthStepMs);
    }
}

// True when some handle may write the file: an open that refuses to share
// writing fails then. Our own handle only reads, so it never counts.
bool FileSource::WriterHoldsFile() const
{
    HANDLE probe = CreateFileW(m_path.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}
