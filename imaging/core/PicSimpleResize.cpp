#include "imaging/core/PicSimpleResize.h"

#include "imaging/core/PicArray.h"

// Source position of each destination index, scaled by `unit` elements. The
// product index * sourceSize is formed in 64 bits: in 32 bits it wraps for
// rows of a few tens of thousands of pixels.
static bool BuildNearestTable(PicArray<size_t>& table, uint32_t sourceSize, uint32_t destSize, size_t unit) {
    if (!table.Allocate(destSize)) return false;
    for (uint32_t i = 0; i < destSize; ++i) table[i] = (size_t)((uint64_t)i * sourceSize / destSize) * unit;
    return true;
}

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
    const T* in = src.data;
    T* out = dst.data;
    CPicProgress progress;
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
