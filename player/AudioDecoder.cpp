#include "player/AudioDecoder.h"

#include "player/AudioOutput.h"
#include "player/FFmpeg.h"

namespace {
const DWORD kPopWaitMs = 20;
const int kBytesPerFrame = 4;
}  // namespace

AudioDecoder::AudioDecoder(PlaybackState& state, AVCodecContext* decoder, int timeBaseNum, int timeBaseDen,
                           PacketQueue& packets, AudioOutput& output)
    : m_state(state), m_decoder(decoder), m_timeBaseNum(timeBaseNum), m_timeBaseDen(timeBaseDen),
      m_packets(packets), m_output(output)
{
    m_frame = av_frame_alloc();
}

AudioDecoder::~AudioDecoder()
{
    av_frame_free(&m_frame);
    swr_free(&m_resampler);
}

void AudioDecoder::Run()
{
    if (!m_frame)
        return;
    StartSerial(m_state.serial);
    while (!m_state.stop) {
        QueuedPacket item;
        if (!m_packets.Pop(item, kPopWaitMs))
            continue;
        if (item.serial != m_state.serial) {
            av_packet_free(&item.packet);
            continue;
        }
        if (item.serial != m_serial)
            StartSerial(item.serial);
        if (item.packet)
            Decode(item.packet);
        else
            EndOfStream();
        av_packet_free(&item.packet);
    }
}

void AudioDecoder::StartSerial(int serial)
{
    avcodec_flush_buffers(m_decoder);
    m_serial = serial;
    m_dropBeforeMs = m_state.seekTargetMs;
    m_nextPtsMs = m_dropBeforeMs;
}

void AudioDecoder::Decode(const AVPacket* packet)
{
    int result;
    while ((result = avcodec_send_packet(m_decoder, packet)) == AVERROR(EAGAIN) && !m_state.Abandoned(m_serial))
        ReceiveFrames();
    if (result == 0)
        m_state.audioPacketTaken = true;
    ReceiveFrames();
}

void AudioDecoder::ReceiveFrames()
{
    while (!m_state.Abandoned(m_serial) && avcodec_receive_frame(m_decoder, m_frame) == 0) {
        Deliver(m_frame);
        WipeUnsharedFrameBuffers(m_frame);
        av_frame_unref(m_frame);
    }
}

void AudioDecoder::EndOfStream()
{
    avcodec_send_packet(m_decoder, nullptr);
    ReceiveFrames();
    avcodec_flush_buffers(m_decoder);
    m_output.Flush(m_serial);
    m_state.audioEndSerial = m_serial;
}

bool AudioDecoder::PrepareResampler(const AVFrame* frame)
{
    uint64_t layout = frame->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? frame->ch_layout.u.mask : 0;
    if (m_resampler && m_resamplerRate == frame->sample_rate && m_resamplerFormat == frame->format &&
        m_resamplerLayout == layout && m_resamplerChannels == frame->ch_layout.nb_channels)
        return true;
    swr_free(&m_resampler);
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    AVChannelLayout input;
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&input, frame->ch_layout.nb_channels);
    else if (av_channel_layout_copy(&input, &frame->ch_layout) < 0)
        return false;
    int result = swr_alloc_set_opts2(&m_resampler, &stereo, AV_SAMPLE_FMT_S16, m_output.SampleRate(), &input,
                                     (AVSampleFormat)frame->format, frame->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&input);
    if (result < 0 || swr_init(m_resampler) < 0) {
        swr_free(&m_resampler);
        return false;
    }
    m_resamplerRate = frame->sample_rate;
    m_resamplerFormat = frame->format;
    m_resamplerLayout = layout;
    m_resamplerChannels = frame->ch_layout.nb_channels;
    return true;
}

void AudioDecoder::Deliver(AVFrame* frame)
{
    int64_t ptsMs = frame->best_effort_timestamp == AV_NOPTS_VALUE
                        ? m_nextPtsMs
                        : PlaybackMs(m_state, frame->best_effort_timestamp, m_timeBaseNum, m_timeBaseDen);
    int64_t durationMs = frame->sample_rate > 0 ? (int64_t)frame->nb_samples * 1000 / frame->sample_rate : 0;
    m_nextPtsMs = ptsMs + durationMs;
    m_state.firstSoundDecoded = true;
    m_state.NoteReached(ptsMs + durationMs);
    if (!m_output.IsOpen() || ptsMs + durationMs <= m_dropBeforeMs || !PrepareResampler(frame))
        return;

    int capacity = swr_get_out_samples(m_resampler, frame->nb_samples);
    if (capacity <= 0)
        return;
    if (m_pcm.size() < (size_t)capacity * kBytesPerFrame)
        m_pcm.resize((size_t)capacity * kBytesPerFrame);
    uint8_t* out = m_pcm.data();
    int frames = swr_convert(m_resampler, &out, capacity, (const uint8_t**)frame->extended_data, frame->nb_samples);
    if (frames <= 0)
        return;
    // Cut what lies before the seek target, so the sound starts where the picture does.
    int skip = 0;
    if (ptsMs < m_dropBeforeMs)
        skip = (int)((m_dropBeforeMs - ptsMs) * m_output.SampleRate() / 1000);
    if (skip >= frames)
        return;
    int64_t startMs = ptsMs + (int64_t)skip * 1000 / m_output.SampleRate();
    const int16_t* samples = reinterpret_cast<const int16_t*>(m_pcm.data()) + (size_t)skip * 2;
    m_output.Write(samples, frames - skip, startMs, m_serial, [this] { return m_state.Abandoned(m_serial); });
}
