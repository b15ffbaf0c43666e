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
#include "framework/base/Processors.h"
#include "framework/base/WipedMemory.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace {

const size_t kBlock = CIPHER_BLOCK_SIZE;
// Data is read, transformed and written this many blocks at a time (1 MiB).
const size_t kChunkBlocks = 8192;
const size_t kChunkBytes = kChunkBlocks * CIPHER_BLOCK_SIZE;
// Files with this much data are transformed and written by several threads.
const uint64_t kAsyncThreshold = 4 * kChunkBytes;
// Up to this many helper threads read and transform whole chunks side by side.
const unsigned kMaxCipherWorkers = 7;
// The encrypted data starts behind the IV and the two header blocks.
const uint64_t kDataStart = 3 * CIPHER_BLOCK_SIZE;

// The chunk buffer for this much data: whole blocks, at least one, at most a
// chunk, so that small files cost no large allocation.
size_t ChunkBytesFor(uint64_t dataBytes)
{
    uint64_t blocks = std::max<uint64_t>((dataBytes + kBlock - 1) / kBlock, 1);
    return (size_t)std::min<uint64_t>(blocks * kBlock, kChunkBytes);
}

std::atomic<int> s_helperLimit{-1};

// Helper threads that read and transform chunks: one per processor beside the
// engine's own thread (which only hands out chunks and finishes them in
// order), and at least two, so that one chunk is read while another is
// transformed even on two processors.
unsigned CipherWorkerCount()
{
    int limit = s_helperLimit.load();
    if (limit >= 0)
        return std::min((unsigned)limit, kMaxCipherWorkers);
    unsigned processors = UsableProcessorCount();
    return processors > 1 ? std::max(2u, std::min(kMaxCipherWorkers, processors - 1)) : 0;
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

// CRYPT_OK when the CRC taken over the plain bytes matches the stored one,
// which goes to crcBytes when given.
int CompareStoredCrc(const Crc32& crc, const EncryptedFileHeader& header, uint8_t* crcBytes)
{
    uint8_t actual[4];
    crc.GetBytes(actual);
    if (crcBytes)
        memcpy(crcBytes, header.CrcBytes, 4);
    return memcmp(actual, header.CrcBytes, 4) == 0 ? CRYPT_OK : CRYPT_CRC_MISMATCH;
}

}  // namespace

// A chunk on its way: read and transformed on a helper thread (or at once),
// then finished in order.
struct CFileCipher::ChunkJob {
    uint8_t* buffer = nullptr;
    uint64_t readOffset = 0;          // where its bytes stand in the input
    size_t readBytes = 0;             // bytes to read into the buffer first
    bool readFailed = false;          // the read failed
    bool readShort = false;           // the input ended before readBytes
    size_t blocks = 0;                // blocks transformed
    size_t plainBytes = 0;            // checksummed, and handed on after decryption (no pad)
    uint8_t* plain = nullptr;         // decryption: room for the plain file's bytes to compare with, if any
    uint64_t plainOffset = 0;         // where they stand in the plain file
    CWorkerThread* worker = nullptr;  // null: transformed at once
    uint32_t crc = 0;                 // of the plain bytes
    bool same = false;                // the plain bytes equal the plain file's
};

// An output left open after its operation (SetKeepOutput).
struct CFileCipher::KeptOutput {
    CRawFile file;
    CString path;
};

// The files, key copy, cipher and buffers of one operation; wiped when it ends.
// Data travels a chunk at a time. Large files are read and transformed a
// whole chunk per helper thread, each reading its own range of the input, so
// several reads are outstanding at once; this thread hands the chunks out and
// finishes them in order (written, kept in memory or compared); towards a
// file an asynchronous writer writes one chunk while the next are prepared. A
// verification reads the plain file it compares with into buffers of its own.
struct CFileCipher::Stream {
    CRawFile input;
    CRawFile output;
    CRawFile plainFile;  // a verification's plain file
    int64_t inputSize = -1;  // of a decryption's input when it was opened; -1 unknown
    bool sameContent = false;  // the plain file matched the decrypted data so far
    uint8_t key[CIPHER_KEY_SIZE];
    std::optional<CXxteaBlockCipher> cipher;
    // Chunk buffers taken in turn (the writer has buffers of its own), and
    // for a comparison the plain file's bytes beside each.
    std::vector<uint8_t*> buffers, plainBuffers;
    size_t chunkBytes = 0;
    std::unique_ptr<CAsyncWriter> writer;
    // The engine's helper threads, for large files only; every job handed to
    // them is waited for before the stream ends.
    std::vector<CWorkerThread*> cipherWorkers;
    // Chunks that may be on the helper threads at once; 0: each chunk is
    // transformed and finished at once on this thread.
    size_t depth = 0;

