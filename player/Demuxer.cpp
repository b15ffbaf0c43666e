#include "player/Demuxer.h"

#include "player/FFmpeg.h"
#include "player/SecureMemory.h"

namespace {
const DWORD kIdleStepMs = 10;
}

int64_t PlaybackMs(const PlaybackState& state, int64_t timestamp, int timeBaseNum, int timeBaseDen)
{
    return av_rescale_q(timestamp, AVRational{timeBaseNum, timeBaseDen}, AVRational{1, 1000}) - state.startMs;
}

PacketQueue* Demuxer::QueueFor(int streamIndex)
{
    if (streamIndex == m_videoStream)
        return &m_video;
    if (streamIndex == m_audioStream)
        return &m_audio;
    return nullptr;
}

void Demuxer::Run()
{
    bool atEnd = false;
    int serial = m_state.serial;
    auto abandon = [this] { return m_state.stop || m_state.seekPending; };
    while (!m_state.stop) {
        if (m_state.seekPending.exchange(false)) {
            serial = m_state.serial;
            Reposition();
            atEnd = false;
            continue;
        }
        if (atEnd) {
            Sleep(kIdleStepMs);
            continue;
        }
        AVPacket* packet = av_packet_alloc();
        if (!packet)
            break;
        int result = av_read_frame(m_format, packet);
        if (result < 0) {
            av_packet_free(&packet);
            if (m_state.stop)
                break;
            if (result == AVERROR(EAGAIN)) {
                Sleep(kIdleStepMs);
                continue;
            }
            // The end, or damage that cannot be read past: what was read plays.
            atEnd = true;
            MarkEnd(serial);
            continue;
        }
        PacketQueue* queue = QueueFor(packet->stream_index);
        if (queue)
            NoteReached(packet);
        if (!queue || !WipePayloadOnRelease(packet)) {
            av_packet_free(&packet);
            continue;
        }
        queue->Push(packet, serial, abandon);
    }
}

void Demuxer::Reposition()
{
    int64_t target = (m_state.seekTargetMs + m_state.startMs) * (AV_TIME_BASE / 1000);
    if (av_seek_frame(m_format, -1, target, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(m_format, -1, INT64_MIN, target, INT64_MAX, 0) < 0)
        avformat_seek_file(m_format, -1, INT64_MIN, 0, INT64_MAX, AVSEEK_FLAG_BYTE);
}

void Demuxer::MarkEnd(int serial)
{
    auto abandon = [this] { return m_state.stop || m_state.seekPending; };
    if (m_videoStream >= 0)
        m_video.Push(nullptr, serial, abandon);
    if (m_audioStream >= 0)
        m_audio.Push(nullptr, serial, abandon);
    m_state.demuxEndSerial = serial;
    m_state.fileEndMs = m_state.furthestMs.load();
}

void Demuxer::NoteReached(const AVPacket* packet)
{
    int64_t timestamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (timestamp == AV_NOPTS_VALUE)
        return;
    AVRational timeBase = m_format->streams[packet->stream_index]->time_base;
    m_state.NoteReached(PlaybackMs(m_state, timestamp + packet->duration, timeBase.num, timeBase.den));
}
