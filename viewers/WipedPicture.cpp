#include "viewers/WipedPicture.h"

void CWipedPicture::Free()
{
    if (IsValid())
        WipeBytes(GetPixels(), (size_t)CalcBufferSize());
    CPicImageEx::Free();
}
