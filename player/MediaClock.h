// The presentation clock in milliseconds of media time. It runs on the
// system's performance counter and, while sound plays, follows the audio
// device's position (FollowAudio), so pictures keep pace with what is heard.
// Any thread may read or set it.
#pragma once

#include "player/Sync.h"

#include <cstdint>

class MediaClock {
public:
    MediaClock();

    // Jumps to `ms` (open, seek, end); running or stopped as before.
    void Reset(int64_t ms);
    void SetRunning(bool running);
    bool Running();
    int64_t NowMs();
    // The device is heard at `audibleMs` now; corrects the clock when it has
    // drifted by more than a few milliseconds.
    void FollowAudio(int64_t audibleMs);

private:
    double Seconds() const;
    double NowLocked() const;

    CriticalSection m_lock;
    double m_frequency;
    double m_baseMs = 0;     // media time at m_anchor
    double m_anchor = 0;     // counter seconds when m_baseMs held
    bool m_running = false;
};
