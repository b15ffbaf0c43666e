#include "player/Presenter.h"

#include "player/AudioOutput.h"
#include "player/VideoSurface.h"

namespace {
const int64_t kIdleWaitMs = 10;
}

void Presenter::Run()
{
    while (!m_state.stop) {
        FollowAudio();
        int64_t waitMs = kIdleWaitMs;
        if (Step(waitMs))
            continue;
        CheckEnd();
        m_frames.WaitForChange((DWORD)(waitMs < 1 ? 1 : waitMs > kIdleWaitMs ? kIdleWaitMs : waitMs));
    }
}

bool Presenter::Step(int64_t& waitMs)
{
    VideoFrame* next = nullptr;
    VideoFrame* front = m_frames.Front(0, &next);
    if (!front)
        return false;
    int serial = m_state.serial;
    if (front->serial != serial) {
        m_frames.Recycle(m_frames.TakeFront());
        return true;
    }
    if (front->endOfStream) {
        m_frames.Recycle(m_frames.TakeFront());
        m_state.videoEndSerial = serial;
        return true;
    }
    if (m_state.showSerial == serial && m_forcedSerial != serial) {
        m_forcedSerial = serial;
        Show(m_frames.TakeFront());
        return true;
    }
    if (!m_state.freeRun && !m_state.clock.Running())
        return false;
    int64_t now = m_state.freeRun ? INT64_MAX : m_state.clock.NowMs();
    if (front->ptsMs > now) {
        waitMs = front->ptsMs - now;
        return false;
    }
    bool successorDue = next && next->serial == serial && !next->endOfStream && next->ptsMs <= now;
    if (successorDue && !m_state.freeRun) {
        ++m_state.framesDropped;
        m_frames.Recycle(m_frames.TakeFront());
        return true;
    }
    Show(m_frames.TakeFront());
    return true;
}

void Presenter::Show(std::unique_ptr<VideoFrame> frame)
{
    ++m_state.framesPresented;
    if (m_surface)
        frame = m_surface->Present(std::move(frame));
    m_frames.Recycle(std::move(frame));
    m_state.firstPictureShown = true;
}

void Presenter::FollowAudio()
{
    if (!m_hasAudio || !m_audio.IsOpen())
        return;
    SectionLock guard(m_state.transport);
    int64_t heardMs = 0;
    if (m_state.clock.Running() && m_audio.AudibleMs(heardMs))
        m_state.clock.FollowAudio(heardMs);
}

void Presenter::CheckEnd()
{
    int serial = m_state.serial;
    if (m_state.endedSerial == serial || m_state.demuxEndSerial != serial)
        return;
    bool videoDone = !m_hasVideo || m_state.videoEndSerial == serial;
    bool audioDone = !m_hasAudio || (m_state.audioEndSerial == serial && m_audio.Drained());
    if (!videoDone || !audioDone)
        return;
    SectionLock guard(m_state.transport);
    if (m_state.serial != serial)
        return;
    int64_t length = m_lengthMs();
    if (!m_state.freeRun && m_state.clock.NowMs() < length)
        return;
    m_state.clock.SetRunning(false);
    m_state.clock.Reset(length);
    m_state.endedSerial = serial;
}
