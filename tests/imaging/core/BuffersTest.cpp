#include "tests/QvTest.h"

#include <cstring>
#include <vector>

#include "imaging/core/PicAllocators.h"
#include "imaging/core/PicArray.h"
#include "imaging/core/PicCpuFeatures.h"
#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicImgBuf.h"
#include "imaging/core/PicLookupTables.h"
#include "imaging/core/PicOperation.h"
#include "imaging/core/PicUtil.h"

namespace {

TEST(PicArrayTest, AllocateKeepsTheBlockOnlyForTheSameCount) {
    PicArray<uint32_t> a;
    EXPECT_TRUE(a.IsEmpty());
    ASSERT_TRUE(a.Allocate(4));
    a.Fill(0xAB);
    uint32_t* block = a.data;
    ASSERT_TRUE(a.Allocate(4));
    EXPECT_EQ(a.data, block);
    EXPECT_EQ(a[3], 0xABABABABu) << "same count keeps the contents";
    ASSERT_TRUE(a.Allocate(5));
    EXPECT_EQ(a.count, 5u);
    ASSERT_TRUE(a.Allocate(0));
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.count, 0u);

    PicArray<unsigned char> bytes;
    const unsigned char text[3] = {'a', 'b', 'c'};
    ASSERT_TRUE(bytes.Assign(text, 3));
    PicArray<unsigned char> copy;
    ASSERT_TRUE(copy.CopyFrom(bytes));
    EXPECT_EQ(memcmp(copy.data, "abc", 3), 0);
    copy.Free();
    EXPECT_EQ(copy.data, nullptr);
    EXPECT_EQ(copy.reserved, 0u);
}

TEST(PicArrayTest, SizesAtTheLimitAreRefused) {
    PicArray<uint64_t> big;
    EXPECT_FALSE(big.Allocate(0x20000000)) << "n * 8 does not fit in 32 bits";
    EXPECT_TRUE(big.IsEmpty());
    EXPECT_EQ(big.count, 0u);
    PicArray<uint32_t> edge;
    EXPECT_FALSE(edge.Allocate(0x7FFDEFFF / 4 + 1)) << "at the library's block limit";
    PicArray<uint8_t> wrapped;
    EXPECT_FALSE(wrapped.Allocate(0xFFFFFFFF));
}

TEST(Allocators, GlobalMemoryIsZeroFilledAndLimited) {
    CPicOutBufAllocator out;
    ASSERT_TRUE(out.Alloc(100));
    auto* bytes = static_cast<uint8_t*>(out.GetData());
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[99], 0);
    EXPECT_FALSE(out.fromCallback);
    EXPECT_TRUE(out.Realloc(50)) << "a shrink always keeps enough memory";
    EXPECT_TRUE(out.Realloc(4000));
    EXPECT_GE(GlobalSize(out.globalBlock), 4000u);
    EXPECT_FALSE(out.Realloc(0x7FFDEFFF)) << "growing past the limit fails";
    EXPECT_GE(GlobalSize(out.globalBlock), 4000u) << "and keeps the old block";
    HGLOBAL handedOver = out.globalBlock;
    out.Reset();  // the receiver owns it now
    EXPECT_EQ(out.GetData(), nullptr);
    GlobalFree(handedOver);

    EXPECT_FALSE(out.Alloc(0));
    EXPECT_FALSE(out.Alloc(0x7FFDEFFF)) << "refused without asking the system";
    EXPECT_EQ(out.GetData(), nullptr);

    CPicInternalAllocator work;
    EXPECT_FALSE(work.Alloc(0));
    EXPECT_FALSE(work.Alloc(0x7FFDEFFF)) << "no success without the memory";
    ASSERT_TRUE(work.Alloc(16));
    EXPECT_NE(work.GetData(), nullptr);
}

TEST(Allocators, TakeFromMovesTheBlock) {
    CPicInternalAllocator a, b;
    ASSERT_TRUE(a.Alloc(8));
    ASSERT_TRUE(b.Alloc(8));
    HGLOBAL block = b.globalBlock;
    a.TakeFrom(b);
    EXPECT_EQ(a.globalBlock, block);
    EXPECT_EQ(b.GetData(), nullptr);
    a.TakeFrom(a);
    EXPECT_EQ(a.globalBlock, block);
}

struct CallbackLog {
    int allocs = 0, frees = 0;
    std::vector<uint8_t> arena = std::vector<uint8_t>(256);
};

