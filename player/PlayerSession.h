// One media file being played: opens and probes it, runs the demux, decode
// and presenter threads, draws into a child of the caller's window, and
// answers the transport calls (play, pause, seek, rectangle, volume, length,
// position). A new session starts paused at 0 with its first picture shown.
//
// Threads: every public function is called on the thread that opened the
// session (the caller's UI thread), one call at a time; the session's own
// threads never send a message to that thread, so Close may wait for them.
#pragma once

#include "player/AudioOutput.h"
#include "player/FileSource.h"
#include "player/FrameQueue.h"
#include "player/PacketQueue.h"
#include "player/PlaybackState.h"
#include "player/VideoSurface.h"
#include "player/WipingFramePool.h"
#include "player/WorkerThread.h"

#include <windows.h>

#include <cstdint>
#include <memory>

struct AVCodecContext;
struct AVFormatContext;
class AudioDecoder;
class Demuxer;
class Presenter;
class VideoDecoder;

struct StreamFacts {
    int width = 0, height = 0;  // of the coded picture; 0 without video
    int hasVideo = 0, hasAudio = 0;
    int sampleRate = 0, channels = 0;
};

struct SessionOptions {
    // Longest an open of a copy still being written may take before it gives
    // up (it is tried again as the copy grows). A file nobody writes has no
    // budget: its probe is bounded by its bytes, and a busy machine only
    // makes it slower.
    DWORD openBudgetMs = 1500;
    // Present every picture as soon as it is decoded, none dropped (measurements).
    bool freeRun = false;
    // Play the sound on the system's device when there is one.
    bool useAudioDevice = true;
};

class PlayerSession {
public:
    explicit PlayerSession(const SessionOptions& options = SessionOptions());
    ~PlayerSession();
    PlayerSession(const PlayerSession&) = delete;
    PlayerSession& operator=(const PlayerSession&) = delete;

    // False when the file is missing, empty, truncated or cannot be played;
    // the session is closed again then. `parent` may be null (nothing drawn).
    bool Open(const WCHAR* path, HWND parent, HINSTANCE instance);
    // Stops every thread, frees everything, destroys the child window and
    // closes the file before it returns.
    void Close();

    void Play();
    void Pause();
    // Clamped to [0, length]; while paused, the picture at the target is shown.
    void Seek(int64_t ms);
    void SetRect(const RECT& area);
    int64_t LengthMs();
    int64_t PositionMs();
    int Volume() const { return m_audio.Volume(); }
    void SetVolume(int percent) { m_audio.SetVolume(percent); }
    const StreamFacts& Facts() const { return m_facts; }
    HWND SurfaceWindow() const { return m_surface.Window(); }

    uint64_t FramesPresented() const { return m_state.framesPresented; }
    uint64_t FramesDropped() const { return m_state.framesDropped; }
    uint64_t FramesDecoded() const { return m_state.framesDecoded; }
    bool Ended() const { return m_state.Ended(); }

private:
    static int Interrupt(void* self);
    bool OpenBudgetSpent() const;
    bool Probe(const WCHAR* path);
    void RewindAfterPartialProbe();
    bool OpenStreams();
    AVCodecContext* OpenDecoder(int streamIndex, int threads);
    void StartThreads();
    bool WaitForFirstOutput();
    void SeekLocked(int64_t ms);

    SessionOptions m_options;
    PlaybackState m_state;
    FileSource m_source;
    AVFormatContext* m_format = nullptr;
    WipingFramePool m_framePool;  // outlives m_videoCodec
    AVCodecContext* m_videoCodec = nullptr;
    AVCodecContext* m_audioCodec = nullptr;
    int m_videoStream = -1, m_audioStream = -1;
    StreamFacts m_facts;
    PacketQueue m_videoPackets, m_audioPackets;
    FrameQueue m_frames;
    VideoSurface m_surface;
    AudioOutput m_audio;
    std::unique_ptr<Demuxer> m_demuxer;
    std::unique_ptr<VideoDecoder> m_videoDecoder;
    std::unique_ptr<AudioDecoder> m_audioDecoder;
    std::unique_ptr<Presenter> m_presenter;
    WorkerThread m_demuxThread, m_videoThread, m_audioThread, m_presenterThread;
    std::atomic<bool> m_probing{false};
    DWORD m_openDeadline = 0;
};
