#include "imaging/core/PicOperation.h"
#include "imaging/core/PicSizes.h"

uint32_t CPicOperation::CalcDIBSize(uint32_t width, uint32_t height, uint32_t bits, uint32_t paletteCount) {
    uint64_t rows = PicDIBRowBytes(width, bits) * height;
    uint64_t size;
    switch (bits) {
    case 1: size = rows + 48; break;
    case 4:
    case 8: size = (uint64_t)paletteCount * 4 + rows + 40; break;
    case 24:
    case 32: size = rows + 40; break;
    default: Fail(PIC_ERR_BAD_PARAM); return 0;
    }
    if (!PicBlockSizeAllowed(size)) {
        Fail(PIC_ERR_OUT_OF_MEMORY);
        return 0;
    }
    return (uint32_t)size;
}
