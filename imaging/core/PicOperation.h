// The call frame of the library's entry points and the operation object that
// carries an operation's result code.
//
// An entry point:
//   BOOL WINAPI pic_Something(...) {
//       return PicEntryPoint("pic_Something", FALSE, [&](CPicOperation& op) {
//           return op.Something(...);
//       });
//   }
// An operation method checks its arguments, holds a CPicCallDepthGuard while
// it works, reports rows through CPicProgress and leaves its code in status.
#pragma once

#include <windows.h>

#include <cstdint>
#include <new>

#include "imaging/core/PicResult.h"
#include "imaging/core/PicThreadState.h"

// Raises the calling thread's call depth for its lifetime.
class CPicCallDepthGuard {
public:
    CPicCallDepthGuard() { IncrementCallDepth(); }
    ~CPicCallDepthGuard() { DecrementCallDepth(); }
    CPicCallDepthGuard(const CPicCallDepthGuard&) = delete;
    CPicCallDepthGuard& operator=(const CPicCallDepthGuard&) = delete;
};

// Row-by-row progress of one operation: only the outermost operation on a
// thread (call depth 1) calls the thread's progress callback.
class CPicProgress {
public:
    CPicProgress();
    // Reports that row (or channel) `done` of `total` is finished; false when
    // the callback asked to stop (the operation then sets PIC_ERR_CANCELLED).
    bool Report(uint32_t done, uint32_t total) const {
        return !m_enabled || ReportToCallback(done, total);
    }
    // Whether a callback was installed when the operation began.
    bool Enabled() const { return m_enabled; }

private:
    bool ReportToCallback(uint32_t done, uint32_t total) const;
    CPicThreadState* m_state;
    bool m_enabled;
};


class CPicOperation {
public:
    int32_t status = 0;

    // ---- stand-alone SIMD row kernels (SSE4.1; see PicRowKernels.h for the plain forms) ----
    bool BlendColorMaskRowSSE41(uint8_t* dst, const uint8_t* mask, uint32_t count, uint32_t color);
    bool BlendRGBAOverRGBRowSSE41(const uint8_t* src, uint8_t* dst, uint32_t count);
    bool SplitRGBARowSSSE3(const uint8_t* src, uint8_t* rgb, uint8_t* alpha, uint32_t count);
    bool SwapRBRowSSE41(uint8_t* pixels, uint32_t count);
    bool CopySwapRBRowSSE41(const uint8_t* src, uint8_t* dst, uint32_t count);

