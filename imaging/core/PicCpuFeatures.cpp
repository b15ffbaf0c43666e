#include "imaging/core/PicCpuFeatures.h"

#include <cpuid.h>

#include <atomic>

#include "imaging/core/PicLibrarySettings.h"

namespace {

std::atomic<uint16_t> g_featureMask{0xFFFF};

bool Bit(uint32_t value, int bit) { return (value >> bit) & 1; }

uint64_t ReadXcr0() {
    uint32_t eax = 0, edx = 0;
    __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
    return ((uint64_t)edx << 32) | eax;
}

}  // namespace

CPicCpuidReport ReadCpuid() {
    CPicCpuidReport report;
    uint32_t eax, ebx, ecx, edx;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) report.maxLeaf = eax;
    if (report.maxLeaf >= 1 && __get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        report.leaf1Ecx = ecx;
        report.leaf1Edx = edx;
    }
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) report.leaf7Ebx = ebx;
    if (__get_cpuid(0x80000000, &eax, &ebx, &ecx, &edx)) report.maxExtendedLeaf = eax;
    if (report.maxExtendedLeaf >= 0x80000001 && __get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx)) {
        report.extendedEcx = ecx;
        report.extendedEdx = edx;
    }
    if (Bit(report.leaf1Ecx, 27)) report.xcr0 = ReadXcr0();
    return report;
}

CPicCpuFeatures DecodeCpuFeatures(const CPicCpuidReport& r) {
    CPicCpuFeatures f;
    uint32_t ecx = r.maxLeaf >= 1 ? r.leaf1Ecx : 0;
    uint32_t edx = r.maxLeaf >= 1 ? r.leaf1Edx : 0;
    if (Bit(edx, 23)) f.basic |= PIC_CPU_MMX;
    if (Bit(edx, 25)) f.basic |= PIC_CPU_SSE;
    if (Bit(edx, 26)) f.basic |= PIC_CPU_SSE2;
    if (Bit(ecx, 0)) f.basic |= PIC_CPU_SSE3;
    if (Bit(ecx, 9)) f.basic |= PIC_CPU_SSSE3;
    if (Bit(ecx, 19)) f.basic |= PIC_CPU_SSE41;
    if (Bit(ecx, 20)) f.basic |= PIC_CPU_SSE42;
    if (Bit(ecx, 25)) f.basic |= PIC_CPU_AES;
    // The OS must save the XMM and YMM registers (XCR0 bits 1 and 2).
    bool osSavesYmm = Bit(ecx, 27) && (r.xcr0 & 0x6) == 0x6;
    if (osSavesYmm && Bit(ecx, 28)) f.basic |= PIC_CPU_AVX;
    if (osSavesYmm && Bit(r.leaf7Ebx, 5)) f.basic |= PIC_CPU_AVX2;

    if (r.maxExtendedLeaf >= 0x80000001) {
        if (Bit(r.extendedEdx, 22)) f.extended |= PIC_CPU_AMD_MMX;
        if (Bit(r.extendedEdx, 31)) f.extended |= PIC_CPU_3DNOW;
        if (Bit(r.extendedEdx, 30)) f.extended |= PIC_CPU_3DNOW_EXT;
        if (Bit(r.extendedEcx, 6)) f.extended |= PIC_CPU_SSE4A;
        if (Bit(r.extendedEcx, 11)) f.extended |= PIC_CPU_XOP;
    }
    return f;
}

CPicCpuFeatures DetectCpuFeatures() { return DecodeCpuFeatures(ReadCpuid()); }

uint16_t PicCpuFeatureWord() { return GetLibrarySettings().cpuFeatures.basic & g_featureMask.load(std::memory_order_relaxed); }

uint16_t PicCpuExtendedFeatureWord() { return GetLibrarySettings().cpuFeatures.extended; }

void PicSetCpuFeatureMaskForTesting(uint16_t mask) { g_featureMask.store(mask); }
