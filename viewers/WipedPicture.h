// An image whose every release (its own Free, the frees inside loading,
// converting and moving) wipes the pixels first, so no plain picture
// outlives its window in freed memory. Byte buffers that hold plain pixels
// are the framework's CWipedBuffer. Not shared between threads by itself:
// the owner's lock guards it.
#pragma once

#include "imaging/readers/PicImageEx.h"

#include "framework/base/WipedMemory.h"

class CWipedPicture : public CPicImageEx {
public:
    CWipedPicture() = default;
    ~CWipedPicture() override { CWipedPicture::Free(); }
    void Free() override;
};
