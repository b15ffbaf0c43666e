// Decoded pictures on their way from the video decode thread to the
// presenter, oldest first, at most a few at a time; and a small stock of
// spent pictures that the decoder fills again instead of allocating.
#pragma once

#include "player/SecureMemory.h"
#include "player/Sync.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

struct VideoFrame {
    int64_t ptsMs = 0;
    int64_t durationMs = 0;
    int serial = 0;
    bool endOfStream = false;  // no picture: the stream of this serial ended
    int width = 0, height = 0; // 0 when the picture is not drawn (no window)
    WipedBytes pixels;         // 32-bit BGRX rows, top-down, width * 4 bytes each
};

class FrameQueue {
public:
    static const size_t kCapacity = 4;

    bool Push(std::unique_ptr<VideoFrame> frame, const std::function<bool()>& abandon);
    // The oldest picture (and the next one, when asked), without taking them;
    // waits up to `milliseconds` when the queue is empty. Pointers stay valid
    // until the presenter, the only consumer, takes the picture.
    VideoFrame* Front(DWORD milliseconds, VideoFrame** next = nullptr);
    std::unique_ptr<VideoFrame> TakeFront();
    // Waits up to `milliseconds` for a change (a new picture, a wake-up).
    void WaitForChange(DWORD milliseconds);
    // Empties the queue; only while the presenter does not run, since it
    // would invalidate the pointers Front gave out.
    void Clear();
    void WakeAll();

    void Recycle(std::unique_ptr<VideoFrame> frame);
    std::unique_ptr<VideoFrame> Spare();

private:
    CriticalSection m_lock;
    ConditionVariable m_changed;
    std::deque<std::unique_ptr<VideoFrame>> m_frames;
    std::vector<std::unique_ptr<VideoFrame>> m_spares;
};
