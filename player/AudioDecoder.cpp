#include "player/AudioDecoder.h"

#include "player/AudioOutput.h"
#include "player/FFmpeg.h"

namespace {
const int kBytesPerFrame = 4;
}  // namespace

AudioDecoder::AudioDecoder(PlaybackState& state, AVCodecContext* decoder, int timeBaseNum, int timeBaseDen,
                           PacketQueue& packets, AudioOutput& output)
    : DecoderThread(state, decoder, packets, state.audioPacketTaken, true), m_timeBaseNum(timeBaseNum),
      m_timeBaseDen(timeBaseDen), m_output(output)
{
}

AudioDecoder::~AudioDecoder()
{
    swr_free(&m_resampler);
}

void AudioDecoder::StartSerial()
{
    m_nextPtsMs = m_dropBeforeMs;
}

void AudioDecoder::EndOfStream()
{
    Drain();
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
    m_output.Write(samples, frames - skip, startMs, m_serial, [this] { return Abandoned(); });
}
