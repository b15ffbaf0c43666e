// Sound through the system's wave-out device: 16-bit stereo samples in a
// ring of buffers, with the volume (25 to 200 percent) applied as a gain that
// saturates instead of wrapping. Also tells which media time is being heard,
// for the presentation clock. Open fails when the system has no device; the
// player then plays silently.
//
// Threads: the audio decode thread writes; the session's thread pauses,
// resets and sets the volume; the presenter asks what is heard. One lock
// guards the ring.
#pragma once

#include "player/SecureMemory.h"
#include "player/Sync.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>

class AudioOutput {
public:
    static const int kMinVolume = 25;
    static const int kMaxVolume = 200;

    AudioOutput() = default;
    ~AudioOutput() { Close(); }
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    bool Open(int sampleRate);
    void Close();
    bool IsOpen() const { return m_device != nullptr; }
    int SampleRate() const { return m_sampleRate; }

    // Queues `frames` stereo frames that begin at media time `ptsMs`; waits
    // for free buffers. Returns false, queuing nothing more, once `abandon`
    // answers true (stop, seek) or `serial` is no longer the accepted one.
    bool Write(const int16_t* samples, int frames, int64_t ptsMs, int serial,
               const std::function<bool()>& abandon);
    // Sends out a partly filled buffer (end of the stream).
    void Flush(int serial);
    void Pause(bool paused);
    // Drops everything queued; from now on only `serial`'s samples are taken.
    void Reset(int serial);
    // Media time heard now; false when nothing is playing.
    bool AudibleMs(int64_t& ms);
    // Every queued sample has been played.
    bool Drained();
    void SetVolume(int percent);
    int Volume() const { return m_volume; }

    // The saturating gain on one buffer of samples.
    static void ApplyVolume(int16_t* samples, size_t count, int percent);

private:
    struct Buffer {
        WAVEHDR header = {};
        WipedBytes bytes;
        bool queued = false;
    };
    struct Segment {  // the media time at a byte offset of the device's stream
        uint64_t startByte;
        int64_t ptsMs;
    };
    static const int kBufferCount = 8;

    Buffer* FreeBufferLocked();
    void SubmitLocked(Buffer& buffer);
    uint64_t PlayedBytesLocked();

    CriticalSection m_lock;
    HWAVEOUT m_device = nullptr;
    HANDLE m_doneEvent = nullptr;
    int m_sampleRate = 0;
    int m_bufferFrames = 0;
    Buffer m_buffers[kBufferCount];
    Buffer* m_filling = nullptr;     // partly filled, not yet queued
    uint64_t m_submittedBytes = 0;   // bytes queued since the last reset
    uint32_t m_lastDevicePosition = 0;
    uint64_t m_playedBytes = 0;      // the device's position, widened to 64 bits
    std::deque<Segment> m_segments;
    int m_serial = 0;
    bool m_paused = false;
    std::atomic<int> m_volume{100};
};
