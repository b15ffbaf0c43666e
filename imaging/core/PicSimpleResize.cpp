#include "imaging/core/PicSimpleResize.h"

#include <cstring>

#include "imaging/core/PicArray.h"
#include "imaging/core/PicOperation.h"

// Source position of each destination index, scaled by `unit` elements. The
// product index * sourceSize is formed in 64 bits: in 32 bits it wraps for
// rows of a few tens of thousands of pixels.
static bool BuildNearestTable(PicArray<size_t>& table, uint32_t sourceSize, uint32_t destSize, size_t unit) {
    if (!table.Allocate(destSize)) return false;
    for (uint32_t i = 0; i < destSize; ++i) table[i] = (size_t)((uint64_t)i * sourceSize / destSize) * unit;
    return true;
}

namespace {

// One destination row from its source row; the channel count fixed at compile time (0: any).
template <uint32_t kChannels, class T>
void NearestRow(const T* sourceRow, const size_t* columns, uint32_t width, uint32_t channelCount, T* out) {
    const uint32_t channels = kChannels ? kChannels : channelCount;
    for (uint32_t x = 0; x < width; ++x, out += channels) {
        const T* pixel = sourceRow + columns[x];
        for (uint32_t c = 0; c < channels; ++c) out[c] = pixel[c];
    }
}

// Three-byte pixels as four-byte moves: each store's fourth byte is
// overwritten by the next pixel. The extra byte must lie inside both rows, so
// the last destination pixel, and any taken from a source offset at or past
// `sourceLimit` (the row's last pixel), move three bytes.
void NearestRowRGB(const uint8_t* sourceRow, const size_t* columns, uint32_t width, size_t sourceLimit,
                   uint8_t* out) {
    uint32_t x = 0;
    for (; x + 1 < width; ++x, out += 3) {
        const uint8_t* pixel = sourceRow + columns[x];
        if (columns[x] < sourceLimit) {
            uint32_t four;
            memcpy(&four, pixel, 4);
            memcpy(out, &four, 4);
        } else {
            out[0] = pixel[0], out[1] = pixel[1], out[2] = pixel[2];
        }
    }
    const uint8_t* last = sourceRow + columns[x];
    out[0] = last[0], out[1] = last[1], out[2] = last[2];
}

// All channels row by row; a row that takes the same source row as the one
// above is a copy of it.
template <uint32_t kChannels, class T>
void NearestRows(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst, const size_t* columns,
                 const size_t* rows) {
    const size_t rowBytes = (size_t)dst.width * dst.channels * sizeof(T);
    for (uint32_t y = 0; y < dst.height; ++y) {
        T* out = dst.data + PicRowOffset(y, dst.stride);
        if (y > 0 && rows[y] == rows[y - 1])
            memcpy(out, out - dst.stride, rowBytes);
        else if constexpr (kChannels == 3 && sizeof(T) == 1)
            NearestRowRGB(src.data + rows[y], columns, dst.width, (size_t)src.width * 3 - 3, out);
        else
            NearestRow<kChannels>(src.data + rows[y], columns, dst.width, dst.channels, out);
    }
}

}  // namespace

template <class T>
bool CPicSimpleResize<T>::Resize(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst,
                                 uint32_t /*flags*/) {
    if (!PicResizeViewsUsable(src, dst)) return this->Fail(PIC_ERR_BAD_PARAM);
    if (this->CopyIfSameGeometry(src, dst)) return this->Succeed();
    const uint32_t channels = src.channels;
    PicArray<size_t> columns, rows;
    if (!BuildNearestTable(columns, src.width, dst.width, channels) ||
        !BuildNearestTable(rows, src.height, dst.height, src.stride))
        return this->Fail(PIC_ERR_OUT_OF_MEMORY);
    CPicProgress progress;
    if (!progress.Enabled()) {
        // Nobody watches the channels finish: the same bytes in one pass.
        switch (channels) {
        case 1: NearestRows<1>(src, dst, columns.data, rows.data); break;
        case 3: NearestRows<3>(src, dst, columns.data, rows.data); break;
        case 4: NearestRows<4>(src, dst, columns.data, rows.data); break;
        default: NearestRows<0>(src, dst, columns.data, rows.data); break;
        }
        return this->Succeed();
    }
    const T* in = src.data;
    T* out = dst.data;
    for (uint32_t c = 0; c < channels; ++c) {
        for (uint32_t y = 0; y < dst.height; ++y) {
            const T* sourceRow = in + rows[y] + c;
            T* destRow = out + PicRowOffset(y, dst.stride) + c;
            for (uint32_t x = 0; x < dst.width; ++x) destRow[(size_t)x * channels] = sourceRow[columns[x]];
        }
        if (!progress.Report(c, channels)) return this->Fail(PIC_ERR_CANCELLED);
    }
    return this->Succeed();
}

template class CPicSimpleResize<unsigned char>;
template class CPicSimpleResize<unsigned short>;
template class CPicSimpleResize<float>;
template class CPicSimpleResize<double>;
