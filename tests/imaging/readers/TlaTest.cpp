// TLA pictures and their cipher: the Sapphire II hash and key stream against
// an independent model's bytes, every depth and output code against the
// generator's pixels, protected files with their password, packed bitmaps,
// list blocks, progress, the generic reader, hostile streams, and wiping.
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "../../QvTest.h"
#include "ReaderTestSupport.h"
#include "framework/base/WipedMemory.h"
#include "imaging/core/PicSizes.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicGenericReader.h"
#include "imaging/readers/PicReaderFrame.h"
#include "imaging/readers/PicTlaCipher.h"
#include "imaging/readers/PicTlaReader.h"

using readertest::FixtureBytes;
using readertest::GlobalBlock;
using readertest::Put16;
using readertest::Put32;
using readertest::Source;

namespace {

std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out += (char)std::stoi(hex.substr(i, 2), nullptr, 16);
    return out;
}

const uint8_t* U8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Expected pixels with an alpha byte added to every red-green-blue pixel.
std::string WithAlpha(const std::string& rgb, uint8_t alpha) {
    std::string out;
    for (size_t i = 0; i < rgb.size(); i += 3) out += rgb.substr(i, 3) + (char)alpha;
    return out;
}

constexpr int32_t W = 7, H = 5;

// A hand-built unprotected stream.
struct TlaBuilder {
    uint32_t width = 3, height = 2, bpp = 3, colours = 0, version = 1;
    std::string palette;
    uint32_t paletteLength = UINT32_MAX;  // as declared; default: the palette's size
    std::vector<std::string> items;
    bool compression = true;
    std::string frames;

    static void Chunk(std::string& out, uint32_t type, uint32_t length) {
        out += '\0';
        Put16(out, type);
        Put32(out, length);
    }
    // One frame chunk of raw rows; compressed by zlib unless given.
    TlaBuilder& Frame(uint32_t rows, const std::string& data, uint32_t flags = 0, const std::string* packed = nullptr,
                      uint32_t declaredSize = UINT32_MAX) {
        std::string z;
        if (packed != nullptr) {
            z = *packed;
        } else {
            uLongf size = compressBound(data.size());
            z.resize(size);
            compress((Bytef*)&z[0], &size, (const Bytef*)data.data(), data.size());
            z.resize(size);
        }
        Chunk(frames, 106, 8);
        Put32(frames, declaredSize == UINT32_MAX ? (uint32_t)z.size() : declaredSize);
        Put16(frames, rows);
        Put16(frames, flags);
        frames += z;
        return *this;
    }
    std::string Bytes() const {
        std::string out = "TLAU";
        Chunk(out, 100, 2);
        Put16(out, version);
        Chunk(out, 101, 8);
        Put16(out, width);
        Put16(out, height);
        Put16(out, bpp);
        Put16(out, colours);
        Chunk(out, 104, paletteLength == UINT32_MAX ? (uint32_t)palette.size() : paletteLength);
        out += palette;
        Chunk(out, 102, 2);
        Put16(out, (uint32_t)items.size());
        for (const std::string& item : items) {
            Chunk(out, 1, (uint32_t)item.size());
            out += item;
        }
        if (compression) {
            Chunk(out, 103, 0);
            out += frames;
        }
        return out;
    }
};

struct ReadResult {
    int32_t code;
    int32_t width, height;
    std::string pixels;
};

ReadResult Read(const std::string& bytes, int32_t outputCode, const char* password = nullptr, uint32_t flags = 0,
                RGBQUAD* palette = nullptr, size_t expectBytes = 0) {
    Source source(Source::kMemory, bytes);
    int32_t w = -1, h = -1;
    GlobalBlock block(pic_ReadTLA(source, &w, &h, password, outputCode, palette, flags));
    ReadResult r{pic_GetLastError(), w, h, ""};
    size_t size = expectBytes != 0 ? expectBytes : (size_t)(w > 0 ? w : 0) * (h > 0 ? h : 0) * outputCode;
    if (block.data != nullptr) r.pixels.assign((const char*)block.data, size);
    return r;
}

}  // namespace

