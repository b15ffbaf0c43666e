// The demux thread: reads packets from the file and hands each to the
// queue of its decoder; repositions on a seek; marks the end of the file
// with an end item in each queue and then waits for a seek or the stop.
#pragma once

#include "player/PacketQueue.h"
#include "player/PlaybackState.h"

struct AVFormatContext;
struct AVPacket;

class Demuxer {
public:
    Demuxer(PlaybackState& state, AVFormatContext* format, int videoStream, int audioStream, PacketQueue& video,
            PacketQueue& audio)
        : m_state(state), m_format(format), m_videoStream(videoStream), m_audioStream(audioStream),
          m_video(video), m_audio(audio)
    {
    }

    void Run();

private:
    void Reposition();
    void MarkEnd(int serial);
    void NoteReached(const AVPacket* packet);
    PacketQueue* QueueFor(int streamIndex);

    PlaybackState& m_state;
    AVFormatContext* m_format;
    int m_videoStream, m_audioStream;
    PacketQueue& m_video;
    PacketQueue& m_audio;
};
