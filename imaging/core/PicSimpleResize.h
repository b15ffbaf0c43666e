// Nearest-neighbour resize (method 18): destination pixel (x, y) takes source
// pixel (x * sw / dw, y * sh / dh), truncated, with no half-pixel offset.
#pragma once

#include "imaging/core/PicResizeBase.h"

template <class T>
class CPicSimpleResize : public CPicResizeBaseT<T> {
public:
    // The flags are not used (the resize never runs in bands).
    bool Resize(const VovIredev::CPicImgBufBase<T>& src, VovIredev::CPicImgBufBase<T>& dst,
                uint32_t flags) override;
};

extern template class CPicSimpleResize<unsigned char>;
extern template class CPicSimpleResize<unsigned short>;
extern template class CPicSimpleResize<float>;
extern template class CPicSimpleResize<double>;
