// The video decoder's picture buffers, drawn from pools whose memory is wiped
// when it is finally freed (after the decoder and the player have let every
// picture go). Installed as the decoder's get_buffer2; the codec library calls
// it from its own worker threads, so it locks with std::mutex, never Win32.
// Decoders that cannot take caller buffers, and paletted or hardware formats,
// get the library's default buffers.
#pragma once

#include <cstddef>
#include <mutex>

struct AVBufferPool;
struct AVCodecContext;
struct AVFrame;

class WipingFramePool {
public:
    WipingFramePool() = default;
    ~WipingFramePool();
    WipingFramePool(const WipingFramePool&) = delete;
    WipingFramePool& operator=(const WipingFramePool&) = delete;

    // Makes the decoder take its pictures from this pool; the pool must
    // outlive the decoder context (pictures still held elsewhere are fine).
    void Attach(AVCodecContext* decoder);

private:
    static const int kPlanes = 4;
    static int GetBuffer(AVCodecContext* decoder, AVFrame* frame, int flags);
    int FillFrame(AVCodecContext* decoder, AVFrame* frame);
    bool PreparePools(const size_t sizes[kPlanes]);
    void ReleasePools();

    std::mutex m_mutex;
    AVBufferPool* m_pools[kPlanes] = {};
    size_t m_poolSizes[kPlanes] = {};
};
