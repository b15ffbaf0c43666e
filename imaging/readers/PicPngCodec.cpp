// The PNG library's headers must see this system's own conventions, not the
// Windows macros that the rest of the program is compiled with.
#undef _WIN32
#undef _WIN64
#undef WIN32
#undef WIN64
#undef __WIN32__
#undef __WIN64__
#include "imaging/readers/PicPngCodec.h"

#include <png.h>

#include <cstring>
#include <vector>

#include "imaging/readers/PicIO.h"
#include "framework/base/WipedMemory.h"

namespace {

enum : int { kOk = 0, kNoMemory = 1, kCancelled = 14, kBadPng = 15, kPngLib = 16, kUnsupported = 17, kBitDepth = 28 };

struct Session {
    CPicIO* source;
    const CPicPngLog* log;
};

void ReadCallback(png_structp png, png_bytep data, size_t length) {
    Session* session = static_cast<Session*>(png_get_io_ptr(png));
    if (!session->source->ReadExact(data, (uint32_t)length)) png_error(png, "read Error");
}

void ErrorCallback(png_structp png, png_const_charp message) {
    Session* session = static_cast<Session*>(png_get_error_ptr(png));
    (*session->log)(message, true);
    png_longjmp(png, 1);
}

void WarningCallback(png_structp png, png_const_charp message) {
    Session* session = static_cast<Session*>(png_get_error_ptr(png));
    (*session->log)(message, false);
}

// The read and info structures of one call, destroyed in every case.
struct Structures {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Structures() {
        if (png != nullptr) png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    }
};

// The library's own memory (rows, palette, the inflate window) holds the
// decoded picture: it is wiped before it goes back.
png_voidp AllocateWiped(png_structp, png_alloc_size_t size) { return WipedAllocSized(size); }
void FreeWiped(png_structp, png_voidp block) { WipedFreeSized(block); }

bool Create(Structures& s, Session& session, uint32_t maxDimension) {
    s.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &session, ErrorCallback, WarningCallback, nullptr,
                                     AllocateWiped, FreeWiped);
    if (s.png == nullptr) return false;
    s.info = png_create_info_struct(s.png);
    if (s.info == nullptr) return false;
    png_set_read_fn(s.png, &session, ReadCallback);
    png_set_user_limits(s.png, maxDimension, maxDimension);
    return true;
}

