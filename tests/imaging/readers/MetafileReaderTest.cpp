// Metafile reader: enhanced and old-style metafiles made here with GDI calls
// (the placeable header added by hand) are played into bitmaps; sizes
// follow the format's rules (the placeable inch divided by 2540.1/2540, the
// enhanced frame through the reference device), colours the rectangles
// drawn. The hostile table holds headers that would divide by zero or ask
// for a bitmap from garbage.
#include <cstring>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/core/PicUtil.h"
#include "imaging/readers/PicGenericReader.h"
#include "imaging/readers/PicImageEx.h"
#include "imaging/readers/PicMetafileReader.h"
#include "imaging/readers/PicSources.h"

using readertest::GlobalBlock;
using readertest::Put16;
using readertest::Put32;
using readertest::Source;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);

// Fills the left half of a w x h logical area red.
void DrawLeftHalfRed(HDC dc, int w, int h) {
    HBRUSH red = CreateSolidBrush(kRed);
    RECT left = {0, 0, w / 2, h};
    FillRect(dc, &left, red);
    DeleteObject(red);
}

// An enhanced metafile of a 2 x 1 inch frame, left half red.
std::string MakeEmf() {
    RECT frame = {0, 0, 5080, 2540};  // hundredths of a millimetre
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
    HDC screen = GetDC(nullptr);
    int w = MulDiv(5080, GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, HORZSIZE) * 100);
    int h = MulDiv(2540, GetDeviceCaps(screen, VERTRES), GetDeviceCaps(screen, VERTSIZE) * 100);
    ReleaseDC(nullptr, screen);
    DrawLeftHalfRed(dc, w, h);
    return readertest::EnhancedMetafileBytes(CloseEnhMetaFile(dc));
}

// Old-style records drawing the left half of 1440 x 720 units red.
std::string MakeWmfRecords() {
    HDC dc = CreateMetaFileW(nullptr);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetWindowExtEx(dc, 1440, 720, nullptr);
    DrawLeftHalfRed(dc, 1440, 720);
    HMETAFILE wmf = CloseMetaFile(dc);
    UINT size = GetMetaFileBitsEx(wmf, 0, nullptr);
    std::string bytes(size, '\0');
    GetMetaFileBitsEx(wmf, size, bytes.data());
    DeleteMetaFile(wmf);
    return bytes;
}

std::string Placeable(int16_t left, int16_t top, int16_t right, int16_t bottom, uint16_t perInch) {
    std::string h;
    Put32(h, 0x9AC6CDD7);
    Put16(h, 0);
    Put16(h, (uint16_t)left);
    Put16(h, (uint16_t)top);
    Put16(h, (uint16_t)right);
    Put16(h, (uint16_t)bottom);
    Put16(h, perInch);
    Put32(h, 0);
    uint16_t sum = 0;
    for (size_t i = 0; i < h.size(); i += 2) sum ^= (uint16_t)((uint8_t)h[i] | (uint8_t)h[i + 1] << 8);
    Put16(h, sum);
    return h;
}

std::string PlaceableWmf() { return Placeable(0, 0, 1440, 720, 1440) + MakeWmfRecords(); }

struct Rendered {
    GlobalBlock pixels;
    int32_t width = 0;
    int32_t height = 0;
    int32_t code = -1;
};

void RenderFile(const CString& path, int32_t W, int32_t H, uint32_t flags, Rendered& out) {
    std::string name = WideToAnsi(path);
    out.pixels.reset(pic_ReadMetafile(name.c_str(), &out.width, &out.height, W, H, 0, flags));
    out.code = pic_GetLastError();
}

uint32_t Pixel(const uint8_t* rgb, int32_t width, int32_t x, int32_t y) {
    const uint8_t* p = rgb + 3 * ((size_t)y * width + x);
    return (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
}

int ScreenDpi(int index) {
    HDC dc = CreateCompatibleDC(nullptr);
    int dpi = GetDeviceCaps(dc, index);
    DeleteDC(dc);
    return dpi;
}

// Left quarter red, right quarter black (the background).
void ExpectLeftHalfRed(const uint8_t* rgb, int32_t width, int32_t height) {
    EXPECT_EQ(Pixel(rgb, width, width / 4, height / 2), 0xFF0000u);
    EXPECT_EQ(Pixel(rgb, width, 3 * width / 4, height / 2), 0x000000u);
}

}  // namespace

