// The presenter thread: hands each picture to the surface when the clock
// reaches its time, dropping a picture whose successor is already due; keeps
// the clock on the sound that is heard; and notices the end of the media,
// where it stops the clock at the length and the last picture stays.
#pragma once

#include "player/FrameQueue.h"
#include "player/PlaybackState.h"

#include <functional>

class AudioOutput;
class VideoSurface;

class Presenter {
public:
    Presenter(PlaybackState& state, FrameQueue& frames, VideoSurface* surface, AudioOutput& audio, bool hasVideo,
              bool hasAudio, std::function<int64_t()> lengthMs)
        : m_state(state), m_frames(frames), m_surface(surface), m_audio(audio), m_hasVideo(hasVideo),
          m_hasAudio(hasAudio), m_lengthMs(std::move(lengthMs))
    {
    }

    void Run();

private:
    // One step with the queue's oldest picture; false when nothing was done.
    bool Step(int64_t& waitMs);
    void Show(std::unique_ptr<VideoFrame> frame);
    void FollowAudio();
    void CheckEnd();

    PlaybackState& m_state;
    FrameQueue& m_frames;
    VideoSurface* m_surface;
    AudioOutput& m_audio;
    bool m_hasVideo, m_hasAudio;
    std::function<int64_t()> m_lengthMs;
    int m_forcedSerial = -1;  // the serial whose first picture was shown unasked
};
