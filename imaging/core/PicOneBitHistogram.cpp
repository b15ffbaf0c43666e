// Counting the 0 and 1 pixels of a 1-bit image.
#include "imaging/core/PicHistogramEntryPoints.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"

#include <cstring>

#include "imaging/core/PicCpuFeatures.h"

namespace {

struct BitCountTable {
    uint8_t ones[256];
    BitCountTable() {
        for (uint32_t b = 0; b < 256; ++b) ones[b] = (uint8_t)((b & 1) + (b >> 1 ? ones[b >> 1] : 0));
    }
};
const BitCountTable kBitCounts;

uint64_t CountBytesPlain(const uint8_t* bytes, size_t count) {
    uint64_t ones = 0;
    size_t k = 0;
    for (; k + 4 <= count; k += 4)
        ones += kBitCounts.ones[bytes[k]] + kBitCounts.ones[bytes[k + 1]] + kBitCounts.ones[bytes[k + 2]] +
                kBitCounts.ones[bytes[k + 3]];
    for (; k < count; ++k) ones += kBitCounts.ones[bytes[k]];
    return ones;
}

// Eight bytes per popcnt; four running sums so the adds do not wait on each other.
__attribute__((target("popcnt"))) uint64_t CountBytesPopcnt(const uint8_t* bytes, size_t count) {
    uint64_t sums[4] = {0, 0, 0, 0};
    size_t k = 0;
    for (; k + 32 <= count; k += 32)
        for (int j = 0; j < 4; ++j) {
            uint64_t word;
            memcpy(&word, bytes + k + 8 * j, 8);
            sums[j] += (uint64_t)__builtin_popcountll(word);
        }
    return sums[0] + sums[1] + sums[2] + sums[3] + CountBytesPlain(bytes + k, count - k);
}

// Every processor with SSE4.2 has popcnt.
uint64_t CountBytes(const uint8_t* bytes, size_t count) {
    return PicHasCpuFeature(PIC_CPU_SSE42) ? CountBytesPopcnt(bytes, count) : CountBytesPlain(bytes, count);
}

}  // namespace

BOOL CPicOperation::GetOneBitHistogram(const uint8_t* data, uint32_t width, uint32_t height, uint32_t stride,
                                       uint32_t* counts) {
    if (data == nullptr || counts == nullptr) return Fail(PIC_ERR_BAD_PARAM);
    counts[0] = counts[1] = 0;
    CPicCallDepthGuard depth;
    const uint32_t wholeBytes = width / 8, rest = width % 8;
    uint64_t ones = 0;
    if (rest == 0 && stride == wholeBytes) {
        // Rows without padding follow each other: one run over the block.
        ones = CountBytes(data, (size_t)wholeBytes * height);
    } else {
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = data + PicRowOffset(y, stride);
            ones += CountBytes(row, wholeBytes);
            for (uint32_t b = 0; b < rest; ++b) ones += (row[wholeBytes] >> (7 - b)) & 1;
        }
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
