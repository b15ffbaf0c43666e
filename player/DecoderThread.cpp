#include "player/DecoderThread.h"

#include "player/FFmpeg.h"
#include "player/SecureMemory.h"

namespace {
const DWORD kPopWaitMs = 20;
}

DecoderThread::DecoderThread(PlaybackState& state, AVCodecContext* decoder, PacketQueue& packets,
                             std::atomic<bool>& packetTaken, bool wipeFrames)
    : m_state(state), m_decoder(decoder), m_packets(packets), m_packetTaken(packetTaken), m_wipeFrames(wipeFrames)
{
    m_frame = av_frame_alloc();
}

DecoderThread::~DecoderThread()
{
    av_frame_free(&m_frame);
}

void DecoderThread::Run()
{
    if (!m_frame)
        return;
    BeginSerial(m_state.serial);
    while (!m_state.stop) {
        QueuedPacket item;
        if (!m_packets.Pop(item, kPopWaitMs))
            continue;
        if (item.serial != m_state.serial) {
            av_packet_free(&item.packet);
            continue;
        }
        if (item.serial != m_serial)
            BeginSerial(item.serial);
        if (item.packet)
            Decode(item.packet);
        else
            EndOfStream();
        av_packet_free(&item.packet);
    }
}

void DecoderThread::BeginSerial(int serial)
{
    avcodec_flush_buffers(m_decoder);
    m_serial = serial;
    m_dropBeforeMs = m_state.seekTargetMs;
    StartSerial();
}

void DecoderThread::Decode(const AVPacket* packet)
{
    // The decoder refuses input only while its output is full; take that first.
    int result;
    while ((result = avcodec_send_packet(m_decoder, packet)) == AVERROR(EAGAIN) && !Abandoned())
        ReceiveFrames();
    if (result == 0)
        m_packetTaken = true;
    ReceiveFrames();
}

void DecoderThread::Drain()
{
    avcodec_send_packet(m_decoder, nullptr);
    ReceiveFrames();
    avcodec_flush_buffers(m_decoder);
}

void DecoderThread::ReceiveFrames()
{
    while (!Abandoned() && avcodec_receive_frame(m_decoder, m_frame) == 0) {
        Deliver(m_frame);
        if (m_wipeFrames)
            WipeUnsharedFrameBuffers(m_frame);
        av_frame_unref(m_frame);
    }
}
