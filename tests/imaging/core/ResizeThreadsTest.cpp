// The band-threaded resizers on the pool: any band count gives the bytes of
// one thread, a cancel from the submitter's callback stops every band, and
// several threads resizing at once do not disturb each other.
#include "tests/QvTest.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "imaging/core/PicEntryPoints.h"
#include "imaging/core/PicResizeBase.h"
#include "tests/imaging/core/ImagingTestSupport.h"

namespace {

constexpr uint32_t kNoThreads = 0x100000;

// One resize: runs with the given flags and hands back the destination bytes.
struct ThreadedCase {
    const char* name;
    std::function<std::vector<uint8_t>(uint32_t flags)> run;
};

// A typed resize of a 97 x 61 random source to dw x dh through pic_ResizeImage.
template <class T>
std::function<std::vector<uint8_t>(uint32_t)> Typed(uint32_t typeFlags, uint32_t channels, uint32_t method,
                                                    uint32_t dw, uint32_t dh) {
    return [=](uint32_t flags) {
        const uint32_t sw = 97, sh = 61, sstride = sw * channels + 1, dstride = dw * channels;
        std::vector<uint8_t> bytes = imgtest::RandomBytes((size_t)sstride * sh * sizeof(T), 400 + method + channels);
        std::vector<T> src((size_t)sstride * sh), dst((size_t)dstride * dh);
        for (size_t i = 0; i < src.size(); ++i) src[i] = (T)(bytes[i * sizeof(T)] * (sizeof(T) == 1 ? 1 : 257));
        EXPECT_TRUE(pic_ResizeImage(src.data(), sw, sh, sstride, dst.data(), dw, dh, dstride, channels, method,
                                    flags | typeFlags))
            << pic_GetLastError();
        std::vector<uint8_t> out(dst.size() * sizeof(T));
        memcpy(out.data(), dst.data(), out.size());
        return out;
    };
}

std::vector<uint8_t> OneBitSource() { return imgtest::RandomBytes(13 * 61, 410); }  // 97 x 61, stride 13

std::vector<ThreadedCase> Cases() {
    return {
        {"bilinear, 16-bit, 4 channels", Typed<uint16_t>(0x200, 4, PIC_RESIZE_BILINEAR, 211, 150)},
        {"bilinear, float, 3 channels", Typed<float>(0x600, 3, PIC_RESIZE_BILINEAR, 40, 23)},
        {"bilinear, double, 1 channel", Typed<double>(0x400, 1, PIC_RESIZE_BILINEAR, 211, 150)},
        {"bicubic, 16-bit, 3 channels", Typed<uint16_t>(0x200, 3, PIC_RESIZE_BICUBIC, 211, 150)},
        {"bicubic, float, 3 channels", Typed<float>(0x600, 3, PIC_RESIZE_BICUBIC, 40, 23)},
        {"bicubic, double, 2 channels", Typed<double>(0x400, 2, PIC_RESIZE_BICUBIC, 211, 150)},
        {"bicubic, 8-bit, 5 channels", Typed<uint8_t>(0, 5, PIC_RESIZE_BICUBIC, 211, 150)},
        {"bicubic, 8-bit, 4 channels", Typed<uint8_t>(0, 4, PIC_RESIZE_BICUBIC, 211, 150)},
        {"bicubic, 8-bit, 1 channel", Typed<uint8_t>(0, 1, PIC_RESIZE_BICUBIC, 40, 23)},
        {"box, 16-bit, 1 channel", Typed<uint16_t>(0x200, 1, PIC_RESIZE_DECIMATE, 40, 23)},
        {"area, float, 3 channels", Typed<float>(0x600, 3, PIC_RESIZE_DECIMATE_EX, 40, 23)},
        {"area, double, 4 channels", Typed<double>(0x400, 4, PIC_RESIZE_DECIMATE_EX, 33, 30)},
        {"Lanczos-3, 8-bit, 3 channels", Typed<uint8_t>(0, 3, PIC_RESIZE_LANCZOS3, 40, 23)},
        {"Mitchell, 8-bit, 4 channels", Typed<uint8_t>(0, 4, PIC_RESIZE_MITCHELL, 211, 150)},
        {"1-bit to gray, Catmull-Rom",
         [](uint32_t flags) {
             std::vector<uint8_t> src = OneBitSource(), dst(211 * 150);
             EXPECT_TRUE(pic_ResizeImage1To8Gray(src.data(), 97, 61, 13, dst.data(), 211, 150, 211,
                                                 PIC_RESIZE_CATMULL_ROM, flags));
             return dst;
         }},
        {"1-bit bilinear",
         [](uint32_t flags) {
             std::vector<uint8_t> src = OneBitSource(), dst(27 * 150);
             EXPECT_TRUE(pic_ResizeImage1(src.data(), 97, 61, 13, dst.data(), 211, 150, 27, 0, PIC_RESIZE_BILINEAR,
                                          flags));
             return dst;
         }},
    };
}

TEST(ResizeThreads, EveryBandCountGivesTheBytesOfOneThread) {
    for (const ThreadedCase& c : Cases()) {
        const std::vector<uint8_t> alone = c.run(kNoThreads);
        for (uint32_t bands = 1; bands <= 8; ++bands) {
            imgtest::BandCount count(bands);
            EXPECT_EQ(c.run(0), alone) << c.name << ", " << bands << " bands";
        }
    }
}

// Grows the image until the pool asks the submitter's callback while bands
// still run (it asks at its polling interval); the callback says stop.
template <class T>
void CheckCancel(const char* name, uint32_t method, uint32_t typeFlags) {
    imgtest::BandCount count(4);
    bool asked = false;
    for (uint32_t side = 1024; side <= 16384 && !asked; side *= 2) {
        const uint32_t dw = side - 7, dh = side / 2;
        std::vector<T> src((size_t)side * side / 2, (T)100), dst((size_t)dw * dh, (T)0xA5);
        for (size_t i = 0; i < src.size(); i += 3) src[i] = (T)200;
        SetProgressCallback(
            [](uint32_t, uint32_t, void* user) -> BOOL {
                *static_cast<bool*>(user) = true;
                return FALSE;
            },
            &asked);
        BOOL ok = pic_ResizeImage(src.data(), side, side / 2, side, dst.data(), dw, dh, dw, 1, method, typeFlags);
        SetProgressCallback(nullptr, nullptr);
        if (!asked) {
            EXPECT_TRUE(ok) << name;
            continue;
        }
        EXPECT_FALSE(ok) << name;
        EXPECT_EQ(pic_GetLastError(), PIC_ERR_CANCELLED) << name;
        EXPECT_NE(std::count(dst.begin(), dst.end(), (T)0xA5), 0) << name << ": the bands stopped before their end";
    }
    EXPECT_TRUE(asked) << name << ": no image was large enough to be asked";
}

TEST(ResizeThreads, ACancelStopsEveryBandWith14) {
    // The sinc filter does the most work per byte of image: the smallest image that outlasts the question.
    CheckCancel<uint8_t>("filtered", PIC_RESIZE_SINC, 0);
}

TEST(ResizeThreads, EightThreadsAtOnceGiveIdenticalBytes) {
    const std::vector<ThreadedCase> cases = Cases();
    std::vector<std::vector<uint8_t>> expected;
    for (const ThreadedCase& c : cases) expected.push_back(c.run(kNoThreads));
    std::vector<std::string> mismatches[8];
    std::vector<std::function<void()>> bodies;
    for (int t = 0; t < 8; ++t)
        bodies.push_back([&, t] {
            for (int round = 0; round < 2; ++round)
                for (size_t i = 0; i < cases.size(); ++i) {
                    const size_t k = (i + (size_t)t) % cases.size();  // threads start on different resizers
                    if (cases[k].run(0) != expected[k]) mismatches[t].push_back(cases[k].name);
                }
        });
    std::vector<HANDLE> threads;
    for (auto& body : bodies) threads.push_back(imgtest::StartThread(body));
    ASSERT_EQ(WaitForMultipleObjects((DWORD)threads.size(), threads.data(), TRUE, 120000), WAIT_OBJECT_0);
    for (HANDLE h : threads) CloseHandle(h);
    for (int t = 0; t < 8; ++t) EXPECT_TRUE(mismatches[t].empty()) << "thread " << t << ": " << mismatches[t].front();
}

}  // namespace
