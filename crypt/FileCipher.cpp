#include "crypt/FileCipher.h"

#include "crypt/AsyncWriter.h"
#include "crypt/Crc32.h"
#include "crypt/EncryptedFileHeader.h"
#include "crypt/KeyState.h"
#include "crypt/PathParts.h"
#include "crypt/RawFile.h"
#include "crypt/SystemRandom.h"
#include "crypt/WorkerThread.h"
#include "crypt/XxteaBlockCipher.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <optional>
#include <vector>

std::atomic<unsigned char> g_AbortRequested{0};

namespace {

const size_t kBlock = CIPHER_BLOCK_SIZE;
// Data is read, transformed and written this many blocks at a time (1 MiB).
const size_t kChunkBlocks = 8192;
const size_t kChunkBytes = kChunkBlocks * CIPHER_BLOCK_SIZE;
// Files with this much data are transformed and written by several threads.
const uint64_t kAsyncThreshold = 4 * kChunkBytes;
// Up to this many helper threads encipher whole chunks side by side, or share
// the deciphering of one chunk ...
const unsigned kMaxCipherWorkers = 7;
// ... in parts of at least this many blocks, whole lane groups.
const size_t kMinPartBlocks = 512;
const size_t kPartAlignBlocks = 16;

// The chunk buffer for this much data: whole blocks, at least one, at most a
// chunk, so that small files cost no large allocation.
size_t ChunkBytesFor(uint64_t dataBytes)
{
    uint64_t blocks = std::max<uint64_t>((dataBytes + kBlock - 1) / kBlock, 1);
    return (size_t)std::min<uint64_t>(blocks * kBlock, kChunkBytes);
}

// Helper threads for the transform: one per processor beside the engine's own
// thread (the writer mostly waits for the disk).
unsigned CipherWorkerCount()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    unsigned processors = info.dwNumberOfProcessors;
    return processors > 1 ? std::min(kMaxCipherWorkers, processors - 1) : 0;
}
// A decrypted PlainSize may exceed the size limit by this much before it counts as a wrong key.
const uint64_t kPlainSizeSlack = 10;

std::atomic<void (*)(uint64_t)> s_blockHook{nullptr};

// Random bytes of one encryption: IV, the fill of both header blocks, the pad of the last block.
struct RandomBlocks {
    uint8_t iv[kBlock];
    uint8_t header1[kBlock];
    uint8_t header2[kBlock];
    uint8_t pad[kBlock];
    ~RandomBlocks() { SecureZeroMemory(this, sizeof *this); }
};

// Full data blocks, from firstIndex on, that may be processed before an abort request is seen.
size_t BlocksBeforeAbort(uint64_t firstIndex, size_t count)
{
    void (*hook)(uint64_t) = s_blockHook.load(std::memory_order_relaxed);
    for (size_t i = 0; i < count; ++i) {
        if (hook)
            hook(firstIndex + i);
        if (g_AbortRequested.load(std::memory_order_relaxed))
            return i;
    }
    return count;
}

}  // namespace

// The files, key copy, cipher and buffers of one operation; wiped when it ends.
// Data goes out through the chunk buffer, or for large files through an
// asynchronous writer whose thread writes one chunk while the next is prepared.
// A verification reads the plain file it compares with into a buffer of the
// chunk's size.
struct CFileCipher::Stream {
    CRawFile input;
    CRawFile output;
    CRawFile plain;
    bool sameContent = false;  // the plain file matched the decrypted data so far
    uint8_t key[CIPHER_KEY_SIZE];
    std::optional<CXxteaBlockCipher> cipher;
    uint8_t* chunk = nullptr;
    uint8_t* plainChunk = nullptr;
    size_t chunkBytes = 0;
    std::unique_ptr<CAsyncWriter> writer;
    // The engine's helper threads, for large files only; every job handed to
    // them is waited for before the stream ends.
    std::vector<CWorkerThread*> cipherWorkers;

    Stream() { memcpy(key, g_FileKey, sizeof key); }
    ~Stream()
    {
        writer.reset();
        SecureZeroMemory(key, sizeof key);
        FreeBuffer(chunk);
        FreeBuffer(plainChunk);
    }
    void FreeBuffer(uint8_t* buffer)
    {
        if (buffer) {
            SecureZeroMemory(buffer, chunkBytes);
            delete[] buffer;
        }
    }
    // Reads a whole block; false when the file ends (or fails) before it.
    bool ReadBlock(uint8_t block[kBlock]) { return input.Read(block, kBlock) == (int64_t)kBlock; }

