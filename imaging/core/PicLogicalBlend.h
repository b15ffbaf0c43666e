// Row kernels that combine a source row into a destination row in place:
// logical operations, min/max, saturating arithmetic, difference, screen and
// opacity blends on bytes, and the float forms the float overlay uses.
// CPicSIMDLogicalBufBlendSSE and CPicSIMDLogicalBufBlendAVX test their
// processor feature at every call: without it they set status 71, write
// nothing and return false. CPicLogicalBufBlendPlain runs everywhere.
#pragma once

#include <cstdint>

class CPicSIMDLogicalBufBlend {
public:
    CPicSIMDLogicalBufBlend() = default;
    virtual ~CPicSIMDLogicalBufBlend() = default;
    CPicSIMDLogicalBufBlend(const CPicSIMDLogicalBufBlend&) = delete;
    CPicSIMDLogicalBufBlend& operator=(const CPicSIMDLogicalBufBlend&) = delete;

    // Byte operations: count bytes (pixels times channels); dst is read and written.
    virtual bool And(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    virtual bool Or(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    virtual bool Xor(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    virtual bool Nand(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    virtual bool Nor(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    virtual bool Xnor(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    // Float operations: r computed in single precision, blended into d by x.
    virtual bool MaxFloat(float* dst, const float* src, uint32_t count, double x) = 0;
    virtual bool MaxByte(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    virtual bool MinFloat(float* dst, const float* src, uint32_t count, double x) = 0;
    virtual bool MinByte(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    virtual bool AddFloat(float* dst, const float* src, uint32_t count, double x) = 0;
    virtual bool AddSatByte(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    virtual bool SubFloat(float* dst, const float* src, uint32_t count, double x) = 0;
    virtual bool SubSatByte(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    virtual bool RevSubFloat(float* dst, const float* src, uint32_t count, double x) = 0;
    virtual bool RevSubSatByte(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    virtual bool DiffFloat(float* dst, const float* src, uint32_t count, double x) = 0;
    virtual bool DiffByte(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    virtual bool ScreenByte(uint8_t* dst, const uint8_t* src, uint32_t count) = 0;
    virtual bool BlendFloat(float* dst, const float* src, uint32_t count, double x) = 0;
    virtual bool BlendByte(uint8_t* dst, const uint8_t* src, uint32_t count, double x) = 0;

    int32_t status = 0;
};

#define PIC_DECLARE_LOGICAL_BLEND_OPERATIONS                                        \
    bool And(uint8_t* dst, const uint8_t* src, uint32_t count) override;           \
    bool Or(uint8_t* dst, const uint8_t* src, uint32_t count) override;            \
    bool Xor(uint8_t* dst, const uint8_t* src, uint32_t count) override;           \
    bool Nand(uint8_t* dst, const uint8_t* src, uint32_t count) override;          \
    bool Nor(uint8_t* dst, const uint8_t* src, uint32_t count) override;           \
    bool Xnor(uint8_t* dst, const uint8_t* src, uint32_t count) override;          \
    bool MaxFloat(float* dst, const float* src, uint32_t count, double x) override; \
    bool MaxByte(uint8_t* dst, const uint8_t* src, uint32_t count) override;       \
    bool MinFloat(float* dst, const float* src, uint32_t count, double x) override; \
    bool MinByte(uint8_t* dst, const uint8_t* src, uint32_t count) override;       \
    bool AddFloat(float* dst, const float* src, uint32_t count, double x) override; \
    bool AddSatByte(uint8_t* dst, const uint8_t* src, uint32_t count) override;    \
    bool SubFloat(float* dst, const float* src, uint32_t count, double x) override; \
    bool SubSatByte(uint8_t* dst, const uint8_t* src, uint32_t count) override;    \
    bool RevSubFloat(float* dst, const float* src, uint32_t count, double x) override; \
    bool RevSubSatByte(uint8_t* dst, const uint8_t* src, uint32_t count) override; \
    bool DiffFloat(float* dst, const float* src, uint32_t count, double x) override; \
    bool DiffByte(uint8_t* dst, const uint8_t* src, uint32_t count) override;      \
    bool ScreenByte(uint8_t* dst, const uint8_t* src, uint32_t count) override;    \
    bool BlendFloat(float* dst, const float* src, uint32_t count, double x) override; \
    bool BlendByte(uint8_t* dst, const uint8_t* src, uint32_t count, double x) override;

// SSE2 (DiffByte: SSE3); 16 bytes or 4 floats per vector.
class CPicSIMDLogicalBufBlendSSE final : public CPicSIMDLogicalBufBlend {
public:
    PIC_DECLARE_LOGICAL_BLEND_OPERATIONS
};

// AVX2 for bytes, AVX for floats; 32 bytes or 8 floats per vector.
class CPicSIMDLogicalBufBlendAVX final : public CPicSIMDLogicalBufBlend {
public:
    PIC_DECLARE_LOGICAL_BLEND_OPERATIONS
};

// Plain code for any processor: the byte formulas, and the float operations
// with the double-precision rule for every element.
class CPicLogicalBufBlendPlain final : public CPicSIMDLogicalBufBlend {
public:
    PIC_DECLARE_LOGICAL_BLEND_OPERATIONS
};

#undef PIC_DECLARE_LOGICAL_BLEND_OPERATIONS

// Channel kinds of the overlay set choice.
enum PicBlendChannelKind : int32_t { PIC_BLEND_CHANNELS_BYTE = 0, PIC_BLEND_CHANNELS_FLOAT = 2 };

// Whether the SSE or AVX set may serve an overlay mode at this opacity.
bool IsSSEBlendAvailable(int32_t mode, double opacity, int32_t channelKind);
bool IsAVXBlendAvailable(int32_t mode, double opacity, int32_t channelKind);

// Kinds of the stand-alone row kernels.
enum PicSimdKernelKind : int32_t {
    PIC_KERNEL_BLEND_COLOR_MASK = 0,
    PIC_KERNEL_SPLIT_RGBA = 1,
    PIC_KERNEL_BLEND_RGBA_OVER_RGB = 2,
    PIC_KERNEL_SWAP_RB = 3,
    PIC_KERNEL_SSE2 = 4,
};
bool IsSimdKernelAvailable(int32_t kind);