    Stream() { memcpy(key, g_FileKey, sizeof key); }
    ~Stream()
    {
        writer.reset();
        SecureZeroMemory(key, sizeof key);
        for (std::vector<uint8_t*>* list : {&buffers, &plainBuffers})
            for (uint8_t* buffer : *list) {
                WipeBytes(buffer, chunkBytes);
                delete[] buffer;
            }
    }
    // Reads a whole block; false when the file ends (or fails) before it.
    bool ReadBlock(uint8_t block[kBlock]) { return input.Read(block, kBlock) == (int64_t)kBlock; }

    // The buffers for dataBytes of data going to `sink` (the memory buffer
    // needs one block of its own, for the last one). Large files use the given
    // helper threads, and towards a file a writer thread. False when the
    // memory cannot be had.
    bool Prepare(uint64_t dataBytes, Sink sink, const std::vector<std::unique_ptr<CWorkerThread>>* workers)
    {
        chunkBytes = sink == Sink::Memory ? kBlock : ChunkBytesFor(dataBytes);
        if (workers) {
            for (const auto& worker : *workers)
                cipherWorkers.push_back(worker.get());
            depth = cipherWorkers.size();
        }
        if (sink == Sink::File && depth) {
            // Buffers for the chunks in flight on the workers, one being read
            // and two for the writer.
            int count = (int)depth + 3;
            writer.reset(new (std::nothrow) CAsyncWriter(output, kChunkBytes, count));
            if (writer && !writer->Start())
                writer.reset();
            if (writer)
                return true;
            depth = 0;  // one buffer, in order
        }
        // A comparison needs a pair of buffers per chunk in flight and one
        // being read; with fewer, fewer chunks are in flight.
        size_t wanted = sink == Sink::Compare ? depth + 1 : 1;
        for (size_t i = 0; i < wanted; ++i) {
            uint8_t* buffer = new (std::nothrow) uint8_t[chunkBytes];
            if (buffer)
                buffers.push_back(buffer);
            uint8_t* plainBuffer = sink == Sink::Compare && buffer ? new (std::nothrow) uint8_t[chunkBytes] : nullptr;
            if (plainBuffer)
                plainBuffers.push_back(plainBuffer);
            if (!buffer || (sink == Sink::Compare && !plainBuffer))
                break;
        }
        size_t pairs = sink == Sink::Compare ? std::min(buffers.size(), plainBuffers.size()) : buffers.size();
        if (pairs == 0)
            return false;
        if (sink == Sink::Compare)
            depth = std::min(depth, pairs - 1);
        return true;
    }
    // Bytes an acquired buffer holds.
    size_t BufferBytes() const { return writer ? kChunkBytes : chunkBytes; }
    // The helper thread of the chunk read in the given round, or none.
    CWorkerThread* WorkerFor(uint64_t round) const { return depth ? cipherWorkers[round % depth] : nullptr; }