    // The buffers for dataBytes of data going to `sink` (the memory buffer
    // needs one block of its own, for the last one). Large files are
    // transformed by the given helper threads as well and written by a thread
    // of its own; small ones go through the chunk buffer in order on the
    // caller's thread. False when the memory cannot be had.
    bool Prepare(uint64_t dataBytes, Sink sink, const std::vector<std::unique_ptr<CWorkerThread>>* workers)
    {
        chunkBytes = sink == Sink::Memory ? kBlock : ChunkBytesFor(dataBytes);
        chunk = new (std::nothrow) uint8_t[chunkBytes];
        if (sink == Sink::Compare)
            plainChunk = new (std::nothrow) uint8_t[chunkBytes];
        if (!chunk || (sink == Sink::Compare && !plainChunk))
            return false;
        if (!workers)
            return true;
        for (const auto& worker : *workers)
            cipherWorkers.push_back(worker.get());
        if (sink != Sink::File)
            return true;
        // Buffers for the chunks in flight on the workers, one being read and
        // two for the writer.
        int buffers = (int)cipherWorkers.size() + 3;
        writer.reset(new (std::nothrow) CAsyncWriter(output, kChunkBytes, buffers));
        if (writer && !writer->Start())
            writer.reset();
        return true;
    }
    // Bytes an acquired buffer holds.
    size_t BufferBytes() const { return writer ? kChunkBytes : chunkBytes; }
    // Enciphers or deciphers blocks in place, in parts shared with the
    // workers. With a CRC, each part also checksums its plain bytes (before
    // enciphering, after deciphering) and the parts' CRCs are joined in order.
    void Transform(bool encrypt, uint8_t* blocks, size_t count, Crc32* crc)
    {
        size_t n = std::min(cipherWorkers.size() + 1, std::max<size_t>(count / kMinPartBlocks, 1));
        size_t share = (count / n + kPartAlignBlocks - 1) / kPartAlignBlocks * kPartAlignBlocks;
        size_t sizes[kMaxCipherWorkers + 1] = {};
        uint32_t crcs[kMaxCipherWorkers + 1];
        for (size_t i = 0, at = 0; i < n; at += sizes[i], ++i) {
            sizes[i] = std::min(share, count - at);
            uint8_t* data = blocks + at * kBlock;
            size_t blocksInPart = sizes[i];
            uint32_t* partCrc = &crcs[i];
            if (i > 0)  // part 0 is the caller's own, below
                cipherWorkers[i - 1]->Run([this, encrypt, crc, data, blocksInPart, partCrc] {
                    *partCrc = TransformPart(*cipher, encrypt, crc != nullptr, data, blocksInPart);
                });
        }
        crcs[0] = TransformPart(*cipher, encrypt, crc != nullptr, blocks, sizes[0]);
        for (size_t i = 0; i < n; ++i) {
            if (i > 0)
                cipherWorkers[i - 1]->Wait();
            if (crc)
                crc->Append(crcs[i], sizes[i] * kBlock);
        }
    }
    // The CRC of the part's plain bytes (0 without withCrc).
    static uint32_t TransformPart(const CXxteaBlockCipher& c, bool encrypt, bool withCrc, uint8_t* data, size_t count)
    {
        Crc32 crc;
        if (withCrc && encrypt)
            crc.Update(data, count * kBlock);
        if (encrypt)
            c.EncryptBlocks(data, count);
        else
            c.DecryptBlocks(data, count);
        if (withCrc && !encrypt)
            crc.Update(data, count * kBlock);
        return crc.GetValue();
    }

