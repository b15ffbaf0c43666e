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

// The output block of a read: allocated through the output allocator, wiped
// and freed when the reader fails before handing it over.
class CPicReaderOutput {
public:
    CPicReaderOutput() = default;
    ~CPicReaderOutput();
    CPicReaderOutput(const CPicReaderOutput&) = delete;
    CPicReaderOutput& operator=(const CPicReaderOutput&) = delete;

    // A zero-filled block of bytes; code 1 when it is refused or not had.
    bool Allocate(CPicReaderContext& context, uint64_t bytes);
    // The same block unfilled, only for a reader that writes every byte or
    // zeroes what it leaves (rows a cut or cancelled picture never got): the
    // heap may hand back another picture's plain pixels.
    bool AllocateUnfilled(CPicReaderContext& context, uint64_t bytes);
    uint8_t* Data() const { return static_cast<uint8_t*>(m_allocator.GetData()); }
    // The block for the caller, who frees it with GlobalFree.
    void* HandOver() {
        m_handedOver = true;
        return m_allocator.GetData();
    }

private:
    CPicOutBufAllocator m_allocator;
    uint64_t m_size = 0;
    bool m_handedOver = false;
};

// Largest number of pixels a reader allocates for one image; process-wide.
uint64_t PicGetPixelBudget();
void PicSetPixelBudget(uint64_t pixels);

// How much larger than its coded bytes an image can honestly be: the factor
// by which decoded bytes may exceed the coded bytes the source still holds.
enum PicExpansion : uint32_t {
    PIC_EXPAND_RAW = 4,         // uncompressed rows: at least a quarter must be there
    PIC_EXPAND_RLE = 1024,      // run-length codes (runs of 255, skips)
    PIC_EXPAND_DEFLATE = 1100,  // deflate's limit is about 1032:1
    PIC_EXPAND_LZW = 1400,      // LZW strings grow by one byte per code
    PIC_EXPAND_JPEG = 1600,     // an 8x8 block in a few bits
};

// Checks a header's declared image before anything is allocated (every size
// in 64 bits): width and height not 0 and width x height within the pixel
// budget (else `code`), outputBytes below the block limit (else 1).
bool PicCheckDeclaredImage(CPicReaderContext& context, uint64_t width, uint64_t height, uint64_t outputBytes,
                           int32_t code);
// Checks that decodedBytes could come out of the codedBytesLeft that the
// source still holds at the format's expansion (small images always pass);
// fails the context with `code` for a size no source this short could fill.
bool PicCheckCodedBytes(CPicReaderContext& context, uint64_t decodedBytes, uint64_t codedBytesLeft,
                        uint32_t expansion, int32_t code);

// Resolution as a format's header states it (JFIF density, BMP pixels per
// metre, PNG pHYs, ...) with the format's own unit number.
struct PicResolutionInfo {
    double x;
    double y;
    int32_t unit;
};

// Reader flags shared by the formats.
enum PicReaderFlag : uint32_t {
    PIC_READ_DIB = 2,          // one packed device-independent bitmap
    PIC_READ_DIB_ROWS = 8,     // rows padded to 4 bytes (and B, G, R where the format says)
    PIC_READ_ORIENTATION = 0x40,
};

// Bytes of a row padded to a multiple of 4.
inline uint64_t PicPaddedRow(uint64_t rowBytes) { return (rowBytes + 3) & ~uint64_t(3); }

// True when the progress callback (outermost call only) lets row `done` of `total` pass;
// otherwise the context fails with 14.
inline bool PicReportRow(CPicReaderContext& context, const CPicProgress& progress, uint32_t done, uint32_t total) {
    return progress.Report(done, total) || context.Fail(PIC_ERR_CANCELLED);
}

// Passes a reader's diagnostic line to the library's trace, which writes nothing.
void PicTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Wipes a global block that held pixels or source bytes, then frees it (null is ignored).
void PicFreeWipedGlobal(void* block);
