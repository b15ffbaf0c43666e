// The video decode thread: decodes the video packets (with as many codec
// threads as the machine has cores), scales each picture to 32 bits at the
// size the surface shows it, and queues it for the presenter. After a seek
// it decodes from the preceding key frame but queues nothing before the
// target; pictures already too late for the clock are dropped unscaled.
#pragma once

#include "player/DecoderThread.h"
#include "player/FrameQueue.h"

struct SwsContext;
class VideoSurface;

class VideoDecoder : public DecoderThread {
public:
    VideoDecoder(PlaybackState& state, AVCodecContext* decoder, int timeBaseNum, int timeBaseDen,
                 double frameRate, PacketQueue& packets, FrameQueue& frames, VideoSurface* surface);
    ~VideoDecoder() override;

private:
    void StartSerial() override;
    void Deliver(AVFrame* frame) override;
    void EndOfStream() override;
    void Convert(const AVFrame* frame, VideoFrame& out);

    int m_timeBaseNum, m_timeBaseDen;
    int64_t m_defaultDurationMs;
    FrameQueue& m_frames;
    VideoSurface* m_surface;
    SwsContext* m_scaler = nullptr;
    AVFrame* m_held = nullptr;  // the latest picture before the seek target
    bool m_deliveredSinceSeek = false;
    int64_t m_lastPtsMs = 0;
};