    // ---- palette and depth conversions ----
    BOOL Convert8BitToRGB(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height,
                          uint32_t srcStride, uint32_t dstStride, uint32_t paletteCount,
                          const RGBQUAD* palette, uint32_t flags);
    BOOL ConvertRGBToRGBA(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                          uint32_t dstStride, uint8_t alpha, uint8_t* dst);
    BOOL SplitRGBAToRGBPlusA(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                             uint8_t* rgb, uint32_t rgbStride, uint8_t* alpha, uint32_t alphaStride,
                             uint32_t flags);
    BOOL UnpackBufferTo8Bit(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                            uint32_t bits, uint8_t* dst, uint32_t dstStride);
    BOOL UnpackRowTo8Bit(const uint8_t* src, uint32_t width, uint32_t bits, uint8_t* dst);
    BOOL PackRowsFrom8Bit(const uint8_t* src, uint32_t width, uint32_t rows, uint32_t srcStride,
                          uint8_t* dst, uint32_t bits, bool eachRow, uint32_t dstStride);
    BOOL Convert1BitToRGB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride,
                          const RGBQUAD* palette, uint8_t* dst, uint32_t dstStride);
    BOOL Convert16To8Bit(const uint16_t* src, uint32_t width, uint32_t height, uint32_t channels,
                         uint32_t srcStride, uint8_t* dst, uint32_t dstStride, uint32_t flags);

    // ---- tables, histograms, copies ----
    BOOL ApplyChannelLUTs(uint8_t* data, uint32_t width, uint32_t height, uint32_t channels,
                          uint32_t stride, const uint8_t* const* tables);
    BOOL ApplyLUTToChannel(uint8_t* data, uint32_t width, uint32_t height, uint32_t channels,
                           uint32_t stride, const uint8_t* table, uint32_t channel);
    BOOL GetChannelHistograms(const uint8_t* data, uint32_t width, uint32_t height, uint32_t channels,
                              uint32_t stride, uint32_t* const* histograms);
    BOOL CopyRows(const uint8_t* src, uint32_t srcStride, uint32_t rows, uint32_t dstStride, uint8_t* dst);
    BOOL CropImage(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height,
                   uint32_t bytesPerPixel, uint32_t x, uint32_t y, uint32_t w, uint32_t h,
                   uint32_t srcStride, uint32_t dstStride);
    BOOL Crop1Bit(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height, uint32_t x,
                  uint32_t y, uint32_t w, uint32_t h, uint32_t srcStride, uint32_t dstStride);

    // ---- solid fills (x, y, w, h: the rectangle, cut to the image; a negative
    // size gives 5, an empty or outside rectangle succeeds without drawing) ----
    BOOL FillSolidRect1Bit(uint8_t* data, uint32_t width, uint32_t height, uint32_t stride, int64_t x, int64_t y,
                           int64_t w, int64_t h, uint32_t value);
    BOOL FillSolidRect8Bit(uint8_t* data, uint32_t width, uint32_t height, uint32_t stride, int64_t x, int64_t y,
                           int64_t w, int64_t h, uint32_t index);
    // colour 0xAABBGGRR written as R, G, B (, A); flags bit 0 exchanges red and blue.
    BOOL FillSolidRectRGB(uint8_t* data, uint32_t width, uint32_t height, uint32_t stride, int64_t x, int64_t y,
                          int64_t w, int64_t h, uint32_t colour, uint32_t channels, uint32_t flags);

    // ---- turns (PicRotate.h gives the kinds; these pass the operation's status) ----
    BOOL RotateUChar(const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcStride, uint8_t* dst,
                     uint32_t dstStride, uint32_t kind, uint32_t pixelSize);
    BOOL RotateUShort(const uint16_t* src, uint32_t width, uint32_t height, uint32_t srcStride, uint16_t* dst,
                      uint32_t dstStride, uint32_t kind, uint32_t pixelSize);
    BOOL RotateFloat(const float* src, uint32_t width, uint32_t height, uint32_t srcStride, float* dst,
                     uint32_t dstStride, uint32_t kind, uint32_t pixelSize);
    BOOL RotateUCharInPlace(uint8_t* data, uint32_t width, uint32_t height, uint32_t kind, uint32_t pixelSize);
    BOOL RotateUShortInPlace(uint16_t* data, uint32_t width, uint32_t height, uint32_t kind, uint32_t pixelSize);
    BOOL RotateFloatInPlace(float* data, uint32_t width, uint32_t height, uint32_t kind, uint32_t pixelSize);
    // 1-bit turn: mode & 3 is 0 clockwise, 1 half, 2 counter-clockwise, 3 nothing (FALSE, status unchanged).
    BOOL Rotate1Bit(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height, uint32_t mode,
                    uint32_t srcStride, uint32_t dstStride);

    // ---- gray to 1 bit (PicThresholdLevels.h gives the modes): a 1 bit is a pixel at or above
    //      T = level + 1 (at most 255); with computeOnly, *outThreshold receives T and nothing is
    //      converted. *outThreshold is 0 otherwise. ----
    bool ThresholdTo1Bit(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height, uint32_t srcStride,
                         uint32_t dstStride, uint32_t mode, uint32_t threshold, uint32_t reserved, bool computeOnly,
                         uint8_t* outThreshold);

    // counts[0] = 0 pixels, counts[1] = 1 pixels of a 1-bit image; bits past the width are not counted.
    BOOL GetOneBitHistogram(const uint8_t* data, uint32_t width, uint32_t height, uint32_t stride, uint32_t* counts);

    // ---- flips in place ----
    BOOL FlipVerticalInPlace(uint8_t* data, uint32_t stride, uint32_t height);
    BOOL Mirror1BitInPlace(uint8_t* data, uint32_t width, uint32_t height, uint32_t stride);

    // ---- resizing: `PicResizeMethod` numbers; strides count elements of the channel type,
    //      bytes for the 1-bit and palettised forms ----
    bool ResizeImageUChar(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst,
                          uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                          uint32_t dstStride, uint32_t method, uint32_t flags);
    bool ResizeImageUShort(const uint16_t* src, uint32_t srcWidth, uint32_t srcHeight, uint16_t* dst,
                           uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                           uint32_t dstStride, uint32_t method, uint32_t flags);
    bool ResizeImageFloat(const float* src, uint32_t srcWidth, uint32_t srcHeight, float* dst, uint32_t channels,
                          uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride, uint32_t dstStride,
                          uint32_t method, uint32_t flags);
    bool ResizeImageDouble(const double* src, uint32_t srcWidth, uint32_t srcHeight, double* dst,
                           uint32_t channels, uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride,
                           uint32_t dstStride, uint32_t method, uint32_t flags);
    bool ResizeImage1Bit(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst,
                         uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride, uint32_t dstStride,
                         uint32_t threshold, uint32_t method, uint32_t flags);
    bool ResizeImage1BitToGray(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst,
                               uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride, uint32_t dstStride,
                               uint32_t method, uint32_t flags);
    bool ResizeImage8BitPalette(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint8_t* dst,
                                uint32_t dstWidth, uint32_t dstHeight, uint32_t srcStride, uint32_t dstStride,
                                const RGBQUAD* palette, uint32_t paletteCount, uint32_t method, uint32_t flags);

    // Bilinear forms for packed 1-bit (most significant bit first) and palettised sources.
    bool ResizeOneBitBilinear(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint32_t srcStride,
                              uint8_t* dst, uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride,
                              uint32_t flags);
    // Flag bit 0: a set bit reads as 255 (otherwise as 0).
    bool ResizeOneBitToGrayBilinear(const uint8_t* src, uint32_t srcWidth, uint32_t srcHeight, uint32_t srcStride,
                                    uint8_t* dst, uint32_t dstWidth, uint32_t dstHeight, uint32_t dstStride,
                                    uint32_t flags);
    bool ResizePalettedBilinear(uint32_t dstWidth, uint32_t dstHeight, uint32_t srcWidth, uint32_t srcHeight,
                                const uint8_t* src, uint32_t paletteCount, const RGBQUAD* palette, uint8_t* dst,
                                uint32_t srcStride, uint32_t dstStride);

    // ---- packed DIBs (header, colour table, bottom-up rows padded to 4 bytes). Each
    //      builds into `block` when given, else into new GlobalAlloc memory the caller
    //      frees with GlobalFree; null with the status on failure. Sizes above the
    //      int32 range give 5, blocks at the library's size limit 1. ----
    void* MakeMonoDIB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, const RGBQUAD* colours,
                      void* block);
    // bits 1..8 and at most 1 << bits palette entries.
    void* MakePalettedDIB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                          uint32_t paletteCount, uint32_t bits, const RGBQUAD* palette, void* block);
    // flags bit 1: the source rows are already bottom-up; bit 0: rows copied as
    // they are (no red/blue exchange), at most one DIB row of each.
    void* MakeRGBDIB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, void* block,
                     uint32_t flags);
    void* MakeRGBADIB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, void* block);
    // The rows of MakeRGBDIB (same flags) into DIB rows padded to 4 bytes.
    BOOL ConvertRGBRowsToDIB(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, uint8_t* rows,
                             uint32_t flags);
    // A DIB (bottom-up or top-down, uncompressed or bit fields; run-length gives 17)
    // to top-down red, green, blue rows of 3 x width bytes.
    BOOL DIBToRGB(const void* dib, uint8_t* dst);

    // ---- device bitmaps (PicDeviceBitmaps.cpp). With the thread's DIB-section
    //      switch set they are DIB sections, else device-dependent bitmaps. ----
    // Without a DC: a memory DC for a 1-bit DIB, the screen DC otherwise. A
    // palette is selected and realised while the bitmap is made.
    HBITMAP DIBToHBITMAP(const void* dib, HPALETTE palette, HDC dc);
    // flags as MakeRGBDIB's (DIB sections take the rows in the default order).
    HBITMAP RGBToHBITMAP(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, HPALETTE palette,
                         uint32_t flags, HDC dc);
    // The same as a section whatever the thread's switch says: a bitmap kept
    // to draw again, whose pixels can be wiped before it is deleted.
    HBITMAP RGBToDIBSection(const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, HPALETTE palette,
                            HDC dc);
    // A new packed DIB of the bitmap (GlobalFree it); compression BI_BITFIELDS gives 17.
    void* HBITMAPToDIB(HBITMAP bitmap, uint32_t compression, HPALETTE palette);
    // The bitmap as top-down RGB rows of 3 x width bytes.
    BOOL HBITMAPToRGB(HBITMAP bitmap, HDC dc, HPALETTE palette, uint8_t* dst);
    // The DC's area at (x, y) as top-down RGB rows.
    BOOL CaptureDCToRGB(HDC dc, int32_t x, int32_t y, uint32_t width, uint32_t height, uint8_t* dst);
    // Copies width x height from (srcX, srcY) of the bitmap to (x, y) of the DC.
    BOOL BlitBitmap(HDC dc, HBITMAP bitmap, int32_t x, int32_t y, int32_t srcX, int32_t srcY, uint32_t width,
                    uint32_t height, HPALETTE palette);

    // ---- drawing into a DC (PicDraw.cpp): 1:1 through a device bitmap, or stretched
    //      with StretchDIBits (the DC's stretch mode is the caller's) ----
    BOOL Draw1Bit(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                  const RGBQUAD* palette, int32_t x, int32_t y, HPALETTE hpalette);
    BOOL Draw8Bit(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                  const RGBQUAD* palette, int32_t x, int32_t y, HPALETTE hpalette);
    BOOL DrawRGB(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, int32_t x, int32_t y,
                 HPALETTE hpalette);
    // The RGBA source over what the DC shows at (x, y) (overlay mode 0, opacity 1, the caller's flags).
    BOOL DrawRGBA(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, int32_t x, int32_t y,
                  HPALETTE hpalette, uint32_t flags);
    BOOL StretchDraw1Bit(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                         const RGBQUAD* palette, int32_t x, int32_t y, int32_t dstWidth, int32_t dstHeight);
    BOOL StretchDraw8Bit(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride,
                         const RGBQUAD* palette, int32_t x, int32_t y, int32_t dstWidth, int32_t dstHeight);
    BOOL StretchDrawRGB(HDC dc, const uint8_t* src, uint32_t width, uint32_t height, uint32_t stride, int32_t x,
                        int32_t y, int32_t dstWidth, int32_t dstHeight);

    // Size of a packed DIB block; 0 with status 5 for another depth, 0 with
    // status 1 when the block would reach the library's size limit.
    uint32_t CalcDIBSize(uint32_t width, uint32_t height, uint32_t bits, uint32_t paletteCount);

