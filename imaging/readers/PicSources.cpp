#include "imaging/readers/PicSources.h"

#include <new>

#include "imaging/core/PicResult.h"
#include "imaging/core/PicThreadState.h"
#include "imaging/readers/PicIOFile.h"
#include "imaging/readers/PicIOMemory.h"

namespace {
template <class Source, class Opener>
CPicIO* OpenSource(const char* name, int32_t openFailure, Opener&& open) {
    if (GetThreadState() == nullptr) return nullptr;
    ReportError(PIC_ERR_OK, name, nullptr);
    Source* source = new (std::nothrow) Source;
    if (source == nullptr) {
        ReportError(PIC_ERR_OUT_OF_MEMORY, name, nullptr);
        return nullptr;
    }
    if (!open(*source)) {
        delete source;
        ReportError(openFailure, name, nullptr);
        return nullptr;
    }
    return source;
}
}  // namespace

CPicIO* WINAPI pic_OpenFileSourceW(const WCHAR* path) {
    return OpenSource<CPicIO_File>("pic_OpenFileSourceW", PIC_ERR_FILE_OPEN,
                                   [&](CPicIO_File& source) { return source.OpenW(path); });
}

CPicIO* WINAPI pic_OpenMemorySource(const void* bytes, uint32_t size) {
    return OpenSource<CPicIO_Memory>("pic_OpenMemorySource", PIC_ERR_BAD_PARAM,
                                     [&](CPicIO_Memory& source) { return source.Open(bytes, size); });
}

BOOL WINAPI pic_Seek(CPicIO* source, int32_t offset, int32_t origin) {
    if (GetThreadState() == nullptr) return FALSE;
    ReportError(PIC_ERR_OK, "pic_Seek", nullptr);
    if (source == nullptr) {
        ReportError(PIC_ERR_BAD_PARAM, "pic_Seek", nullptr);
        return FALSE;
    }
    return source->Seek(offset, origin) ? TRUE : FALSE;
}

uint64_t WINAPI pic_CloseSource(CPicIO* source) {
    if (GetThreadState() == nullptr) return 0;
    ReportError(PIC_ERR_OK, "pic_CloseSource", nullptr);
    if (source == nullptr) {
        ReportError(PIC_ERR_BAD_PARAM, "pic_CloseSource", nullptr);
        return 0;
    }
    uint64_t position = 0;
    if (!source->Tell(&position)) position = 0;
    source->Close();
    delete source;
    return position;
}