TEST(Allocators, OutputCallbacksReplaceGlobalMemory) {
    CPicThreadState* state = GetThreadState();
    CallbackLog log;
    state->allocCallbacks.alloc = [](uint32_t size, void* user) -> void* {
        auto* l = static_cast<CallbackLog*>(user);
        ++l->allocs;
        return size <= l->arena.size() ? l->arena.data() : nullptr;
    };
    state->allocCallbacks.free = [](void*, void* user) -> int32_t {
        ++static_cast<CallbackLog*>(user)->frees;
        return 1;
    };
    state->allocCallbacks.user = &log;

    CPicOutBufAllocator out;
    ASSERT_TRUE(out.Alloc(64));
    EXPECT_TRUE(out.fromCallback);
    EXPECT_EQ(out.GetData(), log.arena.data());
    EXPECT_FALSE(out.Realloc(128)) << "no realloc callback";
    EXPECT_TRUE(out.Free());
    EXPECT_EQ(log.frees, 1);
    EXPECT_FALSE(out.Alloc(1000)) << "no fallback to global memory";
    EXPECT_EQ(out.GetData(), nullptr);

    CPicInternalAllocator work;  // never uses the callbacks
    ASSERT_TRUE(work.Alloc(64));
    EXPECT_FALSE(work.fromCallback);
    EXPECT_EQ(log.allocs, 2);
    state->allocCallbacks = CPicAllocCallbacks();
}

TEST(DibBlocks, SizesOfEveryDepthAndTheLimit) {
    struct Case {
        const char* why;
        uint32_t width, height, bits, palette;
        uint32_t size;
        int32_t status;
    } cases[] = {
        {"1 x 1 at 1 bit", 1, 1, 1, 0, 52, 0},
        {"3 x 2 at 24 bits", 3, 2, 24, 0, 64, 0},
        {"8 bits with 256 colours", 5, 1, 8, 256, 1024 + 8 + 40, 0},
        {"32 bits", 2, 2, 32, 0, 56, 0},
        {"16 bits is not a packed depth", 1, 1, 16, 0, 0, PIC_ERR_BAD_PARAM},
        {"row bytes times height past 32 bits", 65536, 65536, 32, 0, 0, PIC_ERR_OUT_OF_MEMORY},
        {"width times bits past 32 bits", 0xFFFFFFFF, 1, 32, 0, 0, PIC_ERR_OUT_OF_MEMORY},
        {"just below the limit", 4, 0x7FFDEFFF / 16 - 3, 32, 0, (0x7FFDEFFF / 16 - 3) * 16 + 40, 0},
        {"at the limit", 4, 0x7FFDEFFF / 16, 32, 0, 0, PIC_ERR_OUT_OF_MEMORY},
    };
    for (const Case& c : cases) {
        CPicOperation op;
        EXPECT_EQ(op.CalcDIBSize(c.width, c.height, c.bits, c.palette), c.size) << c.why;
        EXPECT_EQ(op.status, c.status) << c.why;
    }
}