void CollectInfo(png_structp png, png_infop pi, CPicPngInfo& info) {
    png_uint_32 w, h;
    int depth, colour, interlace;
    png_get_IHDR(png, pi, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
    info.width = w;
    info.height = h;
    info.bitDepth = depth;
    info.colourType = colour;
    info.interlace = interlace;
    png_bytep alphas = nullptr;
    int count = 0;
    png_color_16p colourValue = nullptr;
    if (png_get_tRNS(png, pi, &alphas, &count, &colourValue) != 0) {
        info.hasTrns = true;
        if (colour == PNG_COLOR_TYPE_PALETTE) {
            info.trnsCount = std::min(count, 256);
            if (alphas != nullptr) memcpy(info.trnsAlpha, alphas, (size_t)info.trnsCount);
        } else if (colourValue != nullptr) {
            info.transIndex = colourValue->index;
            info.transRed = colourValue->red;
            info.transGreen = colourValue->green;
            info.transBlue = colourValue->blue;
            info.transGrey = colourValue->gray;
        }
    }
    png_colorp plte = nullptr;
    int plteCount = 0;
    if (png_get_PLTE(png, pi, &plte, &plteCount) != 0 && plteCount <= 256) {
        info.paletteCount = plteCount;
        for (int i = 0; i < plteCount; ++i) {
            info.palette[i][0] = plte[i].red;
            info.palette[i][1] = plte[i].green;
            info.palette[i][2] = plte[i].blue;
        }
    }
    png_uint_32 px, py;
    int unit;
    if (png_get_pHYs(png, pi, &px, &py, &unit) != 0) {
        info.hasPhys = true;
        info.physX = px;
        info.physY = py;
        info.physUnit = unit;
    }
    png_color_16p background = nullptr;
    if (png_get_bKGD(png, pi, &background) != 0 && background != nullptr) {
        info.hasBkgd = true;
        info.bkgd = {background->index, background->red, background->green, background->blue, background->gray};
    }
}

bool IsGrey(int colour) { return colour == PNG_COLOR_TYPE_GRAY; }
bool HasAlphaChannel(int colour) { return (colour & PNG_COLOR_MASK_ALPHA) != 0; }

void SetBackground(png_structp png, const CPicPngInfo& info, const CPicPngRequest& request) {
    png_color_16 colour = {};
    if (info.hasBkgd) {
        colour = {info.bkgd.index, info.bkgd.red, info.bkgd.green, info.bkgd.blue, info.bkgd.gray};
        png_set_background(png, &colour, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
    } else {
        const CPicPngBackground& d = request.defaultBackground;
        colour = {d.index, d.red, d.green, d.blue, d.gray};
        png_set_background(png, &colour, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    }
}

void SetGamma(png_structp png, png_infop pi, const CPicPngRequest& request) {
    int intent;
    if (png_get_sRGB(png, pi, &intent) != 0 || !request.gamma || request.screenGamma <= 0) return;
    double fileGamma = 1.0 / request.screenGamma;
    double stored;
    if (png_get_gAMA(png, pi, &stored) != 0) fileGamma = stored;
    png_set_gamma(png, request.screenGamma, fileGamma);
}

// Transformations for a read at the requested depth; the expected row size,
// or a refusal code (returned negative).
int64_t ChooseTransforms(png_structp png, const CPicPngInfo& info, const CPicPngRequest& request) {
    int d = request.depth, depth = info.bitDepth, colour = info.colourType;
    uint64_t w = info.width;
    bool colourImage = colour == PNG_COLOR_TYPE_RGB || colour == PNG_COLOR_TYPE_RGB_ALPHA ||
                       colour == PNG_COLOR_TYPE_GRAY_ALPHA;
    if (d < 24 && d / 8 > depth) return -kBitDepth;
    if ((d == 1 || d == 8) && colourImage) return -kBitDepth;
    if (((d == 16 && request.grey16) || d == 48) && depth == 16 && colour != PNG_COLOR_TYPE_GRAY &&
        colour != PNG_COLOR_TYPE_RGB && colour != PNG_COLOR_TYPE_RGB_ALPHA)
        return -kBitDepth;
    if (d == 16 && !request.grey16 && colour != PNG_COLOR_TYPE_GRAY && colour != PNG_COLOR_TYPE_GRAY_ALPHA)
        return -kBitDepth;
    bool alphaFromTrns = info.hasTrns;
    switch (d) {
    case 1:
        return (int64_t)((w + 7) / 8);
    case 8:
        if (depth < 8) png_set_packing(png);
        if (depth == 16) png_set_strip_16(png);
        return (int64_t)w;
    case 16:
        if (request.grey16) {
            png_set_swap(png);
            return (int64_t)(w * 2);
        }
        if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
        if (depth == 16) png_set_strip_16(png);
        if (IsGrey(colour)) {
            if (alphaFromTrns)
                png_set_tRNS_to_alpha(png);
            else
                png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        }
        return (int64_t)(w * 2);
    case 24:
    case 32:
    case 64:
        png_set_palette_to_rgb(png);
        png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
        if (d != 64 && depth == 16) png_set_strip_16(png);
        if (d == 64) png_set_swap(png);
        if (d == 24) {
            if (alphaFromTrns) png_set_tRNS_to_alpha(png);
            if (alphaFromTrns || HasAlphaChannel(colour)) SetBackground(png, info, request);
        } else if (!HasAlphaChannel(colour)) {
            if (alphaFromTrns)
                png_set_tRNS_to_alpha(png);
            else
                png_set_filler(png, d == 64 ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
        }
        if (request.paddedBgr) png_set_bgr(png);
        return (int64_t)(w * (d / 8));
    case 48:
        png_set_swap(png);
        if (HasAlphaChannel(colour)) SetBackground(png, info, request);
        if (request.paddedBgr) png_set_bgr(png);
        return (int64_t)(w * 6);
    default:
        return -kUnsupported;
    }
}

// Packed-bitmap transformations; the layout and the row size libpng must give.
int64_t ChooseDibTransforms(png_structp png, const CPicPngInfo& info, CPicPngLayout& layout, bool& repack2To4) {
    int depth = info.bitDepth, colour = info.colourType;
    uint64_t w = info.width;
    repack2To4 = false;
    if (depth == 1 && (colour == PNG_COLOR_TYPE_PALETTE || colour == PNG_COLOR_TYPE_GRAY)) {
        layout.dibBits = 1;
        layout.dibColours = 2;
        return (int64_t)((w + 7) / 8);
    }
    if (colour == PNG_COLOR_TYPE_PALETTE && depth <= 4) {
        layout.dibBits = 4;
        layout.dibColours = 16;
        repack2To4 = depth == 2;
        return (int64_t)((w * depth + 7) / 8);
    }
    if (colour == PNG_COLOR_TYPE_PALETTE || colour == PNG_COLOR_TYPE_GRAY) {
        if (depth < 8) png_set_packing(png);
        if (depth == 16) png_set_strip_16(png);
        layout.dibBits = 8;
        layout.dibColours = 256;
        return (int64_t)w;
    }
    if (depth == 16) png_set_strip_16(png);
    png_set_bgr(png);
    if (colour == PNG_COLOR_TYPE_RGB) {
        layout.dibBits = 24;
        return (int64_t)(w * 3);
    }
    if (colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    layout.dibBits = 32;
    return (int64_t)(w * 4);
}

void PutLE32(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

void WriteDibHeader(uint8_t* block, const CPicPngInfo& info, const CPicPngLayout& layout, uint64_t stride) {
    PutLE32(block, 40);
    PutLE32(block + 4, info.width);
    PutLE32(block + 8, info.height);
    block[12] = 1;
    block[14] = (uint8_t)layout.dibBits;
    PutLE32(block + 20, (uint32_t)(stride * info.height));
    bool metre = info.hasPhys && info.physUnit == PNG_RESOLUTION_METER;
    PutLE32(block + 24, metre ? (uint32_t)info.physX : 0);
    PutLE32(block + 28, metre ? (uint32_t)info.physY : 0);
    PutLE32(block + 32, layout.dibColours);
}

void Repack2To4(const uint8_t* in, uint8_t* out, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x) {
        uint8_t v = (in[x / 4] >> (6 - 2 * (x % 4))) & 3;
        if (x % 2 == 0)
            out[x / 2] = (uint8_t)(v << 4);
        else
            out[x / 2] |= v;
    }
}

}  // namespace

int PngReadInfo(CPicIO& source, CPicPngInfo& info, const CPicPngLog& log) {
    Session session = {&source, &log};
    Structures s;
    if (!Create(s, session, 0x7FFFFFFF)) return kPngLib;
    if (setjmp(png_jmpbuf(s.png)) != 0) return kBadPng;
    png_read_info(s.png, s.info);
    CollectInfo(s.png, s.info, info);
    return kOk;
}

int PngReadImage(CPicIO& source, const CPicPngRequest& request, const CPicPngLog& log, CPicPngInfo& info,
                 CPicPngLayout& layout, bool& made) {
    made = false;
    Session session = {&source, &log};
    Structures s;
    if (!Create(s, session, request.maxDimension)) return kPngLib;
    std::vector<png_bytep> rows;
    std::vector<uint8_t> work;
    volatile int result = kOk;
    if (setjmp(png_jmpbuf(s.png)) != 0) return kBadPng;
    png_read_info(s.png, s.info);
    CollectInfo(s.png, s.info, info);
    SetGamma(s.png, s.info, request);
    bool repack = false;
    int64_t expected = request.dib ? ChooseDibTransforms(s.png, info, layout, repack)
                                   : ChooseTransforms(s.png, info, request);
    if (expected < 0) return (int)-expected;
    int passes = png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    uint64_t rowBytes = png_get_rowbytes(s.png, s.info);
    if (rowBytes != (uint64_t)expected) return kUnsupported;
    uint64_t stride = rowBytes;
    if (request.dib) {
        stride = ((uint64_t)info.width * layout.dibBits + 31) / 32 * 4;
        layout.headerBytes = 40 + 4ull * layout.dibColours;
    } else if (request.paddedBgr) {
        stride = (stride + 3) & ~uint64_t(3);
    }
    uint64_t total = layout.headerBytes + stride * info.height;
    if (int code = request.checkSize(info.width, info.height, total)) return code;
    uint8_t* block = request.allocate(total);
    if (block == nullptr) return kNoMemory;
    made = true;
    try {
        rows.resize(info.height);
        // 2-bit rows are decoded whole (interlaced passes build on them) and repacked afterwards.
        if (repack) work.resize((size_t)(rowBytes * info.height));
    } catch (...) {
        return kNoMemory;
    }
    if (request.dib) WriteDibHeader(block, info, layout, stride);
    uint8_t* pixels = block + layout.headerBytes;
    for (uint32_t y = 0; y < info.height; ++y)
        rows[y] = repack ? work.data() + (uint64_t)y * rowBytes
                         : pixels + (request.dib ? (uint64_t)(info.height - 1 - y) : y) * stride;
    uint64_t done = 0;
    uint32_t lastReported = UINT32_MAX;
    for (int pass = 0; pass < passes; ++pass) {
        for (uint32_t y = 0; y < info.height; ++y) {
            png_read_row(s.png, rows[y], nullptr);
            uint32_t value = (uint32_t)(++done / (uint64_t)passes);
            if (value != lastReported) {
                lastReported = value;
                if (!request.progress(value, info.height)) return kCancelled;
            }
        }
    }
    for (uint32_t y = 0; repack && y < info.height; ++y)
        Repack2To4(rows[y], pixels + (uint64_t)(info.height - 1 - y) * stride, info.width);
    png_read_end(s.png, nullptr);
    return result;
}
