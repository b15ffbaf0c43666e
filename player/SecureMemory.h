// Wiping of decoded and demuxed media before its memory is released: the
// player may be playing a decrypted copy, so its plaintext must not linger
// in freed memory. These helpers call no Win32 function, because the codec
// library's own worker threads (not Wine threads) release buffers too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/base/WipedMemory.h"

struct AVFrame;
struct AVPacket;

// WipeBytes, WipingAllocator and WipedBytes come from the framework's wiping home.

// Puts the packet's payload behind a reference that wipes it when the last
// holder (the player or the decoder) lets it go. False when out of memory;
// the packet is unchanged then.
bool WipePayloadOnRelease(AVPacket* packet);

// Wipes the frame's sample or pixel buffers that no one else references.
void WipeUnsharedFrameBuffers(AVFrame* frame);
