// Views of image buffers for the resizers and the overlay. A view never owns
// its pixels; users build views on the stack over caller-owned buffers.
#pragma once

#include <cstdint>

namespace VovIredev {

// T: unsigned char, unsigned short, float or double.
template <class T>
class CPicImgBufBase {
public:
    CPicImgBufBase() = default;
    CPicImgBufBase(uint32_t width, uint32_t height, uint32_t channels, uint32_t stride, T* data)
        : width(width), height(height), channels(channels), stride(stride), data(data) {}
    virtual ~CPicImgBufBase() = default;

    virtual T* GetData() = 0;
    virtual const T* GetConstData() const = 0;

    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t channels = 0;  // elements per pixel; 0 marks a 1-bit buffer
    uint32_t stride = 0;    // in elements of T
    T* data = nullptr;
};

// Caller-owned writable pixels (destinations).
template <class T>
class CPicImgBufExtern : public CPicImgBufBase<T> {
public:
    using CPicImgBufBase<T>::CPicImgBufBase;
    T* GetData() override { return this->data; }
    const T* GetConstData() const override { return this->data; }
};

// Caller-owned read-only pixels (sources).
template <class T>
class CPicImgBufExternConst : public CPicImgBufBase<T> {
public:
    CPicImgBufExternConst(uint32_t width, uint32_t height, uint32_t channels, uint32_t stride, const T* data)
        : CPicImgBufBase<T>(width, height, channels, stride, const_cast<T*>(data)) {}
    T* GetData() override { return this->data; }
    const T* GetConstData() const override { return this->data; }
};

}  // namespace VovIredev
