// Playing a GIF animation as full 32-bit frames: every image is decoded at
// set-up; each next-frame call composites one image onto a canvas of the
// logical screen's size, hands out a copy and prepares the canvas for the
// image after it by the image's disposal method. A state belongs to the one
// thread that builds, plays and frees it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "imaging/core/PicArray.h"
#include "imaging/readers/PicIO.h"

struct CPicGIFFrame {
    int32_t index = 0;
    HGLOBAL pixels = nullptr;  // width x height indices, top-down; owned
    int32_t width = 0;
    int32_t height = 0;
    int32_t left = 0;
    int32_t top = 0;
    int32_t delay = 0;  // hundredths of a second
    int32_t disposal = 0;
    int32_t userInput = 0;
    int32_t ownPalette = 0;
    int32_t transparentIndex = -1;
    int32_t interlaced = 0;
    RGBQUAD palette[256] = {};
};

struct CPicGIFFrameList {
    ~CPicGIFFrameList() { Clear(); }
    void Clear();

    std::vector<CPicGIFFrame> frames;
    int32_t frameCount = 0;
    int32_t canvasWidth = 0;
    int32_t canvasHeight = 0;
    int32_t loopCount = 0;  // 0: endless
    int32_t backgroundIndex = 0;
    RGBQUAD globalPalette[256] = {};
};

struct CPicAnimatedGIFState {
    uint32_t loopsPlayed = 0;
    uint32_t currentFrame = 0;
    PicArray<uint8_t> canvas;       // R, G, B, A; top-down; stride canvas width x 4
    PicArray<uint8_t> savedCanvas;  // the canvas before a frame with disposal 3
    CPicGIFFrameList frameList;
};

// The state with every frame decoded, or null with its code; the source may
// be closed afterwards.
CPicAnimatedGIFState* WINAPI pic_InitRenderAnimatedGIF(CPicIO* source, int32_t* canvasWidth, int32_t* canvasHeight,
                                                      void* unused);
// Composites the next frame into buffer (canvas width x height x 4 bytes) and
// gives its delay; 0 with 79 when the animation has finished. flags bit 0:
// do not wrap around after the last frame.
BOOL WINAPI pic_AnimatedGIFGetNextFrame(CPicAnimatedGIFState* state, uint8_t* buffer, int32_t* delay,
                                        uint32_t flags);
BOOL WINAPI pic_FreeAnimatedGIF(CPicAnimatedGIFState* state);