    // A chunk of plain bytes on its way to the output: enciphered on a worker
    // (or at once), then written in order.
    struct Enciphering {
        uint8_t* buffer;
        size_t plainBytes;  // checksummed
        size_t blocks;      // enciphered and written (pad included)
        CWorkerThread* worker;
        uint32_t plainCrc;
    };
    void Encipher(Enciphering& job, bool withCrc)
    {
        auto work = [this, &job, withCrc] {
            Crc32 crc;
            if (withCrc)
                crc.Update(job.buffer, job.plainBytes);
            job.plainCrc = crc.GetValue();
            cipher->EncryptBlocks(job.buffer, job.blocks);
        };
        if (job.worker)
            job.worker->Run(work);
        else
            work();
    }
    // Waits for the chunk, adds its CRC and writes it.
    int Complete(Enciphering& job, Crc32* crc)
    {
        if (job.worker)
            job.worker->Wait();
        if (crc)
            crc->Append(job.plainCrc, job.plainBytes);
        return Emit(job.buffer, job.blocks * kBlock);
    }
    // A buffer of BufferBytes() to fill, or null once an earlier write failed.
    uint8_t* AcquireBuffer() { return writer ? writer->AcquireBuffer() : chunk; }
    // The plain bytes from offset on, at most a chunk of them, in a buffer of their own.
    struct Chunk {
        uint8_t* buffer = nullptr;  // null: an earlier write failed
        size_t size = 0;
        bool complete = false;      // all size bytes were read
    };
    Chunk ReadChunk(uint64_t offset, uint64_t plainSize)
    {
        Chunk read;
        read.size = (size_t)std::min<uint64_t>(plainSize - offset, BufferBytes());
        read.buffer = AcquireBuffer();
        read.complete = read.buffer && input.Read(read.buffer, read.size) == (int64_t)read.size;
        return read;
    }
    void ReleaseBuffer(uint8_t* buffer)
    {
        if (writer)
            writer->Release(buffer);
    }
    // Writes (or queues) the first count bytes of an acquired buffer.
    int Emit(uint8_t* buffer, size_t count)
    {
        if (writer) {
            writer->Submit(buffer, count);
            return CRYPT_OK;
        }
        return output.Write(buffer, count) == count ? CRYPT_OK : CRYPT_WRITE_FAILED;
    }
    // Compares decrypted bytes with the plain file's next bytes, until the
    // first difference.
    void ComparePlain(const uint8_t* decrypted, size_t bytes)
    {
        if (sameContent)
            sameContent = plain.Read(plainChunk, bytes) == (int64_t)bytes && memcmp(plainChunk, decrypted, bytes) == 0;
    }
    // Waits for queued writes; a failed write outranks any later outcome, as
    // it would have stopped a sequential writer first.
    int FinishWrites(int result)
    {
        if (writer && !writer->Finish())
            return CRYPT_WRITE_FAILED;
        return result;
    }
};

const WCHAR* CryptResultName(int result)
{
    switch (result) {
    case CRYPT_OK: return L"CRYPT_OK";
    case CRYPT_BAD_KEY: return L"CRYPT_BAD_KEY";
    case CRYPT_OPEN_INPUT_FAILED: return L"CRYPT_OPEN_INPUT_FAILED";
    case CRYPT_WRITE_FAILED: return L"CRYPT_WRITE_FAILED";
    case CRYPT_READ_FAILED: return L"CRYPT_READ_FAILED";
    case CRYPT_TOO_BIG: return L"CRYPT_TOO_BIG";
    case CRYPT_CRC_MISMATCH: return L"CRYPT_CRC_MISMATCH";
    case CRYPT_NO_MEMORY: return L"CRYPT_NO_MEMORY";
    case CRYPT_ABORTED: return L"CRYPT_ABORTED";
    default: return L"CRYPT_UNKNOWN";
    }
}

// A new engine leaves g_AbortRequested alone: an engine made on another thread
// (a preview decoding) must not withdraw the user's request to abort a job.
CFileCipher::CFileCipher() = default;

CFileCipher::~CFileCipher() { ReleaseMemory(); }

const std::vector<std::unique_ptr<CWorkerThread>>* CFileCipher::WorkersFor(uint64_t dataBytes)
{
    if (dataBytes < kAsyncThreshold)
        return nullptr;
    if (!m_workersStarted) {
        m_workersStarted = true;
        for (unsigned i = CipherWorkerCount(); i > 0; --i) {
            std::unique_ptr<CWorkerThread> worker(new (std::nothrow) CWorkerThread);
            if (!worker || !worker->Start())
                break;
            m_workers.push_back(std::move(worker));
        }
    }
    return &m_workers;
}

void CFileCipher::SetBlockHook(void (*hook)(uint64_t blockIndex)) { s_blockHook.store(hook); }

