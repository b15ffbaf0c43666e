#include "imaging/readers/PicGifAnimation.h"

#include <cstring>
#include <memory>
#include <new>

#include "imaging/core/PicSizes.h"
#include "imaging/readers/PicGifDecoder.h"
#include "imaging/readers/PicReaderFrame.h"

namespace {

constexpr const char* kNextFrameName = "pic_AnimatedGIFGetNextFrame";

// Decodes one image into a new frame record.
bool DecodeFrame(CPicReaderContext& context, CPicIO& source, CPicGIFReader& gif, CPicGIFFrameList& list,
                 uint64_t& pixelsSoFar) {
    CPicGIFImageDescriptor image;
    if (!gif.ReadDescriptor(image)) return false;
    uint64_t pixels = (uint64_t)image.width * image.height;
    pixelsSoFar += pixels;
    // The frames together have one budget, so many small frames cannot add up to gigabytes.
    if (!PicCheckDeclaredImage(context, image.width, image.height, pixels, PIC_ERR_BAD_GIF) ||
        pixelsSoFar > PicGetPixelBudget() ||
        !PicCheckCodedBytes(context, pixels, source.BytesLeft(), PIC_EXPAND_LZW, PIC_ERR_BAD_GIF))
        return context.Fail(PIC_ERR_BAD_GIF);
    CPicGIFFrame frame;
    frame.pixels = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, (SIZE_T)pixels);
    if (frame.pixels == nullptr) return context.Fail(PIC_ERR_OUT_OF_MEMORY);
    bool decoded = gif.ReadLocalTable(image) &&
                   gif.DecodePixels(image, static_cast<uint8_t*>(frame.pixels), image.width, false);
    if (!decoded) {
        PicFreeWipedGlobal(frame.pixels);
        // Data that ends inside a later image ends the animation before it.
        if (context.result == PIC_ERR_FILE_READ && !list.frames.empty()) return true;
        return context.Fail(PIC_ERR_BAD_GIF);
    }
    frame.index = (int32_t)list.frames.size();
    frame.width = (int32_t)image.width;
    frame.height = (int32_t)image.height;
    frame.left = (int32_t)image.left;
    frame.top = (int32_t)image.top;
    frame.delay = (int32_t)gif.delay;
    frame.disposal = gif.disposal;
    frame.userInput = gif.userInput;
    frame.transparentIndex = gif.hasTransparency ? gif.transparentIndex : -1;
    frame.interlaced = image.interlaced ? 1 : 0;
    frame.ownPalette = image.hasLocalTable ? 1 : 0;
    if (image.hasLocalTable) gif.FillPalette(frame.palette);
    try {
        list.frames.push_back(frame);
    } catch (...) {
        PicFreeWipedGlobal(frame.pixels);
        return context.Fail(PIC_ERR_OUT_OF_MEMORY);
    }
    gif.ClearControl();
    return true;
}

bool DecodeAllFrames(CPicReaderContext& context, CPicIO& source, CPicGIFFrameList& list) {
    list.Clear();
    CPicGIFReader gif(context, source);
    if (!gif.ReadHeaderAndScreen(PIC_ERR_GIF_VERSION)) return false;
    if (!PicCheckDeclaredImage(context, gif.screenWidth, gif.screenHeight, 4ull * gif.screenWidth * gif.screenHeight,
                               PIC_ERR_BAD_GIF))
        return false;
    // Local tables overwrite the colour planes later: keep the global one now.
    for (int i = 0; i < 256 && gif.hasGlobalTable; ++i) {
        list.globalPalette[i].rgbRed = gif.colourMap[0][i];
        list.globalPalette[i].rgbGreen = gif.colourMap[1][i];
        list.globalPalette[i].rgbBlue = gif.colourMap[2][i];
    }
    gif.ClearControl();
    uint64_t pixels = 0;
    for (;;) {
        CPicGIFReader::Block block = gif.NextBlock();
        if (block == CPicGIFReader::kImage) {
            if (!DecodeFrame(context, source, gif, list, pixels)) return false;
            if (context.result != PIC_ERR_FILE_READ) continue;
            block = CPicGIFReader::kEndOfData;
        }
        // Many real files lack the trailer: the frames decoded until the data ends count.
        if (block == CPicGIFReader::kEndOfData) {
            if (list.frames.empty()) return false;
            if (context.result == PIC_ERR_FILE_READ) context.result = PIC_ERR_OK;
        }
        break;
    }
    if (list.frames.empty()) return context.Fail(PIC_ERR_BAD_GIF);
    list.frameCount = (int32_t)list.frames.size();
    list.canvasWidth = (int32_t)gif.screenWidth;
    list.canvasHeight = (int32_t)gif.screenHeight;
    list.loopCount = (int32_t)gif.loopCount;
    list.backgroundIndex = (int32_t)gif.backgroundIndex;
    return true;
}

