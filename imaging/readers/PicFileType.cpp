#include "imaging/readers/PicFileType.h"

#include <cstring>

namespace {
struct MagicEntry {
    int32_t type;
    uint32_t offset;
    uint32_t length;
    const char* bytes;
};

// Order decides overlaps: the first match ends the walk.
const MagicEntry kMagic[] = {
    {PIC_FT_BMP, 0, 2, "BM"},
    {PIC_FT_PAX, 0, 3, "PAX"},
    {PIC_FT_GIF, 0, 6, "GIF89a"},
    {PIC_FT_GIF, 0, 6, "GIF87a"},
    {PIC_FT_JPEG, 0, 4, "\xFF\xD8\xFF\xE0"},
    {PIC_FT_JPEG, 0, 3, "\xFF\xD8\xFF"},
    {PIC_FT_PCX, 0, 2, "\x0A\x00"},
    {PIC_FT_PCX, 0, 2, "\x0A\x02"},
    {PIC_FT_PCX, 0, 2, "\x0A\x03"},
    {PIC_FT_PCX, 0, 2, "\x0A\x05"},
    {PIC_FT_TIFF, 0, 2, "MM"},
    {PIC_FT_TIFF, 0, 2, "II"},
    {PIC_FT_PNG, 0, 8, "\x89PNG\r\n\x1A\n"},
    {PIC_FT_WMF, 0, 5, "\x01\x00\x09\x00\x00"},
    {PIC_FT_WMF, 0, 4, "\xD7\xCD\xC6\x9A"},
    {PIC_FT_EMF, 40, 4, " EMF"},
    {PIC_FT_PSD, 0, 4, "8BPS"},
    {PIC_FT_TLA, 0, 4, "TLA\x01"},
    {PIC_FT_TLAU, 0, 4, "TLAU"},
    {PIC_FT_PCD_OVERVIEW, 0, 7, "PCD_OPA"},
    {PIC_FT_JP2, 4, 5, "jP  \r"},
    {PIC_FT_JP2, 0, 2, "\xFF\x4F"},
    {PIC_FT_J2K_AT4, 4, 2, "\xFF\x4F"},
    {PIC_FT_TGA, 0, 0, ""},  // Targa has no leading magic
    {PIC_FT_COMPOUND, 0, 4, "\xD0\xCF\x11\xE0"},
    {PIC_FT_PBM, 0, 2, "P1"},
    {PIC_FT_PBM, 0, 2, "P4"},
    {PIC_FT_PGM, 0, 2, "P2"},
    {PIC_FT_PGM, 0, 2, "P5"},
    {PIC_FT_PPM, 0, 2, "P3"},
    {PIC_FT_PPM, 0, 2, "P6"},
    {PIC_FT_ICO, 0, 4, "\x00\x00\x01\x00"},
    {PIC_FT_ICO, 0, 4, "\x00\x00\x02\x00"},
};

constexpr uint32_t kHeadBytes = 44;

struct ExtensionHint {
    const char* extension;
    int32_t type;
};
const ExtensionHint kHints[] = {
    {".wbmp", PIC_FT_WBMP}, {".wbm", PIC_FT_WBMP}, {".tga", PIC_FT_TGA}, {".cals", PIC_FT_CALS},
    {".cal", PIC_FT_CALS},  {".ico", PIC_FT_ICO},  {".pcd", PIC_FT_PCD},
};

int32_t MatchMagic(const uint8_t* head, uint32_t got) {
    for (const MagicEntry& entry : kMagic) {
        if (entry.length == 0 || entry.offset + entry.length > got) continue;
        if (memcmp(head + entry.offset, entry.bytes, entry.length) != 0) continue;
        // Icons and cursors share their first bytes with too much to decide.
        return entry.type == PIC_FT_WBMP || entry.type == PIC_FT_ICO ? PIC_FT_NONE : entry.type;
    }
    return PIC_FT_NONE;
}

bool HasTargaFooter(CPicReaderContext& context, CPicIO& source) {
    char footer[18];
    if (!source.Seek(-18, 2) || !source.ReadExact(footer, sizeof footer)) return context.Fail(PIC_ERR_FILE_READ);
    return memcmp(footer, "TRUEVISION-XFILE.", 17) == 0;
}

int32_t PhotoCdAt2048(CPicReaderContext& context, CPicIO& source) {
    char signature[3];
    if (!source.Seek(2048, 0)) return PIC_FT_NONE;
    if (!source.ReadExact(signature, 3)) return context.Fail(PIC_ERR_FILE_READ), PIC_FT_NONE;
    return memcmp(signature, "PCD", 3) == 0 ? PIC_FT_PCD : PIC_FT_NONE;
}
}  // namespace

const char* PicExtensionOf(const char* name) {
    if (name == nullptr) return "";
    const char* dot = strrchr(name, '.');
    return dot == nullptr ? "" : dot;
}

int32_t GuessFormatByExtensionHint(CPicIO& source) {
    if (source.mode != PIC_SOURCE_FILE) return PIC_FT_NONE;
    const char* extension = PicExtensionOf(source.GetName());
    for (const ExtensionHint& hint : kHints)
        if (lstrcmpiA(extension, hint.extension) == 0) return hint.type;
    return PIC_FT_NONE;
}

int32_t GuessFormatByMagic(CPicReaderContext& context, CPicIO& source) {
    uint8_t head[kHeadBytes] = {};
    uint32_t got = source.Read(head, kHeadBytes);
    if (got == 0) return context.Fail(PIC_ERR_FILE_READ), PIC_FT_NONE;
    int32_t type = MatchMagic(head, got);
    if (type != PIC_FT_NONE) return type;
    int32_t hint = GuessFormatByExtensionHint(source);
    if (hint == PIC_FT_WBMP || hint == PIC_FT_TGA || hint == PIC_FT_CALS || hint == PIC_FT_PCD) return hint;
    if (hint == PIC_FT_NONE) {
        if (!context.Ok()) return PIC_FT_NONE;
        bool footer = HasTargaFooter(context, source);
        if (!context.Ok()) return PIC_FT_NONE;
        if (footer) return PIC_FT_TGA;
    }
    return PhotoCdAt2048(context, source);
}

int32_t WINAPI pic_GuessFileType(CPicIO* source) {
    if (GetThreadState() == nullptr) return PIC_FT_NONE;
    if (source == nullptr) {
        ReportError(PIC_ERR_BAD_PARAM, "pic_GuessFileType", nullptr);
        return PIC_FT_NONE;
    }
    ReportError(PIC_ERR_OK, "pic_GuessFileType", nullptr);
    CPicReaderContext context;
    try {
        return GuessFormatByMagic(context, *source);
    } catch (...) {
        return PIC_FT_NONE;
    }
}
