#include "zip/PkCompressor.h"

#include "zip/PkCryptograph.h"
#include "zip/PkException.h"
#include "zip/PkFileHeader.h"
#include "zip/PkStorage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
const uint64_t kMaxEntrySize = 0xFFFFFFFEull;  // 0xFFFFFFFF would mean "in a Zip64 record"
}

CPkCompressor::COptionsMap::~COptionsMap()
{
    for (auto& entry : *this)
        delete entry.second;
}

const CPkCompressor::COptions* CPkCompressor::COptionsMap::Find(int type) const
{
    auto it = find(type);
    return it == end() ? nullptr : it->second;
}

void CPkCompressor::PrepareBuffer(CPkFileHeader* header, CPkCryptograph* cipher)
{
    const COptions* options = GetOptions();
    uint32_t size = options && options->m_iBufferSize ? options->m_iBufferSize : (uint32_t)kDefaultBufferSize;
    if (m_pBuffer.GetSize() != size)
        m_pBuffer.Allocate(size, false);
    m_pFile = header;
    m_pCryptograph = cipher;
}

void CPkCompressor::BeginCompression(int, CPkFileHeader* header, CPkCryptograph* cipher)
{
    PrepareBuffer(header, cipher);
    m_uComprLeft = 0;
}

void CPkCompressor::BeginDecompression(CPkFileHeader* header, CPkCryptograph* cipher)
{
    PrepareBuffer(header, cipher);
    m_uComprLeft = header->m_uComprSize;
    if (header->m_uEncryptionMethod == 0)
        m_uComprLeft = m_uComprLeft >= CPkFileHeader::kEncryptionHeaderSize
                           ? m_uComprLeft - CPkFileHeader::kEncryptionHeaderSize
                           : 0;
    m_uUncomprLeft = header->m_uUncomprSize;
    m_uCrc32 = 0;
}

void CPkCompressor::AppendPrepared(const void*, uint32_t, uint32_t, uint32_t)
{
    ThrowError(ZipCauseInternal, false);
}

void CPkCompressor::FlushBuffer()
{
    if (m_uComprLeft == 0)
        return;
    if (m_pCryptograph)
        m_pCryptograph->Encrypt(m_pBuffer.GetBuffer(), m_uComprLeft);
    m_storage.Write(m_pBuffer.GetBuffer(), m_uComprLeft, false);
    m_uComprLeft = 0;
}

void CPkCompressor::ThrowError(int code, bool convert) const
{
    int cause = convert ? ToZipCause(code) : code;
    if (m_storage.IsOpen())
        m_storage.ThrowError(cause);
    ThrowZipException(cause);
}

