#include "player/MediaClock.h"

#include <cmath>

namespace {
const double kAudioToleranceMs = 15;
}

MediaClock::MediaClock()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    m_frequency = (double)frequency.QuadPart;
    m_anchor = Seconds();
}

double MediaClock::Seconds() const
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart / m_frequency;
}

double MediaClock::NowLocked() const
{
    return m_running ? m_baseMs + (Seconds() - m_anchor) * 1000.0 : m_baseMs;
}

void MediaClock::Reset(int64_t ms)
{
    SectionLock guard(m_lock);
    m_baseMs = (double)ms;
    m_anchor = Seconds();
}

void MediaClock::SetRunning(bool running)
{
    SectionLock guard(m_lock);
    if (running == m_running)
        return;
    m_baseMs = NowLocked();
    m_anchor = Seconds();
    m_running = running;
}

bool MediaClock::Running()
{
    SectionLock guard(m_lock);
    return m_running;
}

int64_t MediaClock::NowMs()
{
    SectionLock guard(m_lock);
    return (int64_t)std::floor(NowLocked());
}

void MediaClock::FollowAudio(int64_t audibleMs)
{
    SectionLock guard(m_lock);
    if (!m_running || std::fabs(NowLocked() - (double)audibleMs) <= kAudioToleranceMs)
        return;
    m_baseMs = (double)audibleMs;
    m_anchor = Seconds();
}
