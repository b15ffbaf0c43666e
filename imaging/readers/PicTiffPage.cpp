#include "imaging/readers/PicTiffPage.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>

#include "imaging/core/PicResult.h"
#include "imaging/core/PicSizes.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicIO.h"

namespace {

// The client data of every handle: the source and the decoders' context.
struct TiffClient {
    CPicIO* source;
    TiffReadContext context;
};

CPicIO* SourceOf(thandle_t handle) { return static_cast<TiffClient*>(handle)->source; }

tmsize_t ClientRead(thandle_t handle, void* buffer, tmsize_t n) {
    CPicIO* source = SourceOf(handle);
    tmsize_t done = 0;
    // The source reads at most 4 GiB - 1 at a time.
    while (done < n) {
        uint32_t ask = (uint32_t)std::min<tmsize_t>(n - done, 0x40000000);
        uint32_t got = source->Read(static_cast<uint8_t*>(buffer) + done, ask);
        done += got;
        if (got < ask) break;
    }
    return done;
}

tmsize_t ClientWrite(thandle_t handle, void* buffer, tmsize_t n) {
    if (n < 0 || n > 0x7FFFFFFF) return 0;
    return SourceOf(handle)->WriteBytes(buffer, (uint32_t)n) ? n : 0;
}

toff_t ClientSeek(thandle_t handle, toff_t offset, int whence) {
    CPicIO* source = SourceOf(handle);
    int origin = whence == SEEK_CUR ? 1 : whence == SEEK_END ? 2 : 0;
    // An offset past what a signed 64-bit seek carries is a seek that fails.
    if (origin == 0 && offset > (toff_t)INT64_MAX) return (toff_t)-1;
    if (!source->Seek((int64_t)offset, origin)) return (toff_t)-1;
    uint64_t position = 0;
    return source->Tell(&position) ? position : 0;
}

int ClientClose(thandle_t handle) {
    delete static_cast<TiffClient*>(handle);
    return 0;
}

toff_t ClientSize(thandle_t handle) {
    uint64_t size = 0;
    return SourceOf(handle)->GetSize(&size) ? size : 0;
}

int ClientMap(thandle_t, void**, toff_t*) { return 0; }
void ClientUnmap(thandle_t, void*, toff_t) {}

void LogTiffMessage(const char* prefix, int32_t level, const char* format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    char line[1024 + 32];
    snprintf(line, sizeof line, "%s%s\n", prefix, text);
    LogMessage(line, PIC_ERR_BAD_TIFF, level, 0);
}

void TiffErrorHandler(const char*, const char* format, va_list args) {
    LogTiffMessage("LibTiff Error: ", PIC_LOG_ERROR, format, args);
}

void TiffWarningHandler(const char*, const char* format, va_list args) {
    LogTiffMessage("LibTiff Warning: ", PIC_LOG_WARNING, format, args);
}

// Tags the library does not know of its own, merged into every directory.
TIFFFieldInfo kExtraTags[] = {
    {34665, 1, 1, TIFF_LONG, FIELD_CUSTOM, 1, 0, const_cast<char*>("EXIF Offset")},
    {32932, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_BYTE, FIELD_CUSTOM, 0, 1, const_cast<char*>("baAnnotations")},
    {33550, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoPixelScale")},
    {33920, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1,
     const_cast<char*>("Intergraph TransformationMatrix")},
    {34264, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1,
     const_cast<char*>("GeoTransformationMatrix")},
    {33922, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoTiePoints")},
    {34735, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_SHORT, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoKeyDirectory")},
    {34736, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoDoubleParams")},
    {34737, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GeoASCIIParams")},
};

// The extender that was installed before ours; written once under the
// one-time registration, read by every open afterwards.
TIFFExtendProc g_previousExtender = nullptr;

void ExtendDirectory(TIFF* tiff) {
    TIFFMergeFieldInfo(tiff, kExtraTags, sizeof kExtraTags / sizeof kExtraTags[0]);
    if (g_previousExtender != nullptr) g_previousExtender(tiff);
}

// Registering twice would make our extender its own predecessor and recurse
// forever, and the thumbnail loader and the preview may open their first
// TIFF at the same moment: one registration per process, under call_once.
// The handlers are process-wide too and never change, so they go in with it.
void RegisterOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_previousExtender = TIFFSetTagExtender(ExtendDirectory);
        TIFFSetErrorHandler(TiffErrorHandler);
        TIFFSetWarningHandler(TiffWarningHandler);
    });
}

}  // namespace

TIFF* TiffStreamOpen(CPicIO* source, const char* mode) {
    RegisterOnce();
    TiffClient* client = new (std::nothrow) TiffClient{source, TiffReadContext()};
    if (client == nullptr) return nullptr;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) {
        delete client;
        return nullptr;
    }
    // The library's own buffers stay below the largest block we allocate.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, (tmsize_t)kPicMaxBlockSize);
    TIFF* tiff = TIFFClientOpenExt(source->GetName(), mode, client, ClientRead, ClientWrite, ClientSeek, ClientClose,
                                   ClientSize, ClientMap, ClientUnmap, options);
    TIFFOpenOptionsFree(options);
    if (tiff == nullptr) delete client;  // a failed open does not call the close procedure
    return tiff;
}

CPicIO* TiffSourceOf(TIFF* tiff) { return SourceOf(TIFFClientdata(tiff)); }

TiffReadContext* TiffContextOf(TIFF* tiff) { return &static_cast<TiffClient*>(TIFFClientdata(tiff))->context; }

TiffPage* OpenTiffPage(CPicIO* source, int32_t page, uint32_t flags, int32_t* code) {
    TiffPage* record = new (std::nothrow) TiffPage;
    if (record == nullptr) return *code = PIC_ERR_OUT_OF_MEMORY, nullptr;
    record->flags = flags;
    record->source = source;
    if (!source->Seek(0, 0)) {
        delete record;
        return *code = PIC_ERR_FILE_READ, nullptr;
    }
    // "m": never mapped; every byte comes through the source.
    record->tiff = TiffStreamOpen(source, "rm");
    if (record->tiff == nullptr) {
        delete record;
        return *code = PIC_ERR_BAD_TIFF, nullptr;
    }
    if (page < 0 || (page > 0 && !TIFFSetDirectory(record->tiff, (tdir_t)page))) {
        CloseTiffPage(record);
        return *code = PIC_ERR_BAD_PARAM, nullptr;
    }
    *code = PIC_ERR_OK;
    return record;
}

void CloseTiffPage(TiffPage* page) {
    if (page == nullptr) return;
    if (page->tiff != nullptr) TIFFClose(page->tiff);
    delete page;
}
