// CPkEntryInflater: one stored or deflated, unencrypted entry read on a worker
// thread from the archive file's own read handle at a known data offset,
// inflated, counted and checked against its CRC; written into a temporary
// extraction file when one is given (which then also receives the entry's
// times and attributes through its handle). Given a free target, the file is
// created at the target itself and stays there once complete and checked
// (unless the work was cancelled); the driving thread then only reports it.
// When something took that name meanwhile nothing is read and the driving
// thread decides in the entry's turn. It touches no archive state.
#pragma once

#include "framework/base/CException.h"
#include "framework/base/CString.h"
#include "zip/PkExtractFile.h"
#include "zip/PkScratch.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

struct ZipEntryFacts {
    uint16_t method = 0;  // 0 stored, 8 deflated
    uint32_t comprSize = 0;
    uint32_t uncomprSize = 0;
    uint32_t crc = 0;
    int64_t modification = 0, creation = 0, access = 0;
    DWORD attributes = 0;
};

// What the entries of one batch reuse: the read and write buffers and an inflate stream.
struct CPkInflateScratch {
    CPkBytes input, output;
    CPkZStream stream;
};

class CPkEntryInflater {
public:
    // `archive` is shared between jobs: reads name their offsets. Without
    // `extract` the entry is only tested. `freeTarget` (may be empty) is
    // where the file goes when nothing stands there.
    CPkEntryInflater(HANDLE archive, uint64_t dataOffset, const ZipEntryFacts& facts, bool extract,
                     const CString& outputFolder, const CString& freeTarget, uint32_t bufferSize);
    ~CPkEntryInflater();
    CPkEntryInflater(const CPkEntryInflater&) = delete;
    CPkEntryInflater& operator=(const CPkEntryInflater&) = delete;

    void Run(const std::atomic<bool>& cancelled, CPkShelf<CPkInflateScratch>& scratch);

    // Results, read by the driving thread after the job ran.
    int m_cause = 0;                // 0 sound, else the zip cause of the fault
    CException* m_error = nullptr;  // a file error of the output, owned here until taken
    bool m_timesSet = false;
    bool m_placed = false;          // the file stands complete at the free target
    bool m_targetTaken = false;     // the free target was not free any more: nothing was done
    CPkExtractFile m_output;        // the written file, to be renamed over the target unless placed

private:
    bool ReadAt(uint64_t offset, char* into, uint32_t count);
    void Inflate(const std::atomic<bool>& cancelled, CPkInflateScratch& scratch);
    void Copy(const std::atomic<bool>& cancelled, CPkInflateScratch& scratch);
    void Produce(const char* bytes, uint32_t count);

    HANDLE m_archive;
    uint64_t m_dataOffset;
    ZipEntryFacts m_facts;
    bool m_extract;
    CString m_outputFolder;
    CString m_freeTarget;
    uint32_t m_bufferSize;
    uint32_t m_crc = 0;
    uint64_t m_produced = 0;
};
