#include "player/VideoDecoder.h"

#include "player/FFmpeg.h"
#include "player/VideoSurface.h"

namespace {
// A picture this far behind the clock is not worth scaling.
const int64_t kLateMs = 80;
}  // namespace

VideoDecoder::VideoDecoder(PlaybackState& state, AVCodecContext* decoder, int timeBaseNum, int timeBaseDen,
                           double frameRate, PacketQueue& packets, FrameQueue& frames, VideoSurface* surface)
    : DecoderThread(state, decoder, packets, state.videoPacketTaken, false), m_timeBaseNum(timeBaseNum),
      m_timeBaseDen(timeBaseDen), m_defaultDurationMs(frameRate > 0 ? (int64_t)(1000 / frameRate) : 40),
      m_frames(frames), m_surface(surface)
{
    m_held = av_frame_alloc();
}

VideoDecoder::~VideoDecoder()
{
    av_frame_free(&m_held);
    sws_freeContext(m_scaler);
}

void VideoDecoder::StartSerial()
{
    m_deliveredSinceSeek = false;
    if (m_held)
        av_frame_unref(m_held);
}

void VideoDecoder::EndOfStream()
{
    Drain();
    // A seek to the very end shows the last picture there is.
    if (!m_deliveredSinceSeek && m_held && m_held->buf[0] && !Abandoned()) {
        m_dropBeforeMs = INT64_MIN;
        Deliver(m_held);
    }
    std::unique_ptr<VideoFrame> end = m_frames.Spare();
    end->serial = m_serial;
    end->endOfStream = true;
    m_frames.Push(std::move(end), [this] { return Abandoned(); });
}

void VideoDecoder::Deliver(AVFrame* frame)
{
    int64_t timestamp = frame->best_effort_timestamp;
    int64_t ptsMs = timestamp == AV_NOPTS_VALUE ? m_lastPtsMs + m_defaultDurationMs
                                                : PlaybackMs(m_state, timestamp, m_timeBaseNum, m_timeBaseDen);
    int64_t durationMs =
        frame->pkt_duration > 0
            ? av_rescale_q(frame->pkt_duration, AVRational{m_timeBaseNum, m_timeBaseDen}, AVRational{1, 1000})
            : m_defaultDurationMs;
    m_lastPtsMs = ptsMs;
    if (ptsMs + (durationMs > 0 ? durationMs : 1) <= m_dropBeforeMs) {
        if (frame != m_held && m_held) {
            av_frame_unref(m_held);
            av_frame_ref(m_held, frame);
        }
        return;
    }
    if (frame != m_held && m_held)
        av_frame_unref(m_held);
    ++m_state.framesDecoded;
    m_state.NoteReached(ptsMs + durationMs);
    if (!m_state.freeRun && m_deliveredSinceSeek && m_state.clock.Running() &&
        ptsMs + durationMs < m_state.clock.NowMs() - kLateMs) {
        ++m_state.framesDropped;
        return;
    }
    std::unique_ptr<VideoFrame> out = m_frames.Spare();
    out->ptsMs = ptsMs;
    out->durationMs = durationMs;
    out->serial = m_serial;
    Convert(frame, *out);
    m_deliveredSinceSeek = true;
    m_frames.Push(std::move(out), [this] { return Abandoned(); });
}

void VideoDecoder::Convert(const AVFrame* frame, VideoFrame& out)
{
    int width = 0, height = 0;
    if (m_surface)
        m_surface->PictureSize(width, height);
    if (width <= 0 || height <= 0) {
        out.width = out.height = 0;
        return;
    }
    m_scaler = sws_getCachedContext(m_scaler, frame->width, frame->height, (AVPixelFormat)frame->format, width,
                                    height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!m_scaler) {
        out.width = out.height = 0;
        return;
    }
    out.width = width;
    out.height = height;
    out.pixels.resize((size_t)width * height * 4);
    uint8_t* planes[4] = {out.pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {width * 4, 0, 0, 0};
    sws_scale(m_scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
}
