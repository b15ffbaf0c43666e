#include "zip/PkPackBlock.h"

#include "zip/ZipFileSystem.h"

#include <zlib.h>

#include <algorithm>

namespace {
class HandleCloser {
public:
    explicit HandleCloser(HANDLE handle) : m_handle(handle) {}
    ~HandleCloser()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    HandleCloser(const HandleCloser&) = delete;
    HandleCloser& operator=(const HandleCloser&) = delete;

private:
    HANDLE m_handle;
};
}  // namespace

void CPkPackBlock::Run(const std::atomic<bool>& cancelled)
{
    if (cancelled.load()) {
        m_outcome = ocCancelled;
        return;
    }
    HANDLE file = CreateFileW(ZipFileSystem::ToLongPath(m_path, true), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        m_outcome = ocUnreadable;
        return;
    }
    HandleCloser closer(file);
    uint32_t dictionary = m_level == 0 ? 0 : (uint32_t)std::min<uint64_t>(m_offset, kDictionarySize);
    std::unique_ptr<CPkBytes> input = m_scratch.bytes.Take();
    if (!ReadRange(file, m_offset - dictionary, dictionary + m_length, *input)) {
        m_scratch.bytes.Give(std::move(input));
        m_outcome = ocUnreadable;
        return;
    }
    if (input->Size() < dictionary) {
        m_scratch.bytes.Give(std::move(input));
        m_outcome = ocChanged;
        return;
    }
    m_plainCount = (uint32_t)(input->Size() - dictionary);
    // Only the last block may come out short: a shorter middle block means the
    // file shrank while it was read.
    if (m_plainCount < m_length && !m_last) {
        m_scratch.bytes.Give(std::move(input));
        m_outcome = ocChanged;
        return;
    }
    const char* plain = input->Data() + dictionary;
    m_crc = (uint32_t)crc32(0, (const Bytef*)plain, m_plainCount);
    if (m_level == 0) {
        // Stored: the bytes read are the output (no dictionary was read).
        m_output = std::move(input);
        m_outcome = ocDone;
        return;
    }
    m_output = m_scratch.bytes.Take();
    m_outcome = Deflate(input->Data(), dictionary, plain, m_plainCount) ? ocDone : ocCompressionFailed;
    m_scratch.bytes.Give(std::move(input));
}

bool CPkPackBlock::ReadRange(HANDLE file, uint64_t from, uint32_t count, CPkBytes& into)
{
    into.Resize(count);
    LARGE_INTEGER position;
    position.QuadPart = (LONGLONG)from;
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN))
        return false;
    uint32_t got = 0;
    while (got < count) {
        DWORD n = 0;
        if (!ReadFile(file, into.Data() + got, count - got, &n, nullptr))
            return false;
        if (n == 0)
            break;
        got += n;
    }
    into.Resize(got);
    return true;
}

bool CPkPackBlock::Deflate(const char* dictionary, uint32_t dictionaryLength, const char* bytes, uint32_t count)
{
    CPkShelf<CPkZStream>::Loan zstream(m_scratch.streams);
    if (!zstream->StartDeflate(m_level))
        return false;
    z_stream& stream = zstream->Stream();
    bool ok = dictionaryLength == 0 ||
              deflateSetDictionary(&stream, (const Bytef*)dictionary, dictionaryLength) == Z_OK;
    // Room for the worst case plus the sync flush's empty stored block.
    CPkBytes& output = *m_output;
    output.Resize(deflateBound(&stream, count) + 64);
    stream.next_in = (Bytef*)bytes;
    stream.avail_in = count;
    stream.next_out = (Bytef*)output.Data();
    stream.avail_out = (uInt)output.Size();
    int flush = m_last ? Z_FINISH : Z_SYNC_FLUSH;
    while (ok) {
        int result = deflate(&stream, flush);
        if (result == Z_STREAM_END || (result == Z_OK && !m_last && stream.avail_in == 0 && stream.avail_out > 0))
            break;
        if (result != Z_OK && result != Z_BUF_ERROR) {
            ok = false;
            break;
        }
        // Out of room: grow and go on where it stopped.
        size_t used = output.Size() - stream.avail_out;
        output.Resize(output.Size() * 2);
        stream.next_out = (Bytef*)output.Data() + used;
        stream.avail_out = (uInt)(output.Size() - used);
    }
    output.Resize(output.Size() - stream.avail_out);
    return ok;
}