TEST(MetafileReader, SizesFollowTheHeadersAndTheFlags) {
    qvtest::TempFolder folder;
    CString wmf = folder.WriteFile(L"picture.wmf", PlaceableWmf());
    std::string emfBytes = MakeEmf();
    CString emf = folder.WriteFile(L"picture.emf", emfBytes);
    // The placeable rule: inches of 2540.1/2540 at the screen's resolution.
    int32_t wmfWidth = (int32_t)(ScreenDpi(LOGPIXELSX) * (2540 / 2540.1));
    int32_t wmfHeight = (int32_t)((1270 / 2540.1) * ScreenDpi(LOGPIXELSY));
    // The enhanced rule: the frame through the reference device's pixels per millimetre.
    const ENHMETAHEADER* h = (const ENHMETAHEADER*)emfBytes.data();
    double perX = h->szlDevice.cx / (100.0 * h->szlMillimeters.cx);
    double perY = h->szlDevice.cy / (100.0 * h->szlMillimeters.cy);
    int32_t emfWidth = (int32_t)((float)h->rclFrame.right * perX) - (int32_t)((float)h->rclFrame.left * perX);
    int32_t emfHeight = (int32_t)((float)h->rclFrame.bottom * perY) - (int32_t)((float)h->rclFrame.top * perY);
    struct Case {
        const char* what;
        const CString& path;
        int32_t W, H;
        uint32_t flags;
        int32_t width, height;
    } cases[] = {
        {"placeable at its own size", wmf, 100, 100, 0, wmfWidth, wmfHeight},
        {"placeable at W x H", wmf, 100, 100, PIC_METAFILE_FIXED_SIZE, 100, 100},
        {"150 multiplies by 1", wmf, 150, 150, PIC_METAFILE_MULTIPLY, wmfWidth, wmfHeight},
        {"250 multiplies by 2", wmf, 250, 100, PIC_METAFILE_MULTIPLY, 2 * wmfWidth, wmfHeight},
        {"enhanced at its own size", emf, 100, 100, 0, emfWidth, emfHeight},
        {"enhanced at W x H", emf, 64, 31, PIC_METAFILE_FIXED_SIZE, 64, 31},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rendered r;
        RenderFile(c.path, c.W, c.H, c.flags, r);
        ASSERT_EQ(r.code, PIC_ERR_OK);
        EXPECT_EQ(r.width, c.width);
        EXPECT_EQ(r.height, c.height);
        ExpectLeftHalfRed(r.pixels.data, r.width, r.height);
    }
    Rendered dib;
    RenderFile(wmf, 100, 100, PIC_METAFILE_FIXED_SIZE | PIC_METAFILE_DIB, dib);
    ASSERT_EQ(dib.code, PIC_ERR_OK);
    const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)dib.pixels.data;
    EXPECT_EQ(header->biWidth, 100);
    EXPECT_EQ(header->biBitCount, 24);
    const uint8_t* row = dib.pixels.data + 40;
    EXPECT_EQ(row[3 * 10 + 2], 255) << "red, stored blue first";
    EXPECT_EQ(row[3 * 10], 0);
}

TEST(MetafileReader, OldStyleFilesWithoutTheHeaderRender) {
    qvtest::TempFolder folder;
    CString path = folder.WriteFile(L"plain.wmf", MakeWmfRecords());
    Rendered r;
    RenderFile(path, 100, 100, PIC_METAFILE_FIXED_SIZE, r);
    ASSERT_EQ(r.code, PIC_ERR_OK);
    EXPECT_EQ(r.width, 100);
    EXPECT_EQ(Pixel(r.pixels.data, 100, 10, 50), 0xFF0000u);
    // The same bits from memory, as a decrypted picture arrives, are played alike.
    Source memory(Source::kMemory, MakeWmfRecords());
    int32_t w = 0, h = 0;
    GlobalBlock block(pic_ReadMetafileSource(memory, &w, &h, 100, 100, 0, PIC_METAFILE_FIXED_SIZE));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    ASSERT_EQ(w, 100);
    ASSERT_EQ(h, 100);
    EXPECT_EQ(memcmp(block.data, r.pixels.data, 3 * 100 * 100), 0);
}