    // Reads the chunk's input, checksums the plain bytes before enciphering or
    // after deciphering, and compares them with the plain file's, which the
    // job reads itself: the helper threads read their ranges side by side.
    void Start(ChunkJob& job, bool encrypt, bool withCrc)
    {
        auto work = [this, &job, encrypt, withCrc] {
            if (job.readBytes && !ReadInput(job, encrypt))
                return;
            Crc32 crc;
            if (encrypt) {
                if (withCrc)
                    crc.Update(job.buffer, job.plainBytes);
                cipher->EncryptBlocks(job.buffer, job.blocks);
            } else {
                cipher->DecryptBlocks(job.buffer, job.blocks);
                if (withCrc)
                    crc.Update(job.buffer, job.plainBytes);
                job.same = job.plain &&
                           ReadForJob(plainFile, job.plain, job.plainBytes, job.plainOffset) == (int64_t)job.plainBytes &&
                           memcmp(job.plain, job.buffer, job.plainBytes) == 0;
            }
            job.crc = crc.GetValue();
        };
        if (job.worker)
            job.worker->Run(work);
        else
            work();
    }
    // Reads for a chunk: side by side with other helper threads when there
    // are any, else from this thread alone.
    int64_t ReadForJob(CRawFile& file, void* buffer, size_t count, uint64_t offset)
    {
        return depth ? file.ReadAt(buffer, count, offset) : file.ReadFrom(buffer, count, offset);
    }
    // Reads the job's input; false when nothing can be transformed. An
    // encryption needs every byte; a decryption keeps the whole blocks read.
    bool ReadInput(ChunkJob& job, bool encrypt)
    {
        int64_t got = ReadForJob(input, job.buffer, job.readBytes, job.readOffset);
        job.readFailed = got < 0 || (encrypt && (size_t)got != job.readBytes);
        if (job.readFailed) {
            job.blocks = job.plainBytes = 0;
            return false;
        }
        if ((size_t)got < job.readBytes) {
            job.readShort = true;
            job.blocks = std::min(job.blocks, (size_t)got / kBlock);
            job.plainBytes = job.blocks * kBlock;
        }
        return true;
    }
    // Waits for the chunk and adds its CRC.
    void Wait(ChunkJob& job, Crc32* crc)
    {
        if (job.worker)
            job.worker->Wait();
        if (crc)
            crc->Append(job.crc, job.plainBytes);
    }

    // A buffer of BufferBytes() to fill in the given round, or null once an
    // earlier write failed.
    uint8_t* AcquireBuffer(uint64_t round)
    {
        return writer ? writer->AcquireBuffer() : buffers[round % buffers.size()];
    }
    // Room for the plain file's bytes beside the chunk of the given round.
    uint8_t* PlainBuffer(uint64_t round) { return plainBuffers[round % plainBuffers.size()]; }
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
    // Waits for a chunk that will not be finished and gives its buffer back.
    void Discard(ChunkJob& job)
    {
        if (job.worker)
            job.worker->Wait();
        if (job.buffer)
            ReleaseBuffer(job.buffer);
    }
    // Finishes the chunks in flight in order until one fails, then drops the
    // rest, as a sequential reader would have stopped there; the first
    // failure outranks `result` (it happened earlier in the file).
    template <typename Finish>
    int Drain(std::deque<ChunkJob>& inFlight, int result, Finish finishOldest)
    {
        bool failed = false;
        while (!inFlight.empty()) {
            if (failed) {
                Discard(inFlight.front());
                inFlight.pop_front();
                continue;
            }
            int finished = finishOldest();
            if (finished != CRYPT_OK) {
                failed = true;
                result = finished;
            }
        }
        return result;
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

CFileCipher::CFileCipher(const AbortFlag* abortFlag) : m_abortFlag(abortFlag) {}

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

size_t CFileCipher::BlocksBeforeAbort(uint64_t firstIndex, size_t count) const
{
    void (*hook)(uint64_t) = s_blockHook.load(std::memory_order_relaxed);
    for (size_t i = 0; i < count; ++i) {
        if (hook)
            hook(firstIndex + i);
        if (AbortRequested())
            return i;
    }
    return count;
}

void CFileCipher::SetBlockHook(void (*hook)(uint64_t blockIndex)) { s_blockHook.store(hook); }

void CFileCipher::SetHelperThreadLimit(int count) { s_helperLimit.store(count); }

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
        WipeBytes(m_memory, std::max<uint32_t>(m_memorySize, 1));
        delete[] m_memory;
    }
    m_memory = nullptr;
    m_memorySize = 0;
    m_memoryFill = 0;
}

