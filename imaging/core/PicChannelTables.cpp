// Per-channel lookup tables and histograms of byte images.
#include <cstring>

#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"

namespace {
bool ValidImage(const void* data, uint32_t width, uint32_t height, uint32_t channels, uint32_t stride) {
    return data != nullptr && width != 0 && height != 0 && channels != 0 &&
           PicStrideHoldsRow(stride, (uint64_t)width * channels, height);
}
}  // namespace

BOOL CPicOperation::ApplyChannelLUTs(uint8_t* data, uint32_t width, uint32_t height, uint32_t channels,
                                     uint32_t stride, const uint8_t* const* tables) {
    if (!ValidImage(data, width, height, channels, stride) || tables == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    bool any = false;
    for (uint32_t c = 0; c < channels; ++c) any = any || tables[c] != nullptr;
    if (!any) return TRUE;
    CPicCallDepthGuard depth;
    CPicProgress progress;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* p = data + PicRowOffset(y, stride);
        if (channels == 1) {
            const uint8_t* table = tables[0];
            for (uint32_t x = 0; x < width; ++x) p[x] = table[p[x]];
        } else {
            for (uint32_t x = 0; x < width; ++x, p += channels)
                for (uint32_t c = 0; c < channels; ++c)
                    if (tables[c] != nullptr) p[c] = tables[c][p[c]];
        }
        if (!progress.Report(y, height)) return Cancelled();
    }
    return TRUE;
}

BOOL CPicOperation::ApplyLUTToChannel(uint8_t* data, uint32_t width, uint32_t height, uint32_t channels,
                                      uint32_t stride, const uint8_t* table, uint32_t channel) {
    if (!ValidImage(data, width, height, channels, stride) || table == nullptr || channel >= channels)
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    CPicProgress progress;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* p = data + PicRowOffset(y, stride) + channel;
        for (uint32_t x = 0; x < width; ++x, p += channels) *p = table[*p];
        if (!progress.Report(y, height)) return Cancelled();
    }
    return TRUE;
}

BOOL CPicOperation::GetChannelHistograms(const uint8_t* data, uint32_t width, uint32_t height, uint32_t channels,
                                         uint32_t stride, uint32_t* const* histograms) {
    if (!ValidImage(data, width, height, channels, stride) || histograms == nullptr)
        return Fail(PIC_ERR_BAD_PARAM);
    CPicCallDepthGuard depth;
    CPicProgress progress;
    for (uint32_t c = 0; c < channels; ++c) {
        uint32_t* counts = histograms[c];
        if (counts == nullptr) {
            status = PIC_ERR_BAD_PARAM;  // the other channels are still counted
        } else {
            memset(counts, 0, 256 * sizeof(uint32_t));
            for (uint32_t y = 0; y < height; ++y) {
                const uint8_t* p = data + PicRowOffset(y, stride) + c;
                for (uint32_t x = 0; x < width; ++x, p += channels) ++counts[*p];
            }
        }
        if (!progress.Report(c, channels)) return Cancelled();
    }
    return status == 0;
}