TEST(TlaCipher, HashAndKeyStreamMatchTheModel) {
    std::ifstream lines(std::string(QV_READER_FIXTURES) + "/tla_cipher.txt");
    std::string line;
    int checked = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string kind, a, b, c;
        fields >> kind >> a >> b >> c;
        if (kind == "hash") {
            TlaKey key;
            key.FromPassword(FromHex(a).c_str());
            EXPECT_EQ(key.present, 1);
            EXPECT_EQ(std::string((const char*)key.bytes, 32), FromHex(b)) << a;
        } else {
            std::string key = FromHex(a), plain = FromHex(b), cipher = FromHex(c);
            SapphireCipher encrypt;
            encrypt.SetKey(U8(key), (uint32_t)key.size());
            std::string out;
            for (char p : plain) out += (char)encrypt.EncryptByte((uint8_t)p);
            EXPECT_EQ(out, cipher) << "key " << a;
            SapphireCipher decrypt;
            decrypt.SetKey(U8(key), (uint32_t)key.size());
            decrypt.DecryptBytes((uint8_t*)&out[0], out.size());
            EXPECT_EQ(out, plain) << "key " << a;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 6);
    TlaKey none;
    none.FromPassword("");
    EXPECT_EQ(none.present, 0) << "an empty password gives no key";
    none.FromPassword(nullptr);
    EXPECT_EQ(none.present, 0);
}

TEST(TlaCipher, StreamRunsOnAcrossBuffers) {
    const uint8_t key[] = {7, 7, 7};
    std::string zeros(16, '\0');
    SapphireCipher one, first, second;
    one.SetKey(key, 3);
    first.SetKey(key, 3);
    second.SetKey(key, 3);
    std::string a = zeros, b = zeros, fa = zeros, fb = zeros;
    one.DecryptBytes((uint8_t*)&a[0], 16);
    one.DecryptBytes((uint8_t*)&b[0], 16);
    first.DecryptBytes((uint8_t*)&fa[0], 16);
    second.DecryptBytes((uint8_t*)&fb[0], 16);
    EXPECT_EQ(a, fa) << "same key, same stream";
    EXPECT_NE(b, fb) << "one cipher runs on";
}

TEST(TlaCipher, StateAndKeyAreWipedWhenDestroyed) {
    alignas(SapphireCipher) unsigned char cipherRoom[sizeof(SapphireCipher)] = {};  // padding stays 0
    SapphireCipher* cipher = new (cipherRoom) SapphireCipher;
    const uint8_t key[] = {1, 2, 3, 4};
    cipher->SetKey(key, 4);
    cipher->DecryptByte(9);
    cipher->~SapphireCipher();
    EXPECT_EQ(std::string((const char*)cipherRoom, sizeof cipherRoom), std::string(sizeof cipherRoom, '\0'));

    alignas(TlaKey) unsigned char keyRoom[sizeof(TlaKey)];
    TlaKey* tlaKey = new (keyRoom) TlaKey;
    tlaKey->FromPassword("secret");
    tlaKey->~TlaKey();
    EXPECT_EQ(std::string((const char*)keyRoom + 1, 32), std::string(32, '\0'));
}

TEST(TlaReader, EveryDepthAndOutputCode) {
    std::string pal = FixtureBytes("tla_pal.rgb"), rgb = FixtureBytes("tla_rgb.rgb");
    std::string rgba = FixtureBytes("tla_rgba.rgba"), w555 = FixtureBytes("tla_555.rgb");
    std::string rgba555 = FixtureBytes("tla_555.rgba"), pal300 = FixtureBytes("tla_pal300.rgb");
    std::string rgbOfRgba;
    for (size_t i = 0; i < rgba.size(); i += 4) rgbOfRgba += rgba.substr(i, 3);
    struct Case {
        const char* file;
        const char* password;
        int32_t outputCode;
        std::string expected;
    } cases[] = {
        {"tla_pal.tla", nullptr, 3, pal},
        {"tla_pal.tla", nullptr, 4, WithAlpha(pal, 0)},  // the entries' fourth byte
        {"tla_rgb.tla", nullptr, 3, rgb},
        {"tla_rgb.tla", nullptr, 4, WithAlpha(rgb, 0xFF)},
        {"tla_rgba.tla", nullptr, 4, rgba},
        {"tla_rgba.tla", nullptr, 3, rgbOfRgba},
        {"tla_555.tla", nullptr, 3, w555},  // red from the top bits, as at 32 bits
        {"tla_555.tla", nullptr, 4, rgba555},
        {"tla_pal300.tla", nullptr, 3, pal300},
        {"tla_rgb_pw.tla", "secret", 3, rgb},
        {"tla_pal_pw.tla", "secret", 3, pal},
    };
    for (const Case& c : cases) {
        ReadResult r = Read(FixtureBytes(c.file), c.outputCode, c.password);
        EXPECT_EQ(r.code, PIC_ERR_OK) << c.file << " code " << c.outputCode;
        EXPECT_EQ(r.width, W);
        EXPECT_EQ(r.height, H);
        EXPECT_EQ(r.pixels, c.expected) << c.file << " code " << c.outputCode;
    }
}