private:
    BOOL StretchDIB(HDC dc, void* dib, uint32_t height, int32_t x, int32_t y, int32_t dstWidth, int32_t dstHeight);
    BOOL BlitNewBitmap(HDC dc, HBITMAP bitmap, int32_t x, int32_t y, uint32_t width, uint32_t height,
                       HPALETTE hpalette);
    bool ThresholdAdaptive(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t height, uint32_t srcStride,
                           uint32_t dstStride, uint32_t threshold);
    bool Fail(int32_t code) {
        status = code;
        return false;
    }
    bool Cancelled() { return Fail(PIC_ERR_CANCELLED); }
};

// Sets the operation's status to 0 and raises the call depth (the caller lowers it).
inline void BeginOperation(CPicOperation& op) {
    op.status = 0;
    IncrementCallDepth();
}

// Deletes a bitmap the operations made; a section's pixels (a copy of a
// picture that may be a decrypted one) are wiped first.
void PicDeleteWipedBitmap(HBITMAP bitmap);

// Runs body(op) inside the entry-point frame: without a thread state the
// failure value comes back and nothing is reported; otherwise the operation's
// status is reported under name. No exception leaves the frame.
template <class Result, class Body>
Result PicEntryPoint(const char* name, Result failure, Body&& body) {
    if (GetThreadState() == nullptr) return failure;
    CPicOperation op;
    Result result = failure;
    try {
        result = body(op);
    } catch (...) {
        op.status = PIC_ERR_OUT_OF_MEMORY;  // std::bad_alloc is the only one expected
        result = failure;
    }
    ReportError(op.status, name, nullptr);
    return result;
}
