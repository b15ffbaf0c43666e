#include "imaging/core/PicBicubicSimd.h"

#include <cmath>
#include <cstring>

#include "imaging/core/PicBandJobs.h"
#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicLibrarySettings.h"

using VovIredev::CPicImgBufBase;

namespace {

struct BicubicSimdBand : VovIredev::CPicThreadData {
    const CPicImgBufBase<unsigned char>* src = nullptr;
    CPicImgBufBase<unsigned char>* dst = nullptr;
    uint32_t flags = 0;
    RECT band = {};
    const PicBicubicSimdTables* tables = nullptr;
};

int32_t BicubicSimdJob(VovIredev::CPicThreadData* data) {
    auto* job = static_cast<BicubicSimdBand*>(data);
    PicRunBand(job, [&] { return BicubicSimdRows(*job->src, *job->dst, *job->tables, &job->band); });
    return 0;
}

}  // namespace

int32_t BuildBicubicSimdTables(uint32_t srcWidth, uint32_t dstWidth, uint32_t channels, PicBicubicSimdTables& tables) {
    for (auto& taps : tables.taps)
        if (!taps.Allocate(dstWidth)) return PIC_ERR_OUT_OF_MEMORY;
    if (dstWidth > 0x3FFFFFFF || !tables.weights.Allocate(4 * dstWidth)) return PIC_ERR_OUT_OF_MEMORY;
    const double scale = (double)srcWidth / dstWidth;
    for (uint32_t x = 0; x < dstWidth; ++x) {
        const double p = std::min(std::max(x * scale, 0.0), srcWidth - 1.0);
        const PicCubicWeights w = PicCubicWeightsOf(p - std::floor(p));
        int32_t taps[4];
        PicCubicTaps(p, srcWidth, taps);
        for (int k = 0; k < 4; ++k) {
            tables.taps[k][x] = taps[k] * (int32_t)channels;
            tables.weights[4 * x + k] = (float)w.w[k];
        }
    }
    return PIC_ERR_OK;
}

bool CanUseSimdBicubic(const CPicImgBufBase<unsigned char>& src) {
    if (src.channels == 1) return PicHasCpuFeature(PIC_CPU_SSE3);
    if (src.channels == 3 || src.channels == 4)
        return PicHasCpuFeature(PIC_CPU_SSE3) || PicHasCpuFeature(PIC_CPU_AVX2);
    return false;
}

int32_t BicubicSimdRows(const CPicImgBufBase<unsigned char>& src, CPicImgBufBase<unsigned char>& dst,
                        const PicBicubicSimdTables& tables, const RECT* band) {
    const bool avx2 = PicHasCpuFeature(PIC_CPU_AVX2);
    switch (src.channels) {
    case 4: return (avx2 ? BicubicRowsAvx4 : BicubicRowsSse4)(src, dst, tables, band);
    case 3: return (avx2 ? BicubicRowsAvx3 : BicubicRowsSse3)(src, dst, tables, band);
    case 1: return BicubicRowsSse1(src, dst, tables, band);
    default: return PIC_ERR_BAD_PARAM;
    }
}

bool ResizeBicubicSimd(int32_t& status, const CPicImgBufBase<unsigned char>& src, CPicImgBufBase<unsigned char>& dst,
                       uint32_t flags) {
    status = PIC_ERR_BAD_PARAM;
    if (!PicResizeViewsUsable(src, dst) || src.data == dst.data) return false;
    if (!CanUseSimdBicubic(src)) {
        status = PIC_ERR_CPU_FEATURE;
        return false;
    }
    // Copied once here so that no two bands write the same bytes.
    if (src.width == dst.width && src.height == dst.height && src.stride == dst.stride) {
        memmove(dst.data, src.data, PicRowOffset(src.height - 1, src.stride) + (size_t)src.width * src.channels);
        status = PIC_ERR_OK;
        return true;
    }
    PicBicubicSimdTables tables;
    if ((status = BuildBicubicSimdTables(src.width, dst.width, src.channels, tables)) != PIC_ERR_OK) return false;
    if (!ShouldRunThreaded(flags, dst.width)) {
        status = BicubicSimdRows(src, dst, tables, nullptr);
        return status == PIC_ERR_OK;
    }
    PicArray<RECT> bands;
    if (!SplitIntoRowBands(bands, dst.width, dst.height, GetBandCount())) {
        status = PIC_ERR_OUT_OF_MEMORY;
        return false;
    }
    status = PicRunBandJobs<BicubicSimdBand>(BicubicSimdJob, bands, [&](BicubicSimdBand& job, const RECT& band) {
        job.src = &src;
        job.dst = &dst;
        job.flags = flags;
        job.band = band;
        job.tables = &tables;
    });
    return status == PIC_ERR_OK;
}