TEST(DibBlocks, HeaderQueries) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD palette[4];
        uint8_t pixels[8];
    } dib = {};
    dib.header.biSize = 40;
    dib.header.biWidth = 7;
    dib.header.biHeight = -3;
    dib.header.biBitCount = 2;
    int32_t value = 0;
    uint32_t bits = 0;
    EXPECT_TRUE(pic_DIBWidth(&dib, &value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(pic_DIBHeight(&dib, &value));
    EXPECT_EQ(value, -3);
    EXPECT_TRUE(pic_DIBBitCount(&dib, &bits));
    EXPECT_EQ(bits, 2u);
    EXPECT_EQ(pic_DIBPixelStart(&dib), (void*)dib.pixels) << "after 4 colours";
    int32_t count = 0;
    EXPECT_EQ(pic_GetDIBPalette(&dib, &count), dib.palette);
    EXPECT_EQ(count, 4);
    dib.header.biClrUsed = 1000;
    pic_GetDIBPalette(&dib, &count);
    EXPECT_EQ(count, 4) << "no more entries than a 2-bit pixel can name";

    dib.header.biBitCount = 24;
    EXPECT_EQ(pic_GetDIBPalette(&dib, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BIT_DEPTH);
    dib.header.biCompression = BI_BITFIELDS;
    dib.header.biBitCount = 16;
    EXPECT_EQ(pic_DIBPixelStart(&dib), (void*)((uint8_t*)&dib + 52)) << "after the three masks";

    dib.header.biSize = 12;  // an old-style header
    value = 99;
    EXPECT_FALSE(pic_DIBWidth(&dib, &value));
    EXPECT_EQ(value, 0);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    EXPECT_EQ(pic_DIBPixelStart(&dib), nullptr);
    EXPECT_FALSE(pic_DIBWidth(nullptr, &value));
}

TEST(CpuFeatures, DecodingFollowsTheBitTable) {
    CPicCpuidReport r;
    r.maxLeaf = 7;
    r.leaf1Edx = (1u << 23) | (1u << 25) | (1u << 26);
    r.leaf1Ecx = (1u << 0) | (1u << 9) | (1u << 19) | (1u << 20) | (1u << 25) | (1u << 28) | (1u << 27);
    r.leaf7Ebx = 1u << 5;
    r.xcr0 = 0x7;
    r.maxExtendedLeaf = 0x80000001;
    r.extendedEcx = (1u << 6) | (1u << 11);
    r.extendedEdx = (1u << 22) | (1u << 30) | (1u << 31);
    CPicCpuFeatures f = DecodeCpuFeatures(r);
    EXPECT_EQ(f.basic, 0x3FF);
    EXPECT_EQ(f.extended, 0x1F);

    CPicCpuidReport noOsSave = r;
    noOsSave.leaf1Ecx &= ~(1u << 27);
    EXPECT_EQ(DecodeCpuFeatures(noOsSave).basic & (PIC_CPU_AVX | PIC_CPU_AVX2), 0);
    CPicCpuidReport noYmm = r;
    noYmm.xcr0 = 0x3;
    EXPECT_EQ(DecodeCpuFeatures(noYmm).basic & (PIC_CPU_AVX | PIC_CPU_AVX2), 0);
    CPicCpuidReport noLeaf1 = r;
    noLeaf1.maxLeaf = 0;
    EXPECT_EQ(DecodeCpuFeatures(noLeaf1).basic & 0xFF, 0);
    CPicCpuidReport noExtended = r;
    noExtended.maxExtendedLeaf = 0x80000000;
    EXPECT_EQ(DecodeCpuFeatures(noExtended).extended, 0);

    EXPECT_TRUE(PicHasCpuFeature(PIC_CPU_SSE2)) << "every x86-64 processor";
    PicSetCpuFeatureMaskForTesting((uint16_t)~PIC_CPU_SSE2);
    EXPECT_FALSE(PicHasCpuFeature(PIC_CPU_SSE2));
    PicSetCpuFeatureMaskForTesting(0xFFFF);
}

TEST(LookupTables, Contents) {
    const CPicLookupTables& t = PicTables();
    EXPECT_EQ(t.grayPalette[200].rgbRed, 200);
    EXPECT_EQ(t.grayPalette[200].rgbReserved, 0);
    EXPECT_EQ(t.bitMasks[3], 0x08);
    EXPECT_EQ(t.bitMasks[8 + 3], 0x10);
    EXPECT_EQ(t.inverseBitMasks[0], 0xFE);
    EXPECT_EQ(t.reversedBits[0x01], 0x80);
    EXPECT_EQ(t.reversedBits[0x0F], 0xF0);
    EXPECT_EQ(t.reversedBits[256 + 0x01], 0x7F);
    EXPECT_EQ(t.bitRangeMasks[5][2], 0x3C);
    EXPECT_EQ(t.bitRangeMasks[2][5], 0x00);
    EXPECT_EQ(memcmp(t.unpack1Bit[0xA1], "\1\0\1\0\0\0\0\1", 8), 0);
    EXPECT_EQ(memcmp(t.unpack1BitWords[0xA1], t.unpack1Bit[0xA1], 8), 0);
}

TEST(Utilities, WideToAnsiAndSmallHelpers) {
    EXPECT_EQ(WideToAnsi(L"image.png"), "image.png");
    EXPECT_EQ(WideToAnsi(nullptr), "");
    EXPECT_EQ(WideToAnsi(L""), "");
    EXPECT_EQ(Clamp(5.0, 0.0, 1.0), 1.0);
    EXPECT_EQ(Clamp(-1.0f, 0.0f, 1.0f), 0.0f);
    EXPECT_TRUE(SameDimensions(3, 4, 3, 4));
    EXPECT_FALSE(SameDimensions(3, 4, 4, 3));

    uint8_t pixels[6] = {};
    VovIredev::CPicImgBufExtern<uint8_t> view(2, 1, 3, 6, pixels);
    EXPECT_EQ(view.GetData(), pixels);
    VovIredev::CPicImgBufExternConst<uint8_t> source(2, 1, 3, 6, pixels);
    EXPECT_EQ(source.GetConstData(), pixels);
}

}  // namespace