TEST(TlaReader, IndicesWithPaletteAndSixteenBitWords) {
    RGBQUAD palette[256];
    memset(palette, 0xAB, sizeof palette);
    ReadResult r = Read(FixtureBytes("tla_pal.tla"), 1, nullptr, 0, palette);
    ASSERT_EQ(r.code, PIC_ERR_OK);
    std::string expected = FixtureBytes("tla_pal.rgb"), looked;
    for (char index : r.pixels) {
        const RGBQUAD& q = palette[(uint8_t)index];
        looked += std::string{(char)q.rgbRed, (char)q.rgbGreen, (char)q.rgbBlue};
    }
    EXPECT_EQ(looked, expected);
    EXPECT_EQ(palette[200].rgbRed, 0) << "entries past the stored ones are cleared";

    ReadResult words = Read(FixtureBytes("tla_555.tla"), 2);
    ASSERT_EQ(words.code, PIC_ERR_OK);
    std::string rgba = FixtureBytes("tla_555.rgba");
    for (int i = 0; i < W * H; ++i) {
        uint16_t v;
        memcpy(&v, words.pixels.data() + 2 * i, 2);
        EXPECT_EQ((uint8_t)((v >> 7) & 0xF8), (uint8_t)rgba[4 * i]) << "stored words come out as they are";
        EXPECT_EQ((v & 0x8000) != 0, (uint8_t)rgba[4 * i + 3] == 0xFF);
    }
}

TEST(TlaReader, DimensionsListBlocksAndRefusals) {
    Source source(Source::kMemory, FixtureBytes("tla_pal.tla"));
    int32_t w = 0, h = 0, bits = 0;
    ASSERT_TRUE(pic_GetTLADims_(source, &w, &h, &bits, nullptr, nullptr));
    EXPECT_EQ(w, W);
    EXPECT_EQ(h, H);
    EXPECT_EQ(bits, 8);
    PicPtrVector<CFileDataTag>& tags = GetThreadState()->tlaListTags;
    ASSERT_EQ(tags.Size(), 2u) << "list blocks also after the dimensions alone";
    EXPECT_EQ(tags[0]->id, 0);
    EXPECT_EQ(std::string((const char*)tags[0]->bytes.data, tags[0]->bytes.count), "first block");
    EXPECT_EQ(tags[1]->bytes.count, 3u);

    Source rgb(Source::kMemory, FixtureBytes("tla_rgb.tla"));
    ASSERT_TRUE(pic_GetTLADims_(rgb, &w, &h, &bits, nullptr, nullptr));
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(tags.Size(), 0u) << "the next stream's (empty) list replaces them";

    EXPECT_EQ(Read(FixtureBytes("tla_rgb.tla"), 1).code, PIC_ERR_BAD_PARAM) << "indices of a 3-byte image";
    EXPECT_EQ(Read(FixtureBytes("tla_rgb.tla"), 5).code, PIC_ERR_BAD_PARAM);
    EXPECT_EQ(Read(FixtureBytes("tla_rgb.tla"), 0).code, PIC_ERR_BAD_PARAM);
    EXPECT_EQ(Read(FixtureBytes("tla_rgb_pw.tla"), 3).code, PIC_ERR_BAD_TLA) << "protected without its password";
    EXPECT_EQ(Read(FixtureBytes("tla_rgb_pw.tla"), 3, "wrong").code, PIC_ERR_BAD_TLA);
}

