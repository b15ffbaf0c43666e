// What the player's threads share while one file plays. Owned by the
// session; every field may be read by any of its threads.
//
// Seeks are counted: every seek bumps `serial`, and packets, pictures and
// sounds carry the serial they were made under, so work begun before a seek
// is recognised and dropped wherever it is. The transport lock orders the
// changes of the clock by the session (play, pause, seek) against those of
// the presenter (end of media, following the sound).
#pragma once

#include "player/MediaClock.h"
#include "player/Sync.h"

#include <atomic>
#include <cstdint>

struct PlaybackState {
    // Asks every thread to end.
    std::atomic<bool> stop{false};
    std::atomic<int> serial{0};
    // Where the current serial's playback starts (0 for the open).
    std::atomic<int64_t> seekTargetMs{0};
    // The demux thread has yet to move to seekTargetMs.
    std::atomic<bool> seekPending{false};
    // The serial whose first picture is shown even while paused.
    std::atomic<int> showSerial{0};
    // The last serial for which the file, the pictures and the sound ended.
    std::atomic<int> demuxEndSerial{-1};
    std::atomic<int> videoEndSerial{-1};
    std::atomic<int> audioEndSerial{-1};
    // The serial whose playback reached the end (position = length).
    std::atomic<int> endedSerial{-1};
    // The open waits for these.
    std::atomic<bool> firstPictureShown{false};
    std::atomic<bool> firstSoundDecoded{false};
    std::atomic<bool> videoPacketTaken{false};  // the decoder accepted a packet
    std::atomic<bool> audioPacketTaken{false};
    // The latest media time that a packet read or a picture or sound decoded reached.
    std::atomic<int64_t> furthestMs{0};
    // Where the file's media ended when the demux thread found its end (-1: not yet).
    std::atomic<int64_t> fileEndMs{-1};

    std::atomic<uint64_t> framesDecoded{0};
    std::atomic<uint64_t> framesPresented{0};
    std::atomic<uint64_t> framesDropped{0};

    // Set before the threads start, constant after.
    bool freeRun = false;  // present every picture as soon as it is decoded (measurements)
    int64_t startMs = 0;   // the file's first time stamp, which plays as position 0

    CriticalSection transport;
    MediaClock clock;

    bool Abandoned(int mySerial) const { return stop || serial != mySerial; }
    bool Ended() const { return endedSerial == serial; }
    void NoteReached(int64_t ms)
    {
        int64_t seen = furthestMs;
        while (ms > seen && !furthestMs.compare_exchange_weak(seen, ms)) {
        }
    }
};

// Milliseconds of playback for a time stamp of a stream.
int64_t PlaybackMs(const PlaybackState& state, int64_t timestamp, int timeBaseNum, int timeBaseDen);