TEST(MetafileReader, HostileHeadersAreRefused) {
    std::string emf = MakeEmf();
    auto patched = [&](size_t at, std::initializer_list<int32_t> values) {
        std::string b = emf;
        for (int32_t v : values) {
            memcpy(&b[at], &v, 4);
            at += 4;
        }
        return b;
    };
    std::string records = MakeWmfRecords();
    std::string zeroRecord = records;  // the first record after the header of no size
    memset(&zeroRecord[18], 0, 4);
    std::string zeroEnhancedRecord = emf;  // the record after the header of no size
    memset(&zeroEnhancedRecord[((const ENHMETAHEADER*)emf.data())->nSize + 4], 0, 4);
    std::string wordsBeyond = records;  // a header that counts more words than there are
    uint32_t words = (uint32_t)records.size();
    memcpy(&wordsBeyond[6], &words, 4);
    struct Case {
        const char* fault;
        std::string bytes;
        const WCHAR* name;
        int32_t code;
    } cases[] = {
        {"placeable right before left", Placeable(100, 0, 50, 720, 1440) + records, L"a.wmf", PIC_ERR_BAD_METAFILE},
        {"placeable bottom before top", Placeable(0, 720, 1440, 0, 1440) + records, L"b.wmf", PIC_ERR_BAD_METAFILE},
        {"placeable of no width", Placeable(5, 0, 5, 720, 1440) + records, L"c.wmf", PIC_ERR_BAD_METAFILE},
        {"placeable 0 units per inch", Placeable(0, 0, 1440, 720, 0) + records, L"d.wmf", PIC_ERR_BAD_METAFILE},
        {"placeable of 32767 inches", Placeable(-32768, 0, 32767, 720, 1) + records, L"e.wmf",
         PIC_ERR_BAD_METAFILE},
        {"enhanced frame of no extent", patched(24, {0, 0, 0, 0}), L"f.emf", PIC_ERR_BAD_METAFILE},
        {"enhanced frame of 20 metres", patched(24, {0, 0, 2000000, 2000000}), L"g.emf", PIC_ERR_BAD_METAFILE},
        {"enhanced frame upside down", patched(24, {0, 2540, 5080, 0}), L"h.emf", PIC_ERR_BAD_METAFILE},
        {"millimetres of 0", patched(80, {0, 0}), L"i.emf", PIC_ERR_BAD_METAFILE},
        {"an empty file", std::string(), L"j.wmf", PIC_ERR_BAD_METAFILE},
        {"an old-style record of no size would play for ever", zeroRecord, L"k.wmf", PIC_ERR_BAD_METAFILE},
        {"the same behind a placeable header", Placeable(0, 0, 1440, 720, 1440) + zeroRecord, L"l.wmf",
         PIC_ERR_BAD_METAFILE},
        {"an enhanced record of no size", zeroEnhancedRecord, L"m.emf", PIC_ERR_BAD_METAFILE},
        {"old-style header counting past the end", wordsBeyond, L"n.wmf", PIC_ERR_BAD_METAFILE},
        {"not a metafile at all", std::string(300, 'x'), L"o.wmf", PIC_ERR_BAD_METAFILE},
    };
    qvtest::TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        CString path = folder.WriteFile(c.name, c.bytes);
        Rendered r;
        RenderFile(path, 100, 100, 0, r);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.pixels.data, nullptr);
        EXPECT_EQ(readertest::CallDepth(), 0);
        if (c.bytes.empty()) continue;
        Source memory(Source::kMemory, c.bytes);
        GlobalBlock block(pic_ReadMetafileSource(memory, &r.width, &r.height, 100, 100, 0, 0));
        EXPECT_EQ(pic_GetLastError(), c.code) << "from memory";
        EXPECT_EQ(block.data, nullptr);
    }
    Rendered missing;
    RenderFile(folder / L"missing.emf", 100, 100, 0, missing);
    EXPECT_EQ(missing.code, PIC_ERR_FILE_OPEN);
    int32_t w = 1, h = 1;
    EXPECT_EQ(pic_ReadMetafile(nullptr, &w, &h, 100, 100, 0, 0), nullptr);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM);
    EXPECT_EQ(w, 0);
}

TEST(MetafileReader, LoadsThroughTheImageObjectAndTheGenericReader) {
    qvtest::TempFolder folder;
    struct Case {
        const WCHAR* name;
        std::string bytes;
        int32_t type;
    } cases[] = {
        {L"picture.wmf", PlaceableWmf(), CPicImageEx::FileTypeWMF},
        {L"picture.emf", MakeEmf(), CPicImageEx::FileTypeEMF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CString(c.name).ToUtf8());
        CString path = folder.WriteFile(c.name, c.bytes);
        Rendered reference;
        RenderFile(path, 100, 100, 0, reference);
        ASSERT_EQ(reference.code, PIC_ERR_OK);
        CPicImageEx fromFile, fromMemory, byExtension;
        ASSERT_EQ(fromFile.LoadFromFile(path, CPicImageEx::FileTypeUnknown, 0), PIC_ERR_OK);
        ASSERT_EQ(byExtension.LoadFromFile(path, CPicImageEx::TypeFromExtension(path), 0), PIC_ERR_OK);
        ASSERT_EQ(fromMemory.LoadFromMemory(c.bytes.data(), (uint32_t)c.bytes.size(), CPicImageEx::FileTypeUnknown, 0,
                                            nullptr),
                  PIC_ERR_OK);
        size_t size = 3ull * reference.width * reference.height;
        for (CPicImageEx* image : {&fromFile, &byExtension, &fromMemory}) {
            EXPECT_EQ(image->GetFileType(), c.type);
            EXPECT_EQ(image->GetBitsPerPixel(), 24);
            ASSERT_EQ(image->GetWidth(), reference.width);
            ASSERT_EQ(image->GetHeight(), reference.height);
            EXPECT_EQ(memcmp(image->GetPixels(), reference.pixels.data, size), 0);
        }
        for (Source::Kind kind : {Source::kFile, Source::kMemory}) {
            Source source(kind, c.bytes, c.name);
            int32_t w = 0, h = 0;
            GlobalBlock rgb(pic_ReadImage(source, &w, &h, PIC_KIND_RGB, 0));
            ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
            EXPECT_EQ(w, 100) << "the generic reader renders at the thread's 100 x 100";
            EXPECT_EQ(h, 100);
            ExpectLeftHalfRed(rgb.data, w, h);
            GlobalBlock dib(pic_ReadImage(source, &w, &h, PIC_KIND_DIB, 0));
            ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
            EXPECT_EQ(((const BITMAPINFOHEADER*)dib.data)->biWidth, 100);
        }
    }
}
