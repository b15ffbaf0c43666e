#include "player/FrameQueue.h"

namespace {
const DWORD kWaitStepMs = 10;
const size_t kMaxSpares = 4;
}

bool FrameQueue::Push(std::unique_ptr<VideoFrame> frame, const std::function<bool()>& abandon)
{
    SectionLock guard(m_lock);
    while (m_frames.size() >= kCapacity) {
        if (abandon()) {
            if (m_spares.size() < kMaxSpares)
                m_spares.push_back(std::move(frame));
            return false;
        }
        m_changed.Wait(m_lock, kWaitStepMs);
    }
    m_frames.push_back(std::move(frame));
    m_changed.WakeAll();
    return true;
}

VideoFrame* FrameQueue::Front(DWORD milliseconds, VideoFrame** next)
{
    SectionLock guard(m_lock);
    if (m_frames.empty() && milliseconds)
        m_changed.Wait(m_lock, milliseconds);
    if (next)
        *next = m_frames.size() > 1 ? m_frames[1].get() : nullptr;
    return m_frames.empty() ? nullptr : m_frames.front().get();
}

std::unique_ptr<VideoFrame> FrameQueue::TakeFront()
{
    SectionLock guard(m_lock);
    if (m_frames.empty())
        return nullptr;
    std::unique_ptr<VideoFrame> frame = std::move(m_frames.front());
    m_frames.pop_front();
    m_changed.WakeAll();
    return frame;
}

void FrameQueue::WaitForChange(DWORD milliseconds)
{
    SectionLock guard(m_lock);
    m_changed.Wait(m_lock, milliseconds);
}

void FrameQueue::Clear()
{
    SectionLock guard(m_lock);
    while (!m_frames.empty()) {
        if (m_spares.size() < kMaxSpares)
            m_spares.push_back(std::move(m_frames.front()));
        m_frames.pop_front();
    }
    m_changed.WakeAll();
}

void FrameQueue::WakeAll()
{
    SectionLock guard(m_lock);
    m_changed.WakeAll();
}

void FrameQueue::Recycle(std::unique_ptr<VideoFrame> frame)
{
    SectionLock guard(m_lock);
    if (frame && m_spares.size() < kMaxSpares)
        m_spares.push_back(std::move(frame));
}

std::unique_ptr<VideoFrame> FrameQueue::Spare()
{
    {
        SectionLock guard(m_lock);
        if (!m_spares.empty()) {
            std::unique_ptr<VideoFrame> frame = std::move(m_spares.back());
            m_spares.pop_back();
            *frame = VideoFrame{0, 0, 0, false, frame->width, frame->height, std::move(frame->pixels)};
            return frame;
        }
    }
    return std::make_unique<VideoFrame>();
}
