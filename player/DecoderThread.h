// What the video and the audio decode threads share: take packets of the
// current seek serial from the queue, flush the decoder when a new serial
// begins, feed it and pass every decoded frame on; an end item of the queue
// ends the stream. The derived thread says what a frame and the end become.
#pragma once

#include "player/PacketQueue.h"
#include "player/PlaybackState.h"

#include <atomic>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

class DecoderThread {
public:
    DecoderThread(const DecoderThread&) = delete;
    DecoderThread& operator=(const DecoderThread&) = delete;
    virtual ~DecoderThread();

    void Run();

protected:
    // `packetTaken` is set once the decoder accepts a packet.
    DecoderThread(PlaybackState& state, AVCodecContext* decoder, PacketQueue& packets,
                  std::atomic<bool>& packetTaken, bool wipeFrames);

    // A new serial begins (the open or a seek); the decoder is flushed.
    virtual void StartSerial() {}
    virtual void Deliver(AVFrame* frame) = 0;
    // Every frame of the stream has been delivered.
    virtual void EndOfStream() = 0;

    // Sends the end of input and delivers what the decoder still holds; the
    // decoder is flushed after, ready for a later seek.
    void Drain();
    bool Abandoned() const { return m_state.Abandoned(m_serial); }

    PlaybackState& m_state;
    AVCodecContext* m_decoder;
    int m_serial = 0;
    int64_t m_dropBeforeMs = 0;  // the seek target: earlier media is not shown

private:
    void BeginSerial(int serial);
    void Decode(const AVPacket* packet);
    void ReceiveFrames();

    PacketQueue& m_packets;
    std::atomic<bool>& m_packetTaken;
    bool m_wipeFrames;
    AVFrame* m_frame = nullptr;
};
