// Compressors: entry data passes through one on its way into and out of the
// archive. CDeflateCompressor stores (method 0) or deflates (method 8) with
// zlib's raw streams and keeps the CRC-32.
#pragma once

#include "framework/base/PkAutoBuffer.h"

#include <zlib.h>

#include <cstdint>
#include <map>
#include <vector>

class CPkCryptograph;
class CPkFileHeader;
class CPkStorage;

class CPkCompressor {
public:
    enum { kDefaultBufferSize = 131072 };

    class COptions {
    public:
        virtual int GetType() const = 0;
        virtual COptions* Clone() const = 0;
        virtual ~COptions() = default;
        uint32_t m_iBufferSize = kDefaultBufferSize;
    };

    // Options by compressor type; owns them.
    class COptionsMap : public std::map<int, COptions*> {
    public:
        COptionsMap() = default;
        COptionsMap(const COptionsMap&) = delete;
        COptionsMap& operator=(const COptionsMap&) = delete;
        ~COptionsMap();
        const COptions* Find(int type) const;
    };

    explicit CPkCompressor(CPkStorage& storage) : m_storage(storage) {}
    virtual bool CanHandleMethod(uint16_t method) const = 0;
    virtual void BeginCompression(int level, CPkFileHeader* header, CPkCryptograph* cipher);
    virtual void BeginDecompression(CPkFileHeader* header, CPkCryptograph* cipher);
    virtual void Compress(const void* bytes, uint32_t count) = 0;
    // Writes data compressed elsewhere in this compressor's method (for
    // deflate: a piece of one stream, whose last piece carries the final
    // bit), standing for `plainCount` bytes of CRC-32 `plainCrc`. An entry is
    // written either this way or through Compress, never both.
    virtual void AppendPrepared(const void* bytes, uint32_t count, uint32_t plainCount, uint32_t plainCrc);
    // Bytes produced into the buffer; 0 at the end of the entry.
    virtual uint32_t Decompress(void* buffer, uint32_t capacity) = 0;
    virtual void EndCompression(bool /*afterFailure*/) {}
    virtual void EndDecompression(bool /*afterFailure*/) {}
    virtual const COptions* GetOptions() const { return nullptr; }
    virtual void ApplyOptions(const COptions* /*options*/) {}
    virtual ~CPkCompressor() { m_pBuffer.Release(); }
    virtual int ToZipCause(int code) const { return code; }

    uint32_t m_uUncomprLeft = 0;
    uint32_t m_uComprLeft = 0;
    uint32_t m_uCrc32 = 0;

protected:
    void PrepareBuffer(CPkFileHeader* header, CPkCryptograph* cipher);
    // Encrypts and writes the output waiting in the work buffer.
    void FlushBuffer();
    [[noreturn]] void ThrowError(int code, bool convert) const;

    CPkStorage& m_storage;
    CPkAutoBuffer m_pBuffer;
    CPkCryptograph* m_pCryptograph = nullptr;
    CPkFileHeader* m_pFile = nullptr;
};

namespace PkArchiveLib {

class CBaseLibCompressor : public CPkCompressor {
public:
    class COptions : public CPkCompressor::COptions {
    public:
        bool m_bDetectLibMemoryLeaks = true;
    };

    explicit CBaseLibCompressor(CPkStorage& storage) : CPkCompressor(storage) {}
    ~CBaseLibCompressor() override;
    void BeginDecompression(CPkFileHeader* header, CPkCryptograph* cipher) override;
    virtual bool IsLibraryResultOK(int code) const = 0;

protected:
    void CheckResult(int code) const
    {
        if (!IsLibraryResultOK(code))
            ThrowError(code, true);
    }
    void EmptyAllocationList();
    static void* TrackedAlloc(void* opaque, unsigned items, unsigned size);
    static void TrackedFree(void* opaque, void* block);

    bool m_bDecompressionDone = false;
    std::vector<void*> m_list;
};

class CDeflateCompressor : public CBaseLibCompressor {
public:
    enum { typeDeflate = 1 };

    class COptions : public CBaseLibCompressor::COptions {
    public:
        int GetType() const override { return typeDeflate; }
        CPkCompressor::COptions* Clone() const override { return new COptions(*this); }
        bool m_bCheckLastBlock = true;
    };

    explicit CDeflateCompressor(CPkStorage& storage);
    bool CanHandleMethod(uint16_t method) const override { return method == 0 || method == 8; }
    void BeginCompression(int level, CPkFileHeader* header, CPkCryptograph* cipher) override;
    void BeginDecompression(CPkFileHeader* header, CPkCryptograph* cipher) override;
    void Compress(const void* bytes, uint32_t count) override;
    void AppendPrepared(const void* bytes, uint32_t count, uint32_t plainCount, uint32_t plainCrc) override;
    uint32_t Decompress(void* buffer, uint32_t capacity) override;
    void EndCompression(bool afterFailure) override;
    void EndDecompression(bool afterFailure) override;
    const CPkCompressor::COptions* GetOptions() const override { return &m_options; }
    void ApplyOptions(const CPkCompressor::COptions* options) override;
    int ToZipCause(int code) const override;
    bool IsLibraryResultOK(int code) const override { return code == Z_OK || code == Z_NEED_DICT; }

private:
    bool IsDeflated() const;
    void WriteOutputWhenFull();
    void CheckEntryLimits(uint64_t moreInput) const;
    void WriteThroughCipher(const void* bytes, uint32_t count);
    // The deflate stream starts with the first data (or the empty entry's
    // end): an entry whose data arrives prepared never needs one.
    void StartDeflateStream();

    COptions m_options;
    z_stream m_stream;
    int m_iLevel = -1;
    bool m_bStreamActive = false;
    bool m_bPrepared = false;  // the entry's data came through AppendPrepared
};

}  // namespace PkArchiveLib
