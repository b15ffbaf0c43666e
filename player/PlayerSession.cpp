#include "player/PlayerSession.h"

#include "player/AudioDecoder.h"
#include "player/Demuxer.h"
#include "player/FFmpeg.h"
#include "player/Presenter.h"
#include "player/VideoDecoder.h"
#include "framework/base/Processors.h"

#include <algorithm>

namespace {
// How much of the file the probe may read and how much media it may look at,
// so that an open on a partial copy answers within about a second.
const int64_t kProbeBytes = 2 * 1024 * 1024;
const int64_t kAnalyzeMicroseconds = AV_TIME_BASE;
const DWORD kOpenPollMs = 2;
const int kMaxDecodeThreads = 16;

bool TickReached(DWORD now, DWORD deadline) { return (LONG)(now - deadline) >= 0; }

int DecodeThreads()
{
    return std::min((int)UsableProcessorCount(), kMaxDecodeThreads);
}

int OutputRate(int sampleRate)
{
    return sampleRate >= 8000 && sampleRate <= 192000 ? sampleRate : 48000;
}
}  // namespace

PlayerSession::PlayerSession(const SessionOptions& options) : m_options(options)
{
    m_state.freeRun = options.freeRun;
}

PlayerSession::~PlayerSession()
{
    Close();
}

int PlayerSession::Interrupt(void* self)
{
    PlayerSession* session = static_cast<PlayerSession*>(self);
    return session->m_state.stop || (session->m_probing && session->OpenBudgetSpent());
}

// The budget runs out only for a copy that a writer still holds; the writer
// is asked only once the time is up.
bool PlayerSession::OpenBudgetSpent() const
{
    return TickReached(GetTickCount(), m_openDeadline) && m_source.WriterHoldsFile();
}

bool PlayerSession::Open(const WCHAR* path, HWND parent, HINSTANCE instance)
{
    m_openDeadline = GetTickCount() + m_options.openBudgetMs;
    m_probing = true;
    bool opened = Probe(path) && OpenStreams();
    if (opened)
        RewindAfterPartialProbe();
    m_probing = false;
    m_source.SetPlaying();
    if (opened) {
        if (parent)
            m_surface.Create(parent, instance);
        if (m_facts.hasAudio && m_options.useAudioDevice)
            m_audio.Open(OutputRate(m_facts.sampleRate));
        m_audio.Pause(true);
        StartThreads();
        opened = WaitForFirstOutput();
    }
    if (!opened) {
        Close();
        return false;
    }
    m_surface.Show(m_facts.hasVideo != 0);
    return true;
}

bool PlayerSession::Probe(const WCHAR* path)
{
    if (!path || !m_source.Open(path))
        return false;
    m_source.SetProbing(m_openDeadline);
    m_format = avformat_alloc_context();
    if (!m_format)
        return false;
    m_format->pb = m_source.Context();
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    m_format->probesize = kProbeBytes;
    m_format->max_analyze_duration = kAnalyzeMicroseconds;
    m_format->interrupt_callback.callback = &PlayerSession::Interrupt;
    m_format->interrupt_callback.opaque = this;
    if (avformat_open_input(&m_format, "", nullptr, nullptr) < 0) {
        m_format = nullptr;  // freed by the failed open
        return false;
    }
    return avformat_find_stream_info(m_format, nullptr) >= 0;
}

// A probe that reached the end of a copy still being written has left the
// demuxer at that end, believing the file over; playing starts again from
// the beginning, now that reads wait for the copy to grow.
void PlayerSession::RewindAfterPartialProbe()
{
    if (!m_source.EndSeenWhileGrowing())
        return;
    m_format->pb->eof_reached = 0;
    int64_t start = m_format->start_time != AV_NOPTS_VALUE ? m_format->start_time : 0;
    if (av_seek_frame(m_format, -1, start, AVSEEK_FLAG_BACKWARD) < 0)
        avformat_seek_file(m_format, -1, INT64_MIN, 0, INT64_MAX, AVSEEK_FLAG_BYTE);
}