namespace PkArchiveLib {

CBaseLibCompressor::~CBaseLibCompressor()
{
    EmptyAllocationList();
    m_pBuffer.Release();
}

void CBaseLibCompressor::BeginDecompression(CPkFileHeader* header, CPkCryptograph* cipher)
{
    CPkCompressor::BeginDecompression(header, cipher);
    m_bDecompressionDone = false;
}

void CBaseLibCompressor::EmptyAllocationList()
{
    for (void* block : m_list)
        free(block);
    m_list.clear();
}

void* CBaseLibCompressor::TrackedAlloc(void* opaque, unsigned items, unsigned size)
{
    void* block = malloc((size_t)items * size);
    if (block && opaque)
        static_cast<std::vector<void*>*>(opaque)->push_back(block);
    return block;
}

void CBaseLibCompressor::TrackedFree(void* opaque, void* block)
{
    if (opaque) {
        auto* list = static_cast<std::vector<void*>*>(opaque);
        auto it = std::find(list->begin(), list->end(), block);
        if (it != list->end())
            list->erase(it);
    }
    free(block);
}

CDeflateCompressor::CDeflateCompressor(CPkStorage& storage) : CBaseLibCompressor(storage)
{
    memset(&m_stream, 0, sizeof m_stream);
    m_stream.zalloc = TrackedAlloc;
    m_stream.zfree = TrackedFree;
}

bool CDeflateCompressor::IsDeflated() const { return m_pFile && m_pFile->m_uMethod == 8; }

void CDeflateCompressor::ApplyOptions(const CPkCompressor::COptions* options)
{
    const COptions* own = dynamic_cast<const COptions*>(options);
    if (!own)
        return;
    m_options.m_iBufferSize = own->m_iBufferSize;
    m_options.m_bDetectLibMemoryLeaks = own->m_bDetectLibMemoryLeaks;
    m_options.m_bCheckLastBlock = own->m_bCheckLastBlock;
}

int CDeflateCompressor::ToZipCause(int code) const
{
    switch (code) {
    case Z_STREAM_END: return ZipCauseStreamEnd;
    case Z_NEED_DICT: return ZipCauseNeedDict;
    case Z_ERRNO: return ZipCauseErrNo;
    case Z_STREAM_ERROR: return ZipCauseStreamError;
    case Z_DATA_ERROR: return ZipCauseDataError;
    case Z_MEM_ERROR: return ZipCauseMemError;
    case Z_BUF_ERROR: return ZipCauseBufError;
    case Z_VERSION_ERROR: return ZipCauseVersionError;
    default: return ZipCauseGeneric;
    }
}

void CDeflateCompressor::BeginCompression(int level, CPkFileHeader* header, CPkCryptograph* cipher)
{
    CPkCompressor::BeginCompression(level, header, cipher);
    m_stream.next_in = nullptr;
    m_stream.avail_in = 0;
    m_stream.next_out = (Bytef*)m_pBuffer.GetBuffer();
    m_stream.avail_out = m_pBuffer.GetSize();
    m_stream.total_in = 0;
    m_stream.total_out = 0;
    m_bPrepared = false;
    m_iLevel = level;
}

void CDeflateCompressor::StartDeflateStream()
{
    if (m_bStreamActive || !IsDeflated())
        return;
    m_stream.opaque = m_options.m_bDetectLibMemoryLeaks ? &m_list : nullptr;
    int result = deflateInit2(&m_stream, m_iLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    CheckResult(result);
    m_bStreamActive = true;
}

void CDeflateCompressor::CheckEntryLimits(uint64_t moreInput) const
{
    // Sizes are 32-bit fields: refuse before they would overflow.
    if ((uint64_t)m_stream.total_in + moreInput > kMaxEntrySize ||
        (uint64_t)m_pFile->m_uComprSize + m_stream.total_out > kMaxEntrySize)
        ThrowError(ZipCauseTooBigSize, false);
}

void CDeflateCompressor::WriteOutputWhenFull()
{
    if (m_stream.avail_out > 0)
        return;
    FlushBuffer();
    m_stream.next_out = (Bytef*)m_pBuffer.GetBuffer();
    m_stream.avail_out = m_pBuffer.GetSize();
}

void CDeflateCompressor::Compress(const void* bytes, uint32_t count)
{
    CheckEntryLimits(count);
    m_pFile->m_uCrc32 = (uint32_t)crc32(m_pFile->m_uCrc32, (const Bytef*)bytes, count);
    if (IsDeflated()) {
        StartDeflateStream();
        m_stream.next_in = (Bytef*)bytes;
        m_stream.avail_in = count;
        while (m_stream.avail_in > 0) {
            WriteOutputWhenFull();
            uLong before = m_stream.total_out;
            int result = deflate(&m_stream, Z_NO_FLUSH);
            CheckResult(result);
            m_uComprLeft += (uint32_t)(m_stream.total_out - before);
            CheckEntryLimits(0);
        }
        return;
    }
    if (count == 0)
        return;
    if (m_pCryptograph) {
        if (m_pBuffer.GetSize() < count)
            m_pBuffer.Allocate(count, false);
        memcpy(m_pBuffer.GetBuffer(), bytes, count);
        m_pCryptograph->Encrypt(m_pBuffer.GetBuffer(), count);
        m_storage.Write(m_pBuffer.GetBuffer(), count, false);
    } else {
        m_storage.Write(bytes, count, false);
    }
    m_stream.total_in += count;
    m_stream.total_out += count;
}

void CDeflateCompressor::WriteThroughCipher(const void* bytes, uint32_t count)
{
    if (!m_pCryptograph) {
        m_storage.Write(bytes, count, false);
        return;
    }
    const char* from = (const char*)bytes;
    while (count > 0) {
        uint32_t n = std::min<uint32_t>(count, m_pBuffer.GetSize());
        memcpy(m_pBuffer.GetBuffer(), from, n);
        m_pCryptograph->Encrypt(m_pBuffer.GetBuffer(), n);
        m_storage.Write(m_pBuffer.GetBuffer(), n, false);
        from += n;
        count -= n;
    }
}

void CDeflateCompressor::AppendPrepared(const void* bytes, uint32_t count, uint32_t plainCount, uint32_t plainCrc)
{
    if ((uint64_t)m_stream.total_in + plainCount > kMaxEntrySize ||
        (uint64_t)m_pFile->m_uComprSize + m_stream.total_out + count > kMaxEntrySize)
        ThrowError(ZipCauseTooBigSize, false);
    m_bPrepared = true;
    m_pFile->m_uCrc32 = (uint32_t)crc32_combine(m_pFile->m_uCrc32, plainCrc, (z_off_t)plainCount);
    if (count > 0)
        WriteThroughCipher(bytes, count);
    m_stream.total_in += plainCount;
    m_stream.total_out += count;
}

void CDeflateCompressor::EndCompression(bool afterFailure)
{
    m_stream.next_in = nullptr;
    m_stream.avail_in = 0;
    if (!afterFailure && m_bPrepared) {
        // The stream was made elsewhere and is complete.
        if (m_bStreamActive)
            deflateEnd(&m_stream);
        m_bStreamActive = false;
        m_pFile->m_uComprSize += (uint32_t)m_stream.total_out;
        m_pFile->m_uUncomprSize = (uint32_t)m_stream.total_in;
    } else if (!afterFailure) {
        if (IsDeflated()) {
            StartDeflateStream();
            int result;
            do {
                WriteOutputWhenFull();
                uLong before = m_stream.total_out;
                result = deflate(&m_stream, Z_FINISH);
                m_uComprLeft += (uint32_t)(m_stream.total_out - before);
                CheckEntryLimits(0);
            } while (result == Z_OK);
            if (result != Z_STREAM_END)
                CheckResult(result);
            FlushBuffer();
            m_bStreamActive = false;
            CheckResult(deflateEnd(&m_stream));
        }
        m_pFile->m_uComprSize += (uint32_t)m_stream.total_out;
        m_pFile->m_uUncomprSize = (uint32_t)m_stream.total_in;
    } else if (m_bStreamActive) {
        deflateEnd(&m_stream);  // its state would otherwise be lost with the entry
    }
    m_bStreamActive = false;
    EmptyAllocationList();
    m_pBuffer.Release();
}

void CDeflateCompressor::BeginDecompression(CPkFileHeader* header, CPkCryptograph* cipher)
{
    CBaseLibCompressor::BeginDecompression(header, cipher);
    if (IsDeflated()) {
        m_stream.opaque = m_options.m_bDetectLibMemoryLeaks ? &m_list : nullptr;
        m_stream.next_in = nullptr;
        m_stream.avail_in = 0;
        int result = inflateInit2(&m_stream, -MAX_WBITS);
        CheckResult(result);
        m_bStreamActive = true;
    }
    m_stream.total_out = 0;
    m_stream.avail_in = 0;
}

uint32_t CDeflateCompressor::Decompress(void* buffer, uint32_t capacity)
{
    if (m_bDecompressionDone)
        return 0;
    if (!IsDeflated()) {
        uint32_t n = std::min(capacity, m_uComprLeft);
        if (n == 0)
            return 0;
        m_storage.Read(buffer, n, false);
        if (m_pCryptograph)
            m_pCryptograph->Decrypt((char*)buffer, n);
        m_uCrc32 = (uint32_t)crc32(m_uCrc32, (const Bytef*)buffer, n);
        m_uComprLeft -= n;
        m_uUncomprLeft = m_uUncomprLeft > n ? m_uUncomprLeft - n : 0;
        m_stream.total_out += n;
        return n;
    }

    uint32_t room = std::min(capacity, m_uUncomprLeft);
    bool draining = room == 0 && m_uComprLeft > 0;
    m_stream.next_out = (Bytef*)buffer;
    m_stream.avail_out = room;
    uint32_t produced = 0;
    while (m_stream.avail_out > 0 || (draining && (m_uComprLeft > 0 || m_stream.avail_in > 0))) {
        if (m_stream.avail_in == 0 && m_uComprLeft > 0) {
            uint32_t n = std::min<uint32_t>(m_uComprLeft, m_pBuffer.GetSize());
            m_storage.Read(m_pBuffer.GetBuffer(), n, false);
            if (m_pCryptograph)
                m_pCryptograph->Decrypt(m_pBuffer.GetBuffer(), n);
            m_uComprLeft -= n;
            m_stream.next_in = (Bytef*)m_pBuffer.GetBuffer();
            m_stream.avail_in = n;
        }
        Bytef* start = m_stream.next_out;
        int result = inflate(&m_stream, Z_NO_FLUSH);
        uint32_t got = (uint32_t)(m_stream.next_out - start);
        if (got) {
            m_uCrc32 = (uint32_t)crc32(m_uCrc32, start, got);
            m_uUncomprLeft -= got;
            produced += got;
        }
        if (result == Z_STREAM_END) {
            m_bDecompressionDone = true;
            return produced;
        }
        CheckResult(result);
    }
    if (produced == 0 && m_options.m_bCheckLastBlock && capacity > 0) {
        int result = inflate(&m_stream, Z_NO_FLUSH);
        if (result != Z_STREAM_END)
            ThrowError(ZipCauseBadZipFile, false);
        m_bDecompressionDone = true;
    }
    return produced;
}

void CDeflateCompressor::EndDecompression(bool afterFailure)
{
    if (!afterFailure && IsDeflated() && m_bStreamActive)
        inflateEnd(&m_stream);
    m_bStreamActive = false;
    EmptyAllocationList();
    m_pBuffer.Release();
}

}  // namespace PkArchiveLib