TEST(TlaReader, PackedBitmapsAndPaddedRows) {
    std::string rgb = FixtureBytes("tla_rgb.rgb");
    ReadResult dib = Read(FixtureBytes("tla_rgb.tla"), 3, nullptr, PIC_READ_DIB, nullptr, 40 + 24 * H);
    ASSERT_EQ(dib.code, PIC_ERR_OK);
    const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)dib.pixels.data();
    EXPECT_EQ(header->biWidth, W);
    EXPECT_EQ(header->biHeight, H);
    EXPECT_EQ(header->biBitCount, 24);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(dib.pixels[40 + (H - 1 - y) * 24 + 3 * x + c], rgb[3 * (y * W + x) + 2 - c]) << x << "," << y;

    std::string pal = FixtureBytes("tla_pal.rgb");
    ReadResult indexed = Read(FixtureBytes("tla_pal.tla"), 3, nullptr, PIC_READ_DIB, nullptr, 40 + 1024 + 8 * H);
    ASSERT_EQ(indexed.code, PIC_ERR_OK);
    header = (const BITMAPINFOHEADER*)indexed.pixels.data();
    EXPECT_EQ(header->biBitCount, 8);
    EXPECT_EQ(header->biClrUsed, 256u);
    const RGBQUAD* table = (const RGBQUAD*)(indexed.pixels.data() + 40);
    uint8_t topLeft = (uint8_t)indexed.pixels[40 + 1024 + (H - 1) * 8];
    EXPECT_EQ(table[topLeft].rgbRed, (uint8_t)pal[0]);
    EXPECT_EQ(table[topLeft].rgbBlue, (uint8_t)pal[2]);

    ReadResult wide = Read(FixtureBytes("tla_555.tla"), 3, nullptr, PIC_READ_DIB, nullptr, 40 + 28 * H);
    EXPECT_EQ(((const BITMAPINFOHEADER*)wide.pixels.data())->biBitCount, 32) << "2-byte pixels as 32 bits";

    ReadResult padded = Read(FixtureBytes("tla_rgb.tla"), 3, nullptr, PIC_READ_DIB_ROWS, nullptr, 24 * H);
    ASSERT_EQ(padded.code, PIC_ERR_OK);
    EXPECT_EQ(padded.pixels.substr(24, 21), rgb.substr(21, 21)) << "rows of 21 bytes padded to 24";
}

namespace {
int g_rowsSeen = 0;
BOOL StopAtFirstRow(uint32_t, uint32_t, void*) {
    ++g_rowsSeen;
    return FALSE;
}
}  // namespace

TEST(TlaReader, CancelReturnsTheRowsDecoded) {
    CPicThreadState* state = GetThreadState();
    state->progressCallback = StopAtFirstRow;
    g_rowsSeen = 0;
    ReadResult r = Read(FixtureBytes("tla_rgb.tla"), 3);
    state->progressCallback = nullptr;
    EXPECT_EQ(r.code, PIC_ERR_CANCELLED);
    EXPECT_EQ(g_rowsSeen, 1);
    std::string rgb = FixtureBytes("tla_rgb.rgb");
    EXPECT_EQ(r.pixels.substr(0, 21), rgb.substr(0, 21));
    EXPECT_EQ(r.pixels.substr(21), std::string(rgb.size() - 21, '\0'));
}

