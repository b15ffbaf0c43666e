// The image object: loads from files and memory with detection, the JPEG
// reduction from the size hint (which never leaks into later reads), and
// conversions to 24 bits.
#include <cstring>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicImageEx.h"

using readertest::FixtureBytes;
using readertest::FixturePath;

TEST(PicImageEx, LoadsWithDetectionFromFileAndMemory) {
    struct Case {
        const char* file;
        int32_t type;  // after detection and refinement
        int32_t bits;
        int32_t width;
    } cases[] = {
        {"png_rgb8.png", CPicImageEx::FileTypePNG24, 24, 7},
        {"png_rgba8.png", CPicImageEx::FileTypePNG32, 32, 7},
        {"png_pal4.png", CPicImageEx::FileTypePNG8, 8, 7},
        {"png_pal1.png", CPicImageEx::FileTypePNG1, 1, 7},
        {"bmp24_master13x3.bmp", CPicImageEx::FileTypeBMP24, 24, 13},
        {"bmp8_master7x5.bmp", CPicImageEx::FileTypeBMP8, 8, 7},
        {"bmp1_master7x5.bmp", CPicImageEx::FileTypeBMP1, 1, 7},
        {"jpeg_rgb.jpg", CPicImageEx::FileTypeJPEG24, 24, 67},
        {"jpeg_grey.jpg", CPicImageEx::FileTypeJPEG8, 8, 67},
        {"gif_master7x5.gif", CPicImageEx::FileTypeGIF8, 8, 7},
    };
    for (const Case& c : cases) {
        CPicImageEx fromFile, fromMemory;
        ASSERT_EQ(fromFile.LoadFromFile(FixturePath(c.file), CPicImageEx::FileTypeUnknown, 0), PIC_ERR_OK) << c.file;
        std::string bytes = FixtureBytes(c.file);
        ASSERT_EQ(fromMemory.LoadFromMemory(bytes.data(), (uint32_t)bytes.size(), CPicImageEx::FileTypeUnknown, 0,
                                            nullptr),
                  PIC_ERR_OK)
            << c.file;
        for (CPicImageEx* image : {&fromFile, &fromMemory}) {
            EXPECT_EQ(image->GetFileType(), c.type) << c.file;
            EXPECT_EQ(image->GetBitsPerPixel(), c.bits) << c.file;
            EXPECT_EQ(image->GetWidth(), c.width) << c.file;
        }
        EXPECT_EQ(memcmp(fromFile.GetPixels(), fromMemory.GetPixels(), (size_t)fromFile.CalcBufferSize()), 0) << c.file;
        EXPECT_EQ(fromMemory.m_sourceName.Compare(L"memory"), 0);
    }
}

TEST(PicImageEx, ConversionsTo24BitsMatchTheReference) {
    for (const char* base : {"bmp8_master7x5", "bmp1_master7x5", "bmp4_master13x3"}) {
        CPicImageEx image;
        ASSERT_EQ(image.LoadFromFile(FixturePath((std::string(base) + ".bmp").c_str()), CPicImageEx::FileTypeUnknown, 0),
                  PIC_ERR_OK);
        ASSERT_EQ(image.ConvertTo24Bit(), PIC_ERR_OK) << base;
        EXPECT_EQ(image.GetBitsPerPixel(), 24);
        std::string expected = FixtureBytes((std::string(base) + ".rgb").c_str());
        EXPECT_EQ(memcmp(image.GetPixels(), expected.data(), expected.size()), 0) << base;
    }
    CPicImageEx rgba;
    ASSERT_EQ(rgba.LoadFromFile(FixturePath("png_rgba8.png"), CPicImageEx::FileTypeUnknown, 0), PIC_ERR_OK);
    ASSERT_EQ(rgba.ConvertTo24Bit(), PIC_ERR_OK);
    std::string expected = FixtureBytes("png_rgba8_d32_f0.raw");
    for (int i = 0; i < 35; ++i) ASSERT_EQ(memcmp(rgba.GetPixels() + i * 3, expected.data() + i * 4, 3), 0) << i;
    CPicImageEx empty;
    EXPECT_EQ(empty.ConvertTo24Bit(), PIC_ERR_BAD_PARAM);
}

TEST(PicImageEx, JpegReductionFromTheHintIsNotInherited) {
    CPicImageEx image;
    image.SetDecodeSizeHint(8, 5);  // below a quarter of 67 x 45, not below an eighth
    ASSERT_EQ(image.LoadFromFile(FixturePath("jpeg_rgb.jpg"), CPicImageEx::FileTypeJPEG24, 0), PIC_ERR_OK);
    EXPECT_EQ(image.GetWidth(), 17);
    EXPECT_EQ(image.GetHeight(), 12);
    EXPECT_EQ(image.m_originalWidth, 67);
    EXPECT_EQ(image.m_originalHeight, 45);
    EXPECT_EQ(GetThreadState()->readerSettings.dctScaleDenominator, 1) << "the scale is put back after the read";
    CPicImageEx next;
    ASSERT_EQ(next.LoadFromFile(FixturePath("jpeg_rgb.jpg"), CPicImageEx::FileTypeJPEG24, 0), PIC_ERR_OK);
    EXPECT_EQ(next.GetWidth(), 67);
    image.SetDecodeSizeHint(0, 0);
    EXPECT_EQ(image.ChooseJPEGScale(4000, 3000), 1) << "no hint";
    image.SetDecodeSizeHint(500, 375);
    EXPECT_EQ(image.ChooseJPEGScale(4000, 3000), 4) << "500 is not below 4000 / 8";
    image.SetDecodeSizeHint(499, 374);
    EXPECT_EQ(image.ChooseJPEGScale(4000, 3000), 8);
}

TEST(PicImageEx, CodesOfFailedLoads) {
    CPicImageEx image;
    EXPECT_EQ(image.LoadFromFile(L"", CPicImageEx::FileTypeUnknown, 0), PIC_ERR_FILE_OPEN);
    std::string unknown(100, 'q');
    EXPECT_EQ(image.LoadFromMemory(unknown.data(), 100, CPicImageEx::FileTypeUnknown, 0, L"a.xyz"), PIC_ERR_BAD_PARAM);
    EXPECT_EQ(image.LoadFromMemory(unknown.data(), 100, CPicImageEx::FileTypeUnknown, 0, L"a.tif"),
              PIC_ERR_BAD_TIFF)
        << "by extension a TIFF, which the TIFF reader refuses";
    std::string cut = FixtureBytes("bmp24_master7x5.bmp");
    cut.resize(cut.size() - 30);
    EXPECT_EQ(image.LoadFromMemory(cut.data(), (uint32_t)cut.size(), CPicImageEx::FileTypeUnknown, 0, nullptr),
              PIC_ERR_FILE_READ)
        << "an incomplete image keeps its code";
    EXPECT_TRUE(image.IsValid());
    image.Free();
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 0);
}

TEST(PicImageEx, TypeFromExtension) {
    struct Case {
        const WCHAR* path;
        int32_t type;
    } cases[] = {{L"a.BMP", 2}, {L"x.wbm", 21}, {L"c:\\d.e\\f.Jpeg", 0}, {L"g.tiff", 10}, {L"h.gif", 26},
                 {L"i.png", 6}, {L"j.emf", 18}, {L"k.psd", 19},        {L"noext", 27},    {L"l.pcd", 27}};
    for (const Case& c : cases) EXPECT_EQ(CPicImageEx::TypeFromExtension(c.path), c.type);
}
