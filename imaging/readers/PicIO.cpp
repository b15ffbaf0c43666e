#include "imaging/readers/PicIO.h"

uint64_t CPicIO::BytesLeft() {
    uint64_t size = 0, position = 0;
    if (!GetSize(&size) || !Tell(&position) || position >= size) return 0;
    return size - position;
}