bool CFileCipher::CanEncryptSize(uint64_t plainSize) const
{
    if (plainSize > SIZE_LIMIT)
        return false;
    uint64_t encrypted = EncryptedFileSize(plainSize);
    uint64_t trailer = m_trailerSize ? m_trailerSize(encrypted) : 0;
    return encrypted <= SIZE_LIMIT && trailer <= SIZE_LIMIT - encrypted;
}

void CFileCipher::ReleaseMemory()
{
    if (m_memory) {
        SecureZeroMemory(m_memory, std::max<uint32_t>(m_memorySize, 1));
        delete[] m_memory;
    }
    m_memory = nullptr;
    m_memorySize = 0;
    m_memoryFill = 0;
}

// Opens the input for reading (shared as the C runtime's "rb" does) and, when
// given, creates the output.
int CFileCipher::OpenStream(Stream& stream, const CString& input, const CString* output, DWORD outputShare)
{
    if (!stream.input.OpenRead(input, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return CRYPT_OPEN_INPUT_FAILED;
    // The times come from the open handle: another opening only for them
    // would cost a file system round trip per file.
    m_inputTimesValid =
        GetFileTime(stream.input.Handle(), &m_inputTimes[0], &m_inputTimes[1], &m_inputTimes[2]) != FALSE;
    if (output && !stream.output.Create(*output, outputShare)) {
        stream.input.Close();
        return CRYPT_WRITE_FAILED;
    }
    return CRYPT_OK;
}

int CFileCipher::CryptFile(const CString& input, const CString& output, int mode, CString& originalName,
                           uint8_t* crcBytes, BOOL checkCrc)
{
    m_inputTimesValid = false;
    if (mode != CRYPT_MODE_ENCRYPT)
        return DecryptToFile(input, output, originalName, crcBytes, checkCrc != FALSE);
    if (!HasKey())
        return CRYPT_BAD_KEY;
    int64_t size = CRawFile::SizeOf(input);
    if (size >= 0 && !CanEncryptSize((uint64_t)size))
        return CRYPT_TOO_BIG;
    if (g_AbortRequested.load())
        return CRYPT_ABORTED;
    Stream stream;
    int result = OpenStream(stream, input, &output, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (result != CRYPT_OK)
        return result;
    originalName = PathFilePart(input);
    return EncryptStream(stream, originalName, checkCrc != FALSE);
}

int CFileCipher::DecryptToFile(const CString& input, const CString& output, CString& originalName,
                               uint8_t* crcBytes, bool checkCrc)
{
    if (crcBytes)
        memset(crcBytes, 0, 4);
    EncryptedFileHeader header;
    // The CRC is taken over the decrypted bytes as they are handed to the
    // writer, so it covers exactly what the output receives.
    Crc32 crc;
    int result = Decrypt(input, &output, FILE_SHARE_READ | FILE_SHARE_WRITE, header, originalName,
                         checkCrc ? &crc : nullptr);
    // Only a complete output is checked, so failures keep their own codes.
    if (result != CRYPT_OK || !checkCrc || !header.HasCrc())
        return result;
    uint8_t actual[4];
    crc.GetBytes(actual);
    if (memcmp(actual, header.CrcBytes, 4) != 0)
        result = CRYPT_CRC_MISMATCH;
    if (crcBytes)
        memcpy(crcBytes, header.CrcBytes, 4);
    return result;
}

int CFileCipher::VerifyEncryptedFile(const CString& encrypted, const CString& plain, uint8_t* crcBytes,
                                     bool& sameContent)
{
    sameContent = false;
    if (crcBytes)
        memset(crcBytes, 0, 4);
    int result = CheckDecryptionStart(encrypted, true);
    if (result != CRYPT_OK)
        return result;
    EncryptedFileHeader header;
    Crc32 crc;
    bool equal = false;
    {
        Stream stream;
        result = OpenStream(stream, encrypted, nullptr, 0);
        if (result != CRYPT_OK)
            return result;
        // Readers only: no one may change the plain file while it is compared.
        bool plainOpen = stream.plain.OpenRead(plain, FILE_SHARE_READ);
        result = ReadHeaders(stream, Sink::Compare, header);
        if (result == CRYPT_OK) {
            stream.sameContent = plainOpen && stream.plain.Size() == (int64_t)header.PlainSize;
            result = DecryptDataBlocks(stream, header.PlainSize, Sink::Compare, &crc);
        }
        // Both end together: nothing may follow in the plain file.
        uint8_t probe;
        equal = result == CRYPT_OK && stream.sameContent && stream.plain.Read(&probe, 1) == 0;
    }
    if (result != CRYPT_OK || !header.HasCrc()) {
        sameContent = equal;
        return result;
    }
    uint8_t actual[4];
    crc.GetBytes(actual);
    if (memcmp(actual, header.CrcBytes, 4) != 0)
        result = CRYPT_CRC_MISMATCH;
    if (crcBytes)
        memcpy(crcBytes, header.CrcBytes, 4);
    sameContent = result == CRYPT_OK && equal;
    return result;
}

int CFileCipher::DecryptFileShared(const CString& input, const CString& output, CString& originalName)
{
    EncryptedFileHeader header;
    return Decrypt(input, &output, FILE_SHARE_READ, header, originalName, nullptr);
}

int CFileCipher::DecryptFileToMemory(const CString& path, CString& originalName)
{
    EncryptedFileHeader header;
    return Decrypt(path, nullptr, 0, header, originalName, nullptr);
}

// What every decryption tests before it opens anything.
int CFileCipher::CheckDecryptionStart(const CString& input, bool abortTest) const
{
    if (!HasKey())
        return CRYPT_BAD_KEY;
    if (CRawFile::SizeOf(input) > (int64_t)SIZE_LIMIT)
        return CRYPT_TOO_BIG;
    if (abortTest && g_AbortRequested.load())
        return CRYPT_ABORTED;
    return CRYPT_OK;
}

// Decryption into an output file (shared as given) or, without one, into the
// memory buffer, with the CRC of the plain data when asked; the files are
// closed when it returns.
int CFileCipher::Decrypt(const CString& input, const CString* output, DWORD outputShare, EncryptedFileHeader& header,
                         CString& originalName, Crc32* crc)
{
    // The memory mode starts without an abort test.
    int result = CheckDecryptionStart(input, output != nullptr);
    if (result != CRYPT_OK)
        return result;
    {
        Stream stream;
        Sink sink = output ? Sink::File : Sink::Memory;
        result = OpenStream(stream, input, output, outputShare);
        if (result == CRYPT_OK)
            result = ReadHeaders(stream, sink, header);
        if (result == CRYPT_OK)
            result = DecryptDataBlocks(stream, header.PlainSize, sink, crc);
    }
    if (result == CRYPT_OK)
        originalName = header.GetOriginalName();
    return result;
}

bool CFileCipher::GetInputTimes(FILETIME& created, FILETIME& accessed, FILETIME& written) const
{
    if (!m_inputTimesValid)
        return false;
    created = m_inputTimes[0];
    accessed = m_inputTimes[1];
    written = m_inputTimes[2];
    return true;
}

CString CFileCipher::ReadOriginalName(const CString& path)
{
    if (!HasKey())
        return CString();
    Stream stream;
    if (!stream.input.OpenRead(path, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return CString();
    EncryptedFileHeader header;
    uint8_t block[kBlock];
    if (!stream.ReadBlock(header.IV) || !stream.ReadBlock(block))
        return CString();
    stream.cipher.emplace(stream.key, header.IV);
    stream.cipher->DecryptBlocks(block, 1);
    bool nameFits = header.ReadBlock1(block);
    SecureZeroMemory(block, sizeof block);
    if (header.PlainSize > SIZE_LIMIT + kPlainSizeSlack || !nameFits)
        return CString();
    return header.GetOriginalName();
}

// Writes the IV and the header blocks, then the data. The CRC is taken while
// the data streams through, so it always describes the bytes encrypted, and
// header block 2 is written again with it at the end.
int CFileCipher::EncryptStream(Stream& stream, const CString& name, bool storeCrc)
{
    int64_t size = stream.input.Size();
    if (size < 0)
        return CRYPT_READ_FAILED;
    if (!CanEncryptSize((uint64_t)size))
        return CRYPT_TOO_BIG;
    if (!stream.Prepare((uint64_t)size, Sink::File, WorkersFor((uint64_t)size)))
        return CRYPT_NO_MEMORY;
    RandomBlocks random;
    if (!FillSystemRandom(&random, sizeof random))
        return CRYPT_WRITE_FAILED;  // no safe IV, so no output can be made

    EncryptedFileHeader header;
    memcpy(header.IV, random.iv, kBlock);
    header.PlainSize = (uint64_t)size;
    header.SetOriginalName(name);
    stream.cipher.emplace(stream.key, header.IV);

    uint8_t blocks[3 * kBlock];
    memcpy(blocks, random.iv, kBlock);
    memcpy(blocks + kBlock, random.header1, kBlock);
    header.WriteBlock1(blocks + kBlock);
    memcpy(blocks + 2 * kBlock, random.header2, kBlock);
    header.WriteBlock2(blocks + 2 * kBlock);
    stream.cipher->EncryptBlocks(blocks + kBlock, 2);
    if (stream.output.Write(blocks, sizeof blocks) != sizeof blocks)
        return CRYPT_WRITE_FAILED;

    Crc32 crc;
    int result = EncryptDataBlocks(stream, header.PlainSize, storeCrc ? &crc : nullptr);
    if (result != CRYPT_OK || !storeCrc)
        return result;
    crc.GetBytes(header.CrcBytes);
    if (!header.HasCrc())
        return CRYPT_OK;
    uint8_t* block2 = blocks + 2 * kBlock;
    memcpy(block2, random.header2, kBlock);
    header.WriteBlock2(block2);
    stream.cipher->EncryptBlocks(block2, 1);
    if (!stream.output.Seek(2 * kBlock) || stream.output.Write(block2, kBlock) != kBlock)
        return CRYPT_WRITE_FAILED;
    return CRYPT_OK;
}

// Streams plainSize bytes of the input into encrypted data blocks. The input
// must hold exactly that many bytes: a file that shrinks or grows meanwhile fails.
int CFileCipher::EncryptDataBlocks(Stream& stream, uint64_t plainSize, Crc32* crc)
{
    // Large files: whole chunks are enciphered on the workers side by side
    // while this thread reads the next ones; they are written in order.
    size_t workers = stream.writer ? stream.cipherWorkers.size() : 0;
    std::deque<Stream::Enciphering> inFlight;
    int result = CRYPT_OK;
    for (uint64_t done = 0, index = 0; result == CRYPT_OK && done < plainSize; ++index) {
        if (workers && inFlight.size() == workers) {
            result = stream.Complete(inFlight.front(), crc);
            inFlight.pop_front();
            if (result != CRYPT_OK)
                break;
        }
        Stream::Chunk chunk = stream.ReadChunk(done, plainSize);
        if (!chunk.buffer) {
            result = CRYPT_WRITE_FAILED;
            break;
        }
        if (!chunk.complete) {
            stream.ReleaseBuffer(chunk.buffer);
            result = CRYPT_READ_FAILED;
            break;
        }
        size_t full = chunk.size / kBlock, tail = chunk.size % kBlock;
        size_t ready = BlocksBeforeAbort(done / kBlock, full);
        Stream::Enciphering job{chunk.buffer, ready * kBlock, ready, nullptr, 0};
        if (ready < full) {
            result = CRYPT_ABORTED;
        } else if (tail) {
            // The last, partial block: random pad bytes, no abort test.
            FillSystemRandom(chunk.buffer + chunk.size, kBlock - tail);
            job.plainBytes += tail;
            job.blocks += 1;
        }
        if (workers)
            job.worker = stream.cipherWorkers[index % workers];
        inFlight.push_back(job);
        stream.Encipher(inFlight.back(), crc != nullptr);
        if (!workers) {
            int emitted = stream.Complete(inFlight.front(), crc);
            inFlight.pop_front();
            if (emitted != CRYPT_OK)
                result = emitted;
        }
        done += chunk.size;
    }
    // The chunks handed over go out in order, before whatever stopped the loop.
    for (; !inFlight.empty(); inFlight.pop_front())
        stream.Complete(inFlight.front(), crc);
    // Nothing may follow, and the file must still have the size it had.
    uint8_t probe;
    if (result == CRYPT_OK && (stream.input.Read(&probe, 1) != 0 || stream.input.Size() != (int64_t)plainSize))
        result = CRYPT_READ_FAILED;
    return stream.FinishWrites(result);
}

// Reads the IV and the header blocks; the memory buffer is made for the
// content once its size is known.
int CFileCipher::ReadHeaders(Stream& stream, Sink sink, EncryptedFileHeader& header)
{
    uint8_t block[kBlock];
    if (!stream.ReadBlock(header.IV) || !stream.ReadBlock(block))
        return CRYPT_BAD_KEY;
    stream.cipher.emplace(stream.key, header.IV);
    stream.cipher->DecryptBlocks(block, 1);
    bool nameFits = header.ReadBlock1(block);
    if (header.PlainSize > SIZE_LIMIT + kPlainSizeSlack)
        return CRYPT_BAD_KEY;
    if (sink == Sink::Memory) {
        ReleaseMemory();
        if (header.PlainSize > MEMORY_LIMIT)
            return CRYPT_BAD_KEY;
        // One byte at least, so that an empty content has a buffer too.
        m_memory = new (std::nothrow) uint8_t[std::max<uint64_t>(header.PlainSize, 1)];
        if (!m_memory)
            return CRYPT_NO_MEMORY;
        m_memorySize = (uint32_t)header.PlainSize;
    }
    if (!nameFits)
        return CRYPT_BAD_KEY;
    if (!stream.ReadBlock(block))
        return CRYPT_BAD_KEY;
    stream.cipher->DecryptBlocks(block, 1);
    header.ReadBlock2(block);
    SecureZeroMemory(block, sizeof block);
    return CRYPT_OK;
}

// Hands decrypted bytes to the sink: the output file, the memory buffer (where
// they may already stand), or the comparison with the plain file.
int CFileCipher::Deliver(Stream& stream, Sink sink, uint8_t* data, size_t bytes)
{
    switch (sink) {
    case Sink::File: return stream.Emit(data, bytes);
    case Sink::Memory:
        if (data != m_memory + m_memoryFill)
            memcpy(m_memory + m_memoryFill, data, bytes);
        m_memoryFill += (uint32_t)bytes;
        return CRYPT_OK;
    case Sink::Compare: stream.ComparePlain(data, bytes); return CRYPT_OK;
    }
    return CRYPT_OK;
}

// Decrypts plainSize bytes of data blocks into the sink, with their CRC when
// asked (taken before they are handed on).
int CFileCipher::DecryptDataBlocks(Stream& stream, uint64_t plainSize, Sink sink, Crc32* crc)
{
    if (!stream.Prepare(plainSize, sink, WorkersFor(plainSize)))
        return CRYPT_NO_MEMORY;
    // In memory mode the blocks are read and decrypted in place.
    const bool inPlace = sink == Sink::Memory;
    const size_t chunkBlocks = inPlace ? kChunkBlocks : stream.BufferBytes() / kBlock;
    uint64_t fullBlocks = plainSize / kBlock, index = 0;
    while (index < fullBlocks) {
        size_t want = (size_t)std::min<uint64_t>(fullBlocks - index, chunkBlocks);
        uint8_t* chunk = inPlace ? m_memory + m_memoryFill : stream.AcquireBuffer();
        if (!chunk)
            return stream.FinishWrites(CRYPT_WRITE_FAILED);
        int64_t got = stream.input.Read(chunk, want * kBlock);
        if (got < 0) {
            stream.ReleaseBuffer(chunk);
            return stream.FinishWrites(CRYPT_READ_FAILED);
        }
        size_t available = (size_t)got / kBlock;
        // Each block is tested for an abort before it is read, so a missing
        // block is tested too before it counts as truncation.
        size_t tested = available < want ? available + 1 : want;
        size_t clear = BlocksBeforeAbort(index, tested);
        size_t ready = std::min(clear, available);
        stream.Transform(false, chunk, ready, crc);
        int result = Deliver(stream, sink, chunk, ready * kBlock);
        if (result == CRYPT_OK && clear < tested)
            result = CRYPT_ABORTED;
        else if (result == CRYPT_OK && available < want)
            result = CRYPT_BAD_KEY;
        if (result != CRYPT_OK)
            return stream.FinishWrites(result);
        index += want;
    }
    size_t tail = (size_t)(plainSize % kBlock);
    if (tail == 0)
        return stream.FinishWrites(CRYPT_OK);
    uint8_t* last = inPlace ? stream.chunk : stream.AcquireBuffer();
    if (!last)
        return stream.FinishWrites(CRYPT_WRITE_FAILED);
    if (!stream.ReadBlock(last)) {
        stream.ReleaseBuffer(last);
        return stream.FinishWrites(CRYPT_BAD_KEY);
    }
    stream.cipher->DecryptBlocks(last, 1);
    if (crc)
        crc->Update(last, tail);
    return stream.FinishWrites(Deliver(stream, sink, last, tail));
}
