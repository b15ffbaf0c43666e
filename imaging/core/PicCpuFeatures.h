// Processor features that select the SIMD code paths. Detected once; every
// SIMD routine tests its bit when it is called.
#pragma once

#include <cstdint>

enum PicCpuFeature : uint16_t {
    PIC_CPU_MMX = 0x1,
    PIC_CPU_SSE = 0x2,
    PIC_CPU_SSE2 = 0x4,
    PIC_CPU_SSE3 = 0x8,
    PIC_CPU_SSSE3 = 0x10,
    PIC_CPU_SSE41 = 0x20,
    PIC_CPU_SSE42 = 0x40,
    PIC_CPU_AES = 0x80,
    PIC_CPU_AVX = 0x100,
    PIC_CPU_AVX2 = 0x200,
};

enum PicCpuFeatureExtended : uint16_t {
    PIC_CPU_AMD_MMX = 0x1,
    PIC_CPU_3DNOW = 0x2,
    PIC_CPU_3DNOW_EXT = 0x4,
    PIC_CPU_SSE4A = 0x8,
    PIC_CPU_XOP = 0x10,
};

struct CPicCpuFeatures {
    uint16_t basic = 0;     // PicCpuFeature bits
    uint16_t extended = 0;  // PicCpuFeatureExtended bits
};

// What the processor reports, as read by the CPUID and XGETBV instructions.
struct CPicCpuidReport {
    uint32_t maxLeaf = 0;
    uint32_t leaf1Ecx = 0, leaf1Edx = 0;
    uint32_t leaf7Ebx = 0;
    uint32_t maxExtendedLeaf = 0;
    uint32_t extendedEcx = 0, extendedEdx = 0;
    uint64_t xcr0 = 0;  // read only when the OS saves the extended state (OSXSAVE)
};

CPicCpuidReport ReadCpuid();
// Turns a report into the two feature words.
CPicCpuFeatures DecodeCpuFeatures(const CPicCpuidReport& report);
// ReadCpuid + DecodeCpuFeatures.
CPicCpuFeatures DetectCpuFeatures();

// The feature words in use: the detected ones limited by the test mask.
uint16_t PicCpuFeatureWord();
uint16_t PicCpuExtendedFeatureWord();
inline bool PicHasCpuFeature(uint16_t bits) { return (PicCpuFeatureWord() & bits) == bits; }

// Test and benchmark control: hides feature bits (0xFFFF shows all), so the
// scalar and each SIMD path can run on one machine.
void PicSetCpuFeatureMaskForTesting(uint16_t mask);
