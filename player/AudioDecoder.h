// The audio decode thread: decodes the sound, converts it to 16-bit stereo
// at the device's rate and writes it to the wave-out ring. After a seek the
// sound before the target is cut off. Without a device the sound is decoded
// and discarded, so the end of the stream is still known.
#pragma once

#include "player/DecoderThread.h"
#include "player/SecureMemory.h"

struct SwrContext;
class AudioOutput;

class AudioDecoder : public DecoderThread {
public:
    AudioDecoder(PlaybackState& state, AVCodecContext* decoder, int timeBaseNum, int timeBaseDen,
                 PacketQueue& packets, AudioOutput& output);
    ~AudioDecoder() override;

private:
    void StartSerial() override;
    void Deliver(AVFrame* frame) override;
    void EndOfStream() override;
    bool PrepareResampler(const AVFrame* frame);

    int m_timeBaseNum, m_timeBaseDen;
    AudioOutput& m_output;
    SwrContext* m_resampler = nullptr;
    int m_resamplerRate = 0, m_resamplerFormat = -1;
    uint64_t m_resamplerLayout = 0;
    int m_resamplerChannels = 0;
    WipedBytes m_pcm;
    int64_t m_nextPtsMs = 0;
};
