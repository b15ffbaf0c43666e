// Colour to gray, split into row bands on the pool for tall images.
#include "imaging/core/PicBandJobs.h"
#include "imaging/core/PicImgUtil.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"

namespace {

using GrayBand = CPicImgUtilT<unsigned char>::graySingleStruct;

template <uint32_t kBytesPerPixel, bool kBlueFirst>
void GrayRowsOf(const uint8_t* src, uint64_t srcStride, uint8_t* dst, uint64_t dstStride, uint32_t width,
                uint32_t top, uint32_t bottom) {
    for (uint32_t y = top; y < bottom; ++y) {
        const uint8_t* s = src + PicRowOffset(y, srcStride);
        uint8_t* d = dst + PicRowOffset(y, dstStride);
        for (uint32_t x = 0; x < width; ++x, s += kBytesPerPixel) {
            uint32_t red = kBlueFirst ? s[2] : s[0];
            uint32_t blue = kBlueFirst ? s[0] : s[2];
            d[x] = (uint8_t)((601 * s[1] + 306 * red + 117 * blue) >> 10);
        }
    }
}

void GrayRows(const GrayBand& job, uint32_t top, uint32_t bottom) {
    auto rows = job.bytesPerPixel == 3 ? ((job.flags & 1) ? GrayRowsOf<3, true> : GrayRowsOf<3, false>)
                                       : ((job.flags & 1) ? GrayRowsOf<4, true> : GrayRowsOf<4, false>);
    rows(job.src, job.srcStride, job.dst, job.dstStride, job.width, top, bottom);
}

int32_t GrayBandJob(VovIredev::CPicThreadData* data) {
    auto* job = static_cast<GrayBand*>(data);
    GrayRows(*job, (uint32_t)job->band->top, (uint32_t)job->band->bottom);
    job->error = 0;
    return 0;
}

}  // namespace

template <>
BOOL CPicImgUtilT<unsigned char>::RGBToGray(const unsigned char* src, uint32_t width, uint32_t height,
                                            uint32_t bytesPerPixel, uint32_t srcStride, uint32_t dstStride,
                                            uint32_t flags, unsigned char* dst) {
    if (src == nullptr || dst == nullptr || (bytesPerPixel != 3 && bytesPerPixel != 4) || width == 0 ||
        height == 0 || !PicStrideHoldsRow(srcStride, (uint64_t)bytesPerPixel * width, height) ||
        !PicStrideHoldsRow(dstStride, width, height)) {
        status = PIC_ERR_BAD_PARAM;
        return FALSE;
    }
    CPicCallDepthGuard depth;
    auto describe = [&](GrayBand& job) {
        job.src = src;
        job.width = width;
        job.height = height;
        job.bytesPerPixel = bytesPerPixel;
        job.srcStride = srcStride;
        job.dstStride = dstStride;
        job.flags = flags;
        job.dst = dst;
    };
    if (!ShouldRunThreaded(flags, height)) {
        GrayBand whole;
        describe(whole);
        GrayRows(whole, 0, height);
        status = 0;
        return TRUE;
    }
    PicArray<RECT> bands;
    if (!SplitIntoRowBands(bands, width, height, GetBandCount())) {
        status = PIC_ERR_OUT_OF_MEMORY;
        return FALSE;
    }
    status = PicRunBandJobs<GrayBand>(GrayBandJob, bands, [&](GrayBand& job, const RECT& band) {
        describe(job);
        job.band = &band;
    });
    return status == 0;
}

template <>
BOOL CPicImgUtilT<unsigned char>::RGBToGrayBottomUp(const unsigned char* src, uint32_t width, uint32_t height,
                                                    uint32_t bytesPerPixel, uint32_t srcStride, uint32_t dstStride,
                                                    uint32_t flags, unsigned char* dst) {
    if (src == nullptr || dst == nullptr || (bytesPerPixel != 3 && bytesPerPixel != 4) ||
        !PicStrideHoldsRow(srcStride, (uint64_t)bytesPerPixel * width, height) ||
        !PicStrideHoldsRow(dstStride, width, height)) {
        status = PIC_ERR_BAD_PARAM;
        return FALSE;
    }
    GrayBand row;
    row.width = width;
    row.bytesPerPixel = bytesPerPixel;
    row.flags = flags;
    for (uint32_t i = 0; i < height; ++i) {
        row.src = src + PicRowOffset(height - 1 - i, srcStride);
        row.dst = dst + PicRowOffset(i, dstStride);
        GrayRows(row, 0, 1);
    }
    status = 0;
    return TRUE;
}