AVCodecContext* PlayerSession::OpenDecoder(int streamIndex, int threads)
{
    AVStream* stream = m_format->streams[streamIndex];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    if (!decoder)
        return nullptr;
    if (avcodec_parameters_to_context(decoder, stream->codecpar) < 0) {
        avcodec_free_context(&decoder);
        return nullptr;
    }
    decoder->pkt_timebase = stream->time_base;
    decoder->thread_count = threads;
    if (codec->type == AVMEDIA_TYPE_VIDEO) {
        decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        m_framePool.Attach(decoder);
#if FF_API_THREAD_SAFE_CALLBACKS
        // Older libraries ask that a caller's buffer function say it is
        // thread-safe (ours is); newer ones assume it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        decoder->thread_safe_callbacks = 1;
#pragma GCC diagnostic pop
#endif
    }
    if (avcodec_open2(decoder, codec, nullptr) < 0)
        avcodec_free_context(&decoder);
    return decoder;
}

bool PlayerSession::OpenStreams()
{
    int video = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0 && (m_format->streams[video]->disposition & AV_DISPOSITION_ATTACHED_PIC))
        video = -1;  // a cover picture of a sound file
    int audio = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
    if (video >= 0 && !(m_videoCodec = OpenDecoder(video, DecodeThreads())))
        video = -1;
    if (audio >= 0 && !(m_audioCodec = OpenDecoder(audio, 1)))
        audio = -1;
    if (video < 0 && audio < 0)
        return false;
    m_videoStream = video;
    m_audioStream = audio;
    for (unsigned i = 0; i < m_format->nb_streams; ++i)
        if ((int)i != video && (int)i != audio)
            m_format->streams[i]->discard = AVDISCARD_ALL;
    m_state.startMs = m_format->start_time != AV_NOPTS_VALUE ? m_format->start_time / 1000 : 0;

    if (video >= 0) {
        AVStream* stream = m_format->streams[video];
        m_facts.hasVideo = 1;
        m_facts.width = m_videoCodec->width;
        m_facts.height = m_videoCodec->height;
        AVRational shape = av_guess_sample_aspect_ratio(m_format, stream, nullptr);
        double pixelShape = shape.num > 0 && shape.den > 0 ? av_q2d(shape) : 1.0;
        if (m_facts.height > 0)
            m_surface.SetPictureAspect(m_facts.width * pixelShape / m_facts.height);
    }
    if (audio >= 0) {
        m_facts.hasAudio = 1;
        m_facts.sampleRate = m_audioCodec->sample_rate;
        m_facts.channels = m_audioCodec->ch_layout.nb_channels;
    }
    return true;
}

void PlayerSession::StartThreads()
{
    m_demuxer = std::make_unique<Demuxer>(m_state, m_format, m_videoStream, m_audioStream, m_videoPackets,
                                          m_audioPackets);
    m_demuxThread.Start([this] { m_demuxer->Run(); });
    if (m_videoStream >= 0) {
        AVStream* stream = m_format->streams[m_videoStream];
        m_videoDecoder = std::make_unique<VideoDecoder>(
            m_state, m_videoCodec, stream->time_base.num, stream->time_base.den,
            av_q2d(av_guess_frame_rate(m_format, stream, nullptr)), m_videoPackets, m_frames,
            m_surface.Window() ? &m_surface : nullptr);
        m_videoThread.Start([this] { m_videoDecoder->Run(); });
    }
    if (m_audioStream >= 0) {
        AVStream* stream = m_format->streams[m_audioStream];
        m_audioDecoder = std::make_unique<AudioDecoder>(m_state, m_audioCodec, stream->time_base.num,
                                                        stream->time_base.den, m_audioPackets, m_audio);
        m_audioThread.Start([this] { m_audioDecoder->Run(); });
    }
    m_presenter = std::make_unique<Presenter>(m_state, m_frames, m_surface.Window() ? &m_surface : nullptr, m_audio,
                                              m_videoStream >= 0, m_audioStream >= 0, [this] { return LengthMs(); });
    m_presenterThread.Start([this] { m_presenter->Run(); });
}