TEST(TlaReader, GenericReaderReadsUnprotectedStreams) {
    std::string rgb = FixtureBytes("tla_rgb.rgb");
    Source source(Source::kMemory, FixtureBytes("tla_rgb.tla"));
    int32_t w = 0, h = 0;
    GlobalBlock pixels(pic_ReadImage(source, &w, &h, PIC_KIND_RGB, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(std::string((const char*)pixels.data, rgb.size()), rgb);
    GlobalBlock rgba(pic_ReadImage(source, &w, &h, PIC_KIND_RGBA, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(std::string((const char*)rgba.data, 4 * W * H), WithAlpha(rgb, 0xFF));
    GlobalBlock dib(pic_ReadImage(source, &w, &h, PIC_KIND_DIB, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(w, W);
    GlobalBlock oneBit(pic_ReadImage(source, &w, &h, PIC_KIND_1BIT, 0));
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_OK);
    Source pal(Source::kFile, FixtureBytes("tla_pal.tla"), L"picture.tla");
    GlobalBlock fromFile(pic_ReadImage(pal, &w, &h, PIC_KIND_RGB, 0));
    ASSERT_EQ(pic_GetLastError(), PIC_ERR_OK);
    EXPECT_EQ(std::string((const char*)fromFile.data, 3 * W * H), FixtureBytes("tla_pal.rgb"));
    Source locked(Source::kMemory, FixtureBytes("tla_rgb_pw.tla"));
    GlobalBlock none(pic_ReadImage(locked, &w, &h, PIC_KIND_RGB, 0));
    EXPECT_EQ(none.data, nullptr);
    EXPECT_EQ(pic_GetLastError(), PIC_ERR_BAD_PARAM) << "the generic reader has no password";
}

TEST(TlaReader, HostileStreams) {
    const std::string row2 = "ABCDEFGHI" "abcdefghi";  // 3 x 2 at 3 bytes
    auto good = [&] { return TlaBuilder().Frame(2, row2); };
    std::string badZlib = "\x78\x9C\xFF\xFF\xFF\xFF";
    std::string cut;
    {
        uLongf size = compressBound(row2.size());
        cut.resize(size);
        compress((Bytef*)&cut[0], &size, (const Bytef*)row2.data(), row2.size());
        cut.resize(size / 2);
    }
    struct Case {
        const char* fault;
        std::string bytes;
        int32_t code;
        bool pixels;  // the rows that came are handed over
    } cases[] = {
        {"a good stream", good().Bytes(), PIC_ERR_OK, true},
        {"width 0", [&] { TlaBuilder b; b.width = 0; return b.Bytes(); }(), PIC_ERR_BAD_TLA, false},
        {"height 0", [&] { TlaBuilder b; b.height = 0; return b.Bytes(); }(), PIC_ERR_BAD_TLA, false},
        {"5 bytes per pixel", [&] { TlaBuilder b; b.bpp = 5; return b.Bytes(); }(), PIC_ERR_BAD_TLA, false},
        {"version 2", [&] { TlaBuilder b = good(); b.version = 2; return b.Bytes(); }(), PIC_ERR_BAD_TLA, false},
        {"signature TLA 02", "TLA\x02" + good().Bytes().substr(4), PIC_ERR_BAD_TLA, false},
        {"65535 colours, payload too short",
         [&] { TlaBuilder b = good(); b.bpp = 1; b.colours = 65535; b.palette = std::string(64, 'p'); return b.Bytes(); }(),
         PIC_ERR_BAD_TLA, false},
        {"65535 colours read as 256, the rest skipped",
         [&] {
             TlaBuilder b;
             b.bpp = 1;
             b.colours = 65535;
             b.palette = std::string(65535 * 4, '\x11');
             return b.Frame(2, "\x01\x02\x03\x04\x05\x06").Bytes();
         }(),
         PIC_ERR_OK, true},
        {"palette skip of 2^31", [&] { TlaBuilder b = good(); b.paletteLength = 0x80000000u; return b.Bytes(); }(),
         PIC_ERR_BAD_TLA, false},
        {"palette skip past the end", [&] { TlaBuilder b = good(); b.paletteLength = 0x7FFFFFF0u; return b.Bytes(); }(),
         PIC_ERR_FILE_READ, false},
        {"list block longer than the source",
         [&] { TlaBuilder b = good(); b.items = {"x"}; std::string s = b.Bytes(); s[s.find("x") - 4] = '\xFF';
               s[s.find("x") - 3] = '\xFF'; s[s.find("x") - 2] = '\xFF'; s[s.find("x") - 1] = '\xFF'; return s; }(),
         PIC_ERR_FILE_READ, false},
        {"ends after the list chunk", [&] { TlaBuilder b; b.compression = false; return b.Bytes(); }(),
         PIC_ERR_FILE_READ, true},
        {"bad zlib data", TlaBuilder().Frame(2, "", 0, &badZlib).Bytes(), PIC_ERR_BAD_TLA, true},
        {"zlib stream cut short", TlaBuilder().Frame(2, "", 0, &cut).Bytes(), PIC_ERR_FILE_READ, true},
        {"frame inflates to less than its rows", TlaBuilder().Frame(2, "ABCDEFGHI").Bytes(), PIC_ERR_BAD_TLA, true},
        {"frame inflates to more than its rows", TlaBuilder().Frame(1, row2).Bytes(), PIC_ERR_BAD_TLA, true},
        {"frame of 0 rows", TlaBuilder().Frame(0, "").Bytes(), PIC_ERR_TLA_NO_FRAME, true},
        {"frame with more rows than the picture", TlaBuilder().Frame(9, row2).Bytes(), PIC_ERR_BAD_TLA, true},
        {"compressed size beyond the source", TlaBuilder().Frame(2, row2, 0, nullptr, 0xFFFFFFF0u).Bytes(),
         PIC_ERR_FILE_READ, true},
        {"65535 x 65535 from a few bytes",
         [&] { TlaBuilder b = good(); b.width = 65535; b.height = 65535; return b.Bytes(); }(), PIC_ERR_BAD_TLA, false},
        {"4000 x 4000 from a few bytes (coded-size check)",
         [&] { TlaBuilder b = good(); b.width = 4000; b.height = 4000; return b.Bytes(); }(), PIC_ERR_BAD_TLA, false},
        {"frames missing after the first", TlaBuilder().Frame(1, "ABCDEFGHI").Bytes(), PIC_ERR_FILE_READ, true},
    };
    for (const Case& c : cases) {
        ReadResult r = Read(c.bytes, 3);
        EXPECT_EQ(r.code, c.code) << c.fault;
        EXPECT_EQ(!r.pixels.empty(), c.pixels) << c.fault;
        Source source(Source::kMemory, c.bytes);
        int32_t w, h, bits;
        pic_GetTLADims_(source, &w, &h, &bits, nullptr, nullptr);
    }
}

TEST(TlaReader, DamagedFrameNeverRepeatsTheChunkBefore) {
    // Frame 1 (row "ABC...") is fine; frame 2 is damaged: its row must come
    // out zeroed, not as frame 1's bytes left in the buffer.
    std::string bad = "\x78\x9C\xFF\xFF";
    std::string bytes = TlaBuilder().Frame(1, "ABCDEFGHI").Frame(1, "", 0, &bad).Bytes();
    ReadResult r = Read(bytes, 3);
    EXPECT_EQ(r.code, PIC_ERR_BAD_TLA);
    ASSERT_EQ(r.pixels.size(), 18u);
    EXPECT_EQ(r.pixels.substr(0, 9), "ABCDEFGHI");
    EXPECT_EQ(r.pixels.substr(9), std::string(9, '\0'));
}

TEST(TlaReader, FiltersUndoneAsStored) {
    // Sub on 10, 5 gives 10, 15; up on rows 1, 2 / 3, 4 gives 1, 2 / 4, 6 (1 byte per pixel, 2 x 2).
    std::string palette;
    for (int i = 0; i < 256; ++i) palette += std::string{(char)i, 0, 0, 0};
    auto read = [&](const std::string& rows, uint32_t flags) {
        TlaBuilder b;
        b.width = 2;
        b.bpp = 1;
        b.colours = 256;
        b.palette = palette;
        ReadResult r = Read(b.Frame(2, rows, flags).Bytes(), 1);
        EXPECT_EQ(r.code, PIC_ERR_OK);
        return r.pixels;
    };
    EXPECT_EQ(read(std::string("\x0A\x05\x00\x00", 4), 1), std::string("\x0A\x0F\x00\x00", 4));
    EXPECT_EQ(read(std::string("\x01\x02\x03\x04", 4), 2), std::string("\x01\x02\x04\x06", 4));
}

TEST(TlaReader, ProtectedPixelsLiveInWipedMemory) {
    WipedMemoryTotals before = WipedMemoryCounts();
    ReadResult r = Read(FixtureBytes("tla_rgb_pw.tla"), 3, "secret");
    ASSERT_EQ(r.code, PIC_ERR_OK);
    WipedMemoryTotals after = WipedMemoryCounts();
    uint64_t allocated = after.allocated - before.allocated, wiped = after.wiped - before.wiped;
    EXPECT_GE(allocated, (uint64_t)3 * W * H) << "frames and zlib's window in the wiped heap";
    EXPECT_GE(wiped, allocated) << "and all of it wiped";
}
