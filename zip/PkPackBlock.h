// CPkPackBlock: one block of a file on its way into an archive, prepared on a
// worker thread. A large file is cut into blocks of kBlockSize; each block is
// deflated on its own, primed with the 32 KiB before it as its dictionary, and
// ends on a byte boundary (a sync flush), so that the blocks written one after
// the other form a single deflate stream whose last block alone is final.
// A stored block is the file's bytes as they are. The CRC-32 of the block's
// bytes is combined by the writer.
#pragma once

#include "framework/base/CString.h"
#include "zip/PkScratch.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

// What the blocks of one batch reuse: byte buffers and deflate streams.
struct CPkPackScratch {
    CPkShelf<CPkBytes> bytes;
    CPkShelf<CPkZStream> streams;
};

class CPkPackBlock {
public:
    enum { kBlockSize = 1 << 20, kDictionarySize = 32768 };
    enum Outcome { ocPending, ocDone, ocUnreadable, ocChanged, ocCompressionFailed, ocCancelled };

    CPkPackBlock(CPkPackScratch& scratch, const CString& path, uint64_t offset, uint32_t length, int level,
                 bool last)
        : m_path(path), m_offset(offset), m_length(length), m_level(level), m_last(last), m_scratch(scratch)
    {
    }
    // The output's buffer goes back to the scratch shelf.
    ~CPkPackBlock() { m_scratch.bytes.Give(std::move(m_output)); }
    CPkPackBlock(const CPkPackBlock&) = delete;
    CPkPackBlock& operator=(const CPkPackBlock&) = delete;

    // Reads, deflates (level != 0) and checksums the block; on a worker thread.
    void Run(const std::atomic<bool>& cancelled);
    const char* OutputData() const { return m_output ? m_output->Data() : nullptr; }
    uint32_t OutputSize() const { return m_output ? (uint32_t)m_output->Size() : 0; }

    const CString m_path;
    const uint64_t m_offset;
    const uint32_t m_length;
    const int m_level;  // 0 stored, -1 or 1-9 deflated
    const bool m_last;

    // Results, read by the writer after the job ran.
    Outcome m_outcome = ocPending;
    uint32_t m_plainCount = 0;   // the file's bytes the output stands for
    uint32_t m_crc = 0;

private:
    bool ReadRange(HANDLE file, uint64_t from, uint32_t count, CPkBytes& into);
    bool Deflate(const char* dictionary, uint32_t dictionaryLength, const char* bytes, uint32_t count);

    CPkPackScratch& m_scratch;
    std::unique_ptr<CPkBytes> m_output;  // the bytes to write
};