struct Rect {
    int32_t left, top, right, bottom;
};

// The frame's rectangle clipped to the canvas (empty when outside).
Rect ClipToCanvas(const CPicGIFFrame& frame, int32_t canvasWidth, int32_t canvasHeight) {
    Rect r = {std::max(frame.left, 0), std::max(frame.top, 0), std::min(frame.left + frame.width, canvasWidth),
              std::min(frame.top + frame.height, canvasHeight)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

// Palette colours with alpha 255 onto the canvas; the transparent index
// leaves the canvas pixel as it is.
void Composite(const CPicGIFFrame& frame, const RGBQUAD* palette, uint8_t* canvas, int32_t canvasWidth,
               int32_t canvasHeight) {
    Rect r = ClipToCanvas(frame, canvasWidth, canvasHeight);
    const uint8_t* pixels = static_cast<const uint8_t*>(frame.pixels);
    for (int32_t y = r.top; y < r.bottom; ++y) {
        const uint8_t* in = pixels + (size_t)(y - frame.top) * frame.width + (r.left - frame.left);
        uint8_t* out = canvas + ((size_t)y * canvasWidth + r.left) * 4;
        for (int32_t x = r.left; x < r.right; ++x, ++in, out += 4) {
            if ((int32_t)*in == frame.transparentIndex) continue;
            const RGBQUAD& q = palette[*in];
            out[0] = q.rgbRed;
            out[1] = q.rgbGreen;
            out[2] = q.rgbBlue;
            out[3] = 255;
        }
    }
}

void FillRect(const CPicGIFFrame& frame, const uint8_t colour[4], uint8_t* canvas, int32_t canvasWidth,
              int32_t canvasHeight) {
    Rect r = ClipToCanvas(frame, canvasWidth, canvasHeight);
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x) memcpy(canvas + ((size_t)y * canvasWidth + x) * 4, colour, 4);
}

bool NextFrame(CPicReaderContext& context, CPicAnimatedGIFState& state, uint8_t* buffer, int32_t* delay,
               uint32_t flags) {
    CPicGIFFrameList& list = state.frameList;
    if (list.frameCount <= 0) return context.Fail(PIC_ERR_BAD_GIF);  // nothing to draw
    const CPicGIFFrame& frame = list.frames[state.currentFrame];
    const RGBQUAD& bg = list.globalPalette[list.backgroundIndex & 0xFF];
    uint8_t background[4] = {bg.rgbRed, bg.rgbGreen, bg.rgbBlue, 255};
    uint8_t* canvas = state.canvas.data;
    size_t canvasBytes = state.canvas.count;
    if (frame.disposal == 3) memcpy(state.savedCanvas.data, canvas, canvasBytes);
    Composite(frame, frame.ownPalette ? frame.palette : list.globalPalette, canvas, list.canvasWidth,
              list.canvasHeight);
    *delay = frame.delay;
    memcpy(buffer, canvas, canvasBytes);
    if (frame.disposal == 2) {
        if (frame.transparentIndex == list.backgroundIndex && !frame.ownPalette) background[3] = 0;
        FillRect(frame, background, canvas, list.canvasWidth, list.canvasHeight);
    } else if (frame.disposal == 3) {
        memcpy(canvas, state.savedCanvas.data, canvasBytes);
    }
    if (state.currentFrame + 1 < (uint32_t)list.frameCount) {
        ++state.currentFrame;
        return true;
    }
    if (flags & 1) return context.Fail(PIC_ERR_NO_MORE_FRAMES);
    state.currentFrame = 0;
    if (list.loopCount == 0) return true;
    if (state.loopsPlayed + 1 < (uint32_t)list.loopCount) {
        ++state.loopsPlayed;
        return true;
    }
    return context.Fail(PIC_ERR_NO_MORE_FRAMES);
}

}  // namespace

