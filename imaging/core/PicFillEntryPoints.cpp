#include "imaging/core/PicFillEntryPoints.h"

#include "imaging/core/PicOperation.h"

namespace {

// A RECT becomes (left, top, width, height); an inverted one has a negative size, which the fills refuse.
struct RectSpan {
    int64_t x, y, w, h;
    explicit RectSpan(const RECT& r)
        : x(r.left), y(r.top), w((int64_t)r.right - r.left), h((int64_t)r.bottom - r.top) {}
};

}  // namespace

BOOL WINAPI pic_FillSolidRect1Bit(uint8_t* data, uint32_t width, uint32_t height, uint32_t stride, const RECT* rect,
                                  uint32_t value) {
    return PicEntryPoint("pic_FillSolidRect1Bit", FALSE, [&](CPicOperation& op) -> BOOL {
        if (rect == nullptr) {
            op.status = PIC_ERR_BAD_PARAM;
            return FALSE;
        }
        const RectSpan r(*rect);
        return op.FillSolidRect1Bit(data, width, height, stride, r.x, r.y, r.w, r.h, value);
    });
}

BOOL WINAPI pic_FillSolidRect(uint8_t* data, uint32_t width, uint32_t height, uint32_t channels, uint32_t stride,
                              const RECT* rect, uint32_t colour, uint32_t flags) {
    return PicEntryPoint("pic_FillSolidRect", FALSE, [&](CPicOperation& op) -> BOOL {
        if (rect == nullptr || (channels != 1 && channels != 3 && channels != 4)) {
            op.status = PIC_ERR_BAD_PARAM;
            return FALSE;
        }
        const RectSpan r(*rect);
        if (channels == 1) return op.FillSolidRect8Bit(data, width, height, stride, r.x, r.y, r.w, r.h, colour);
        return op.FillSolidRectRGB(data, width, height, stride, r.x, r.y, r.w, r.h, colour, channels, flags);
    });
}
