// Counting the 0 and 1 pixels of a 1-bit image.
#include "imaging/core/PicHistogramEntryPoints.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"

namespace {

struct BitCountTable {
    uint8_t ones[256];
    BitCountTable() {
        for (uint32_t b = 0; b < 256; ++b) ones[b] = (uint8_t)((b & 1) + (b >> 1 ? ones[b >> 1] : 0));
    }
};
const BitCountTable kBitCounts;

}  // namespace

BOOL CPicOperation::GetOneBitHistogram(const uint8_t* data, uint32_t width, uint32_t height, uint32_t stride,
                                       uint32_t* counts) {
    if (data == nullptr || counts == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    counts[0] = counts[1] = 0;
    CPicCallDepthGuard depth;
    const uint32_t wholeBytes = width / 8, rest = width % 8;
    uint64_t ones = 0;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = data + PicRowOffset(y, stride);
        uint32_t k = 0;
        for (; k + 4 <= wholeBytes; k += 4)
            ones += kBitCounts.ones[row[k]] + kBitCounts.ones[row[k + 1]] + kBitCounts.ones[row[k + 2]] +
                    kBitCounts.ones[row[k + 3]];
        for (; k < wholeBytes; ++k) ones += kBitCounts.ones[row[k]];
        for (uint32_t b = 0; b < rest; ++b) ones += (row[wholeBytes] >> (7 - b)) & 1;
    }
    counts[1] = (uint32_t)ones;
    counts[0] = (uint32_t)((uint64_t)width * height - ones);
    return TRUE;
}

BOOL WINAPI pic_GetOneBitHistogram(const uint8_t* data, uint32_t width, uint32_t height, uint32_t stride,
                                   uint32_t* counts, uint32_t /*flags*/) {
    return PicEntryPoint("pic_GetOneBitHistogram", FALSE, [&](CPicOperation& op) {
        return op.GetOneBitHistogram(data, width, height, stride, counts);
    });
}