// Opens the input for reading (shared as the C runtime's "rb" does) and
// takes its size and times from the open handle: each status call by path
// costs the file system another lookup of the file. Only an input that cannot
// be opened is measured by its path, so that the callers' checks keep their
// order (a size over the limit, an abort, then the failed opening).
// `size` is -1 when unknown.
bool CFileCipher::OpenInput(Stream& stream, const CString& input, int64_t& size)
{
    if (!stream.input.OpenRead(input, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
        size = CRawFile::SizeOf(input);
        return false;
    }
    size = stream.input.Size();
    m_inputTimesValid =
        GetFileTime(stream.input.Handle(), &m_inputTimes[0], &m_inputTimes[1], &m_inputTimes[2]) != FALSE;
    return true;
}

// The checks between opening the input and creating the output, in their
// order: a size over the limit, an abort, the failed opening; then the
// output, when given, is created. On a failure the input counts as not opened.
int CFileCipher::StartStream(Stream& stream, bool inputOpen, bool tooBig, const CString* output, DWORD outputShare)
{
    int result = CRYPT_OK;
    if (tooBig)
        result = CRYPT_TOO_BIG;
    else if (AbortRequested())
        result = CRYPT_ABORTED;
    else if (!inputOpen)
        result = CRYPT_OPEN_INPUT_FAILED;
    if (result != CRYPT_OK) {
        // The checks that came before the opening: as if it never happened.
        m_inputTimesValid = false;
        stream.input.Close();
        return result;
    }
    if (output && !stream.output.Create(*output, outputShare, m_keepOutput)) {
        stream.input.Close();
        return CRYPT_WRITE_FAILED;
    }
    return CRYPT_OK;
}

int CFileCipher::CryptFile(const CString& input, const CString& output, int mode, CString& originalName,
                           uint8_t* crcBytes, BOOL checkCrc)
{
    m_inputTimesValid = false;
    CloseKeptOutput();
    if (mode != CRYPT_MODE_ENCRYPT)
        return DecryptToFile(input, output, originalName, crcBytes, checkCrc != FALSE);
    if (!HasKey())
        return CRYPT_BAD_KEY;
    Stream stream;
    int64_t size = -1;
    bool opened = OpenInput(stream, input, size);
    int result = StartStream(stream, opened, size >= 0 && !CanEncryptSize((uint64_t)size), &output,
                             FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (result != CRYPT_OK)
        return result;
    originalName = PathFilePart(input);
    result = EncryptStream(stream, size, originalName, checkCrc != FALSE);
    if (result == CRYPT_OK)
        KeepOutput(stream, output);
    return result;
}

// Only an output written by this thread alone is kept: a large one has been
// switched around the system's file cache for its writes.
void CFileCipher::KeepOutput(Stream& stream, const CString& output)
{
    if (!m_keepOutput || stream.writer)
        return;
    m_kept.reset(new (std::nothrow) KeptOutput);
    if (!m_kept)
        return;
    m_kept->file.TakeFrom(stream.output);
    m_kept->path = output;
}

bool CFileCipher::HasKeptOutput() const { return m_kept && m_kept->file.IsOpen(); }

void CFileCipher::CloseKeptOutput() { m_kept.reset(); }

// A verification of the kept output reads it through its open handle, from
// the start; the checks before the headers are those of a new opening.
int CFileCipher::StartFromKeptOutput(Stream& stream)
{
    stream.input.TakeFrom(m_kept->file);
    stream.inputSize = stream.input.Size();
    bool ready = stream.inputSize >= 0 && stream.input.Seek(0);
    return StartStream(stream, ready, stream.inputSize > (int64_t)SIZE_LIMIT, nullptr, 0);
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
    return CompareStoredCrc(crc, header, crcBytes);
}

int CFileCipher::VerifyEncryptedFile(const CString& encrypted, const CString& plain, uint8_t* crcBytes,
                                     bool& sameContent)
{
    sameContent = false;
    if (crcBytes)
        memset(crcBytes, 0, 4);
    if (!HasKey())
        return CRYPT_BAD_KEY;
    EncryptedFileHeader header;
    Crc32 crc;
    bool equal = false;
    int result = CRYPT_OK;
    {
        Stream stream;
        const bool kept = m_kept && m_kept->path == encrypted;
        result = kept ? StartFromKeptOutput(stream) : StartDecryption(stream, encrypted, nullptr, 0);
        if (result == CRYPT_OK) {
            // Readers only: no one may change the plain file while it is compared.
            bool plainOpen = stream.plainFile.OpenRead(plain, FILE_SHARE_READ);
            result = ReadHeaders(stream, Sink::Compare, header);
            if (result == CRYPT_OK) {
                stream.sameContent = plainOpen && stream.plainFile.Size() == (int64_t)header.PlainSize;
                result = DecryptDataBlocks(stream, header.PlainSize, Sink::Compare, &crc);
            }
            // Both end together: nothing may follow in the plain file.
            uint8_t probe;
            equal = result == CRYPT_OK && stream.sameContent &&
                    stream.plainFile.ReadFrom(&probe, 1, header.PlainSize) == 0;
        }
        if (kept)
            m_kept->file.TakeFrom(stream.input);
    }
    if (result != CRYPT_OK || !header.HasCrc()) {
        sameContent = equal;
        return result;
    }
    result = CompareStoredCrc(crc, header, crcBytes);
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

// Opens the input of a decryption and creates its output, when given, after
// the checks every decryption makes in their order.
int CFileCipher::StartDecryption(Stream& stream, const CString& input, const CString* output, DWORD outputShare)
{
    bool opened = OpenInput(stream, input, stream.inputSize);
    return StartStream(stream, opened, stream.inputSize > (int64_t)SIZE_LIMIT, output, outputShare);
}

// Decryption into an output file (shared as given) or, without one, into the
// memory buffer, with the CRC of the plain data when asked; the files are
// closed when it returns.
int CFileCipher::Decrypt(const CString& input, const CString* output, DWORD outputShare, EncryptedFileHeader& header,
                         CString& originalName, Crc32* crc)
{
    if (!HasKey())
        return CRYPT_BAD_KEY;
    int result = CRYPT_OK;
    {
        Stream stream;
        Sink sink = output ? Sink::File : Sink::Memory;
        result = StartDecryption(stream, input, output, outputShare);
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
int CFileCipher::EncryptStream(Stream& stream, int64_t size, const CString& name, bool storeCrc)
{
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
    header.MakeStoredBlocks(*stream.cipher, random.header1, random.header2, blocks);
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
    std::deque<ChunkJob> inFlight;
    auto finishOldest = [&] {
        ChunkJob& job = inFlight.front();
        stream.Wait(job, crc);
        int emitted = CRYPT_READ_FAILED;
        if (job.readFailed)
            stream.ReleaseBuffer(job.buffer);
        else
            emitted = stream.Emit(job.buffer, job.blocks * kBlock);
        inFlight.pop_front();
        return emitted;
    };
    int result = CRYPT_OK;
    for (uint64_t done = 0, round = 0; result == CRYPT_OK && done < plainSize; ++round) {
        if (stream.depth && inFlight.size() == stream.depth && (result = finishOldest()) != CRYPT_OK)
            break;
        // Towards the writer the first chunk is shorter by the header, so that
        // the others start on whole chunks of the output, which the writer
        // can store around the system's file cache.
        size_t room = stream.BufferBytes() - (done == 0 && stream.writer ? kDataStart : 0);
        size_t size = (size_t)std::min<uint64_t>(plainSize - done, room);
        uint8_t* buffer = stream.AcquireBuffer(round);
        if (!buffer) {
            result = CRYPT_WRITE_FAILED;
            break;
        }
        size_t full = size / kBlock, tail = size % kBlock;
        ChunkJob job;
        job.buffer = buffer;
        job.readOffset = done;
        job.readBytes = size;
        job.blocks = BlocksBeforeAbort(done / kBlock, full);
        job.plainBytes = job.blocks * kBlock;
        job.worker = stream.WorkerFor(round);
        if (job.blocks < full) {
            result = CRYPT_ABORTED;
        } else if (tail) {
            // The last, partial block: random pad bytes behind the data read, no abort test.
            FillSystemRandom(buffer + size, kBlock - tail);
            job.plainBytes += tail;
            job.blocks += 1;
        }
        inFlight.push_back(job);
        stream.Start(inFlight.back(), true, crc != nullptr);
        if (!stream.depth) {
            int emitted = finishOldest();
            if (emitted != CRYPT_OK)
                result = emitted;
        }
        done += size;
    }
    // The chunks handed over go out in order, before whatever stopped the loop.
    result = stream.Drain(inFlight, result, finishOldest);
    // Nothing may follow, and the file must still have the size it had.
    uint8_t probe;
    if (result == CRYPT_OK &&
        (stream.input.ReadFrom(&probe, 1, plainSize) != 0 || stream.input.Size() != (int64_t)plainSize))
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

// Hands a decrypted chunk to the sink: the output file, the memory buffer
// (where it may already stand), or the comparison with the plain file.
int CFileCipher::Deliver(Stream& stream, Sink sink, const ChunkJob& job)
{
    switch (sink) {
    case Sink::File: return stream.Emit(job.buffer, job.plainBytes);
    case Sink::Memory:
        if (job.buffer != m_memory + m_memoryFill)
            memcpy(m_memory + m_memoryFill, job.buffer, job.plainBytes);
        m_memoryFill += (uint32_t)job.plainBytes;
        return CRYPT_OK;
    case Sink::Compare: stream.sameContent = stream.sameContent && job.same; return CRYPT_OK;
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
    // The blocks the input holds, by its size when it was opened; a chunk
    // that finds fewer when it is read ends the data there.
    int64_t inputSize = stream.inputSize;
    if (inputSize < 0)
        return stream.FinishWrites(CRYPT_READ_FAILED);
    uint64_t blocksInFile = (uint64_t)inputSize > kDataStart ? ((uint64_t)inputSize - kDataStart) / kBlock : 0;
    std::deque<ChunkJob> inFlight;
    auto finishOldest = [&] {
        ChunkJob& job = inFlight.front();
        stream.Wait(job, crc);
        int delivered = CRYPT_READ_FAILED;
        if (job.readFailed) {
            stream.ReleaseBuffer(job.buffer);
        } else {
            delivered = Deliver(stream, sink, job);
            if (delivered == CRYPT_OK && job.readShort)
                delivered = CRYPT_BAD_KEY;
        }
        inFlight.pop_front();
        return delivered;
    };
    auto start = [&](ChunkJob& job, uint64_t round, uint64_t offset) {
        if (sink == Sink::Compare && stream.sameContent) {
            job.plain = stream.PlainBuffer(round);
            job.plainOffset = offset;
        }
        inFlight.push_back(job);
        stream.Start(inFlight.back(), false, crc != nullptr);
    };
    int result = CRYPT_OK;
    uint64_t fullBlocks = plainSize / kBlock, round = 0;
    for (uint64_t index = 0; result == CRYPT_OK && index < fullBlocks; ++round) {
        if (stream.depth && inFlight.size() == stream.depth && (result = finishOldest()) != CRYPT_OK)
            break;
        size_t want = (size_t)std::min<uint64_t>(fullBlocks - index, chunkBlocks);
        uint8_t* chunk = inPlace ? m_memory + index * kBlock : stream.AcquireBuffer(round);
        if (!chunk) {
            result = CRYPT_WRITE_FAILED;
            break;
        }
        size_t available = (size_t)std::min<uint64_t>(want, blocksInFile > index ? blocksInFile - index : 0);
        // Each block is tested for an abort before it is read, so a missing
        // block is tested too before it counts as truncation.
        size_t tested = available < want ? available + 1 : want;
        size_t clear = BlocksBeforeAbort(index, tested);
        ChunkJob job;
        job.buffer = chunk;
        job.blocks = std::min(clear, available);
        job.plainBytes = job.blocks * kBlock;
        job.readOffset = kDataStart + index * kBlock;
        job.readBytes = job.plainBytes;
        job.worker = stream.WorkerFor(round);
        start(job, round, index * kBlock);
        if (!stream.depth)
            result = finishOldest();
        if (result == CRYPT_OK && clear < tested)
            result = CRYPT_ABORTED;
        else if (result == CRYPT_OK && available < want)
            result = CRYPT_BAD_KEY;
        index += want;
    }
    // The chunks handed over are finished in order, before whatever stopped the loop.
    result = stream.Drain(inFlight, result, finishOldest);
    size_t tail = (size_t)(plainSize % kBlock);
    if (result != CRYPT_OK || tail == 0)
        return stream.FinishWrites(result);
    // The last, partial block, at once.
    ChunkJob last;
    last.buffer = inPlace ? stream.buffers[0] : stream.AcquireBuffer(round);
    if (!last.buffer)
        return stream.FinishWrites(CRYPT_WRITE_FAILED);
    // The helper threads are done with the input: this thread reads alone.
    if (stream.input.ReadFrom(last.buffer, kBlock, kDataStart + fullBlocks * kBlock) != (int64_t)kBlock) {
        stream.ReleaseBuffer(last.buffer);
        return stream.FinishWrites(CRYPT_BAD_KEY);
    }
    last.blocks = 1;
    last.plainBytes = tail;
    start(last, round, fullBlocks * kBlock);
    return stream.FinishWrites(finishOldest());
}