void CPicGIFFrameList::Clear() {
    for (CPicGIFFrame& frame : frames)
        PicFreeWipedGlobal(frame.pixels);
    frames.clear();
    frameCount = canvasWidth = canvasHeight = loopCount = backgroundIndex = 0;
    memset(globalPalette, 0, sizeof globalPalette);
}

CPicAnimatedGIFState* WINAPI pic_InitRenderAnimatedGIF(CPicIO* source, int32_t* canvasWidth, int32_t* canvasHeight,
                                                      void*) {
    if (GetThreadState() == nullptr) return nullptr;
    ReportError(PIC_ERR_OK, "pic_InitRenderAnimatedGIF", nullptr);
    return PicReaderEntry("pic_InitRenderAnimatedGIF", (CPicAnimatedGIFState*)nullptr, source,
                          [&](CPicReaderContext& context) -> CPicAnimatedGIFState* {
        std::unique_ptr<CPicAnimatedGIFState> state(new (std::nothrow) CPicAnimatedGIFState);
        if (!state) return context.Fail(PIC_ERR_OUT_OF_MEMORY), nullptr;
        if (!DecodeAllFrames(context, *source, state->frameList)) return nullptr;
        uint32_t bytes = (uint32_t)(4ull * state->frameList.canvasWidth * state->frameList.canvasHeight);
        if (!state->canvas.Allocate(bytes) || !state->savedCanvas.Allocate(bytes))
            return context.Fail(PIC_ERR_OUT_OF_MEMORY), nullptr;
        state->canvas.Fill(0);
        state->savedCanvas.Fill(0);
        if (canvasWidth != nullptr) *canvasWidth = state->frameList.canvasWidth;
        if (canvasHeight != nullptr) *canvasHeight = state->frameList.canvasHeight;
        return state.release();
    });
}

BOOL WINAPI pic_AnimatedGIFGetNextFrame(CPicAnimatedGIFState* state, uint8_t* buffer, int32_t* delay,
                                        uint32_t flags) {
    if (GetThreadState() == nullptr) return FALSE;
    ReportError(PIC_ERR_OK, kNextFrameName, nullptr);
    CPicReaderContext context;
    BOOL result = FALSE;
    if (state == nullptr || buffer == nullptr || delay == nullptr)
        context.Fail(PIC_ERR_BAD_PARAM);
    else
        result = NextFrame(context, *state, buffer, delay, flags) ? TRUE : FALSE;
    ReportError(context.result, kNextFrameName, nullptr);
    return result;
}

BOOL WINAPI pic_FreeAnimatedGIF(CPicAnimatedGIFState* state) {
    if (GetThreadState() == nullptr) return FALSE;
    ReportError(PIC_ERR_OK, kNextFrameName, nullptr);
    if (state == nullptr) {
        ReportError(PIC_ERR_BAD_PARAM, kNextFrameName, nullptr);
        return FALSE;
    }
    delete state;
    return TRUE;
}
