// The audio decode thread: decodes the sound, converts it to 16-bit stereo
// at the device's rate and writes it to the wave-out ring. After a seek the
// sound before the target is cut off. Without a device the sound is decoded
// and discarded, so the end of the stream is still known.
#pragma once

#include "player/PacketQueue.h"
#include "player/PlaybackState.h"
#include "player/SecureMemory.h"

struct AVCodecContext;
struct AVFrame;
struct SwrContext;
class AudioOutput;

class AudioDecoder {
public:
    AudioDecoder(PlaybackState& state, AVCodecContext* decoder, int timeBaseNum, int timeBaseDen,
                 PacketQueue& packets, AudioOutput& output);
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    void Run();

private:
    void StartSerial(int serial);
    void Decode(const AVPacket* packet);
    void ReceiveFrames();
    void Deliver(AVFrame* frame);
    bool PrepareResampler(const AVFrame* frame);
    void EndOfStream();

    PlaybackState& m_state;
    AVCodecContext* m_decoder;
    int m_timeBaseNum, m_timeBaseDen;
    PacketQueue& m_packets;
    AudioOutput& m_output;
    SwrContext* m_resampler = nullptr;
    int m_resamplerRate = 0, m_resamplerFormat = -1;
    uint64_t m_resamplerLayout = 0;
    int m_resamplerChannels = 0;
    AVFrame* m_frame = nullptr;
    WipedBytes m_pcm;
    int m_serial = 0;
    int64_t m_dropBeforeMs = 0;
    int64_t m_nextPtsMs = 0;
};
