// The video decode thread: decodes the video packets (with as many codec
// threads as the machine has cores), scales each picture to 32 bits at the
// size the surface shows it, and queues it for the presenter. After a seek
// it decodes from the preceding key frame but queues nothing before the
// target; pictures already too late for the clock are dropped unscaled.
#pragma once

#include "player/FrameQueue.h"
#include "player/PacketQueue.h"
#include "player/PlaybackState.h"

struct AVCodecContext;
struct AVFrame;
struct SwsContext;
class VideoSurface;

class VideoDecoder {
public:
    VideoDecoder(PlaybackState& state, AVCodecContext* decoder, int timeBaseNum, int timeBaseDen,
                 double frameRate, PacketQueue& packets, FrameQueue& frames, VideoSurface* surface);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    void Run();

private:
    void StartSerial(int serial);
    void Decode(const AVPacket* packet);
    void Drain();
    void ReceiveFrames();
    void Deliver(AVFrame* frame);
    void Convert(const AVFrame* frame, VideoFrame& out);

    PlaybackState& m_state;
    AVCodecContext* m_decoder;
    int m_timeBaseNum, m_timeBaseDen;
    int64_t m_defaultDurationMs;
    PacketQueue& m_packets;
    FrameQueue& m_frames;
    VideoSurface* m_surface;
    SwsContext* m_scaler = nullptr;
    AVFrame* m_frame = nullptr;
    AVFrame* m_held = nullptr;  // the latest picture before the seek target
    int m_serial = 0;
    int64_t m_dropBeforeMs = 0;
    bool m_deliveredSinceSeek = false;
    int64_t m_lastPtsMs = 0;
};
