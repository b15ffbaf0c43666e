// The frame every reader entry point runs in: thread state, source checks,
// call depth, the reader's context with its result code, the report of that
// code, and an output block that is freed unless it is handed to the caller.
// Also the checks that keep a header's declared sizes from allocating more
// than the source could ever fill.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/core/PicAllocators.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicResult.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicException.h"
#include "imaging/readers/PicIO.h"

// The result of one reader call: the first failure is kept.
struct CPicReaderContext {
    int32_t result = PIC_ERR_OK;

    bool Fail(int32_t code) {
        if (result == PIC_ERR_OK) result = code;
        return false;
    }
    bool Ok() const { return result == PIC_ERR_OK; }
};

// Runs body(context) as the entry point `name`: without a thread state the
// failure value comes back unreported; a null source reports 5 and a closed
// one 38; otherwise the call depth is raised around body and the context's
// code is reported at the end. No exception leaves.
template <class Result, class Body>
Result PicReaderEntry(const char* name, Result failure, CPicIO* source, Body&& body) {
    if (GetThreadState() == nullptr) return failure;
    if (source == nullptr) {
        ReportError(PIC_ERR_BAD_PARAM, name, nullptr);
        return failure;
    }
    if (!source->IsOpen()) {
        ReportError(PIC_ERR_SOURCE_NOT_OPEN, name, nullptr);
        return failure;
    }
    CPicReaderContext context;
    Result result = failure;
    {
        CPicCallDepthGuard depth;
        try {
            result = body(context);
        } catch (const VovIredev::PicException& e) {
            context.Fail(e.code != 0 ? e.code : PIC_ERR_BAD_PARAM);
            result = failure;
        } catch (...) {
            context.Fail(PIC_ERR_OUT_OF_MEMORY);
            result = failure;
        }
    }
    ReportError(context.result, name, nullptr);
    return result;
}

// The output block of a read: allocated through the output allocator, freed
// when the reader fails before handing it over.
class CPicReaderOutput {
public:
    CPicReaderOutput() = default;
    ~CPicReaderOutput() {
        if (!m_handedOver) m_allocator.Free();
    }
    CPicReaderOutput(const CPicReaderOutput&) = delete;
    CPicReaderOutput& operator=(const CPicReaderOutput&) = delete;

    // A zero-filled block of bytes; code 1 when it is refused or not had.
    bool Allocate(CPicReaderContext& context, uint64_t bytes);
    uint8_t* Data() const { return static_cast<uint8_t*>(m_allocator.GetData()); }
    // The block for the caller, who frees it with GlobalFree.
    void* HandOver() {
        m_handedOver = true;
        return m_allocator.GetData();
    }

private:
    CPicOutBufAllocator m_allocator;
    bool m_handedOver = false;
};

// Largest number of pixels a reader allocates for one image; process-wide.
uint64_t PicGetPixelBudget();
void PicSetPixelBudget(uint64_t pixels);

// How much larger than its coded bytes an image can honestly be: the factor
// by which decoded bytes may exceed the bytes the source still holds.
enum PicExpansion : uint32_t {
    PIC_EXPAND_RAW = 4,        // uncompressed rows: at least a quarter must be there
    PIC_EXPAND_RLE = 1024,     // run-length codes (runs of 255, skips)
    PIC_EXPAND_DEFLATE = 1100, // deflate's limit is about 1032:1
    PIC_EXPAND_LZW = 1400,     // LZW strings grow by one byte per code
    PIC_EXPAND_JPEG = 1600,    // an 8x8 block in a few bits
};

// Checks a header's declared image before anything is allocated: each size
// is computed in 64 bits, width x height must stay within the pixel budget,
// outputBytes below the block limit and within what `codedBytesLeft` can
// fill at `expansion` (small images always pass). Fails the context with
// `code` for a size no source could fill and with 1 for a block too large.
bool PicCheckDeclaredImage(CPicReaderContext& context, uint64_t width, uint64_t height, uint64_t outputBytes,
                           uint64_t codedBytesLeft, uint32_t expansion, int32_t code);

// True when the progress callback (outermost call only) lets row `done` of `total` pass;
// otherwise the context fails with 14.
inline bool PicReportRow(CPicReaderContext& context, const CPicProgress& progress, uint32_t done, uint32_t total) {
    return progress.Report(done, total) || context.Fail(PIC_ERR_CANCELLED);
}

// Passes a reader's diagnostic line to the library's trace, which writes nothing.
void PicTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