// A file opens only when it yields something to show or hear: a header
// without media (a truncated copy) fails. The decoder may hold its first
// pictures back until it has several packets (one per codec thread), so a
// partial copy whose packets the decoder took opens once reading waits for
// the copy to grow.
bool PlayerSession::WaitForFirstOutput()
{
    bool video = m_facts.hasVideo != 0;
    for (;;) {
        bool streamEnded = video ? m_state.videoEndSerial == 0 : m_state.audioEndSerial == 0;
        bool packetTaken = video ? m_state.videoPacketTaken.load() : m_state.audioPacketTaken.load();
        if (video ? m_state.firstPictureShown.load() : m_state.firstSoundDecoded.load())
            return true;
        if (packetTaken && m_source.WaitingForGrowth())
            return true;
        if (streamEnded)
            return false;
        if (OpenBudgetSpent())
            return packetTaken;
        Sleep(kOpenPollMs);
    }
}

void PlayerSession::Close()
{
    m_state.stop = true;
    m_source.RequestStop();
    m_videoPackets.WakeAll();
    m_audioPackets.WakeAll();
    m_frames.WakeAll();
    m_presenterThread.Join();
    m_videoThread.Join();
    m_audioThread.Join();
    m_demuxThread.Join();
    m_presenter.reset();
    m_videoDecoder.reset();
    m_audioDecoder.reset();
    m_demuxer.reset();
    avcodec_free_context(&m_videoCodec);
    avcodec_free_context(&m_audioCodec);
    if (m_format)
        avformat_close_input(&m_format);
    m_source.Close();
    m_videoPackets.Clear();
    m_audioPackets.Clear();
    m_frames.Clear();
    m_audio.Close();
    m_surface.Destroy();
}

void PlayerSession::Play()
{
    SectionLock guard(m_state.transport);
    int64_t length = LengthMs();
    if (m_state.Ended() || (length > 0 && m_state.clock.NowMs() >= length))
        SeekLocked(0);
    m_state.clock.SetRunning(true);
    m_audio.Pause(false);
}

void PlayerSession::Pause()
{
    SectionLock guard(m_state.transport);
    m_state.clock.SetRunning(false);
    m_audio.Pause(true);
}

void PlayerSession::Seek(int64_t ms)
{
    SectionLock guard(m_state.transport);
    int64_t length = LengthMs();
    if (length > 0 && ms > length)
        ms = length;
    SeekLocked(ms < 0 ? 0 : ms);
}

void PlayerSession::SeekLocked(int64_t ms)
{
    int next = m_state.serial + 1;
    m_state.seekTargetMs = ms;
    m_state.serial = next;  // work of older serials is dropped from here on
    m_videoPackets.Clear();
    m_audioPackets.Clear();
    m_state.showSerial = next;
    m_state.seekPending = true;
    m_audio.Reset(next);
    m_state.clock.Reset(ms);
    m_frames.WakeAll();
}

void PlayerSession::SetRect(const RECT& area)
{
    m_surface.Place(area);
}

int64_t PlayerSession::LengthMs()
{
    if (!m_format)
        return 0;
    int64_t length = 0;
    if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        length = m_format->duration / (AV_TIME_BASE / 1000);
    for (int index : {m_videoStream, m_audioStream}) {
        AVStream* stream = index >= 0 ? m_format->streams[index] : nullptr;
        if (length <= 0 && stream && stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
            int64_t ms = av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
            length = ms > length ? ms : length;
        }
    }
    // A length the headers state holds. One estimated from the time stamps
    // or the rate covers only what the file held at the open: it grows with
    // the file and with the media read so far, and is exact once the file
    // has been read to its end.
    bool stated = length > 0 && m_format->duration_estimation_method == AVFMT_DURATION_FROM_STREAM;
    if (stated)
        return length;
    int64_t fileEnd = m_state.fileEndMs;
    if (fileEnd >= 0)
        return fileEnd;  // read to the end: the media's own end
    if (m_format->bit_rate > 0) {
        int64_t bySize = m_source.Size() * 8000 / m_format->bit_rate;
        length = bySize > length ? bySize : length;
    }
    int64_t reached = m_state.furthestMs;
    return reached > length ? reached : length;
}

int64_t PlayerSession::PositionMs()
{
    int64_t length = LengthMs();
    if (m_state.Ended())
        return length;
    int64_t position = m_state.clock.NowMs();
    if (length > 0 && position > length)
        position = length;
    return position < 0 ? 0 : position;
}
