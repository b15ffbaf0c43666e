#include "player/PacketQueue.h"

#include "player/FFmpeg.h"

namespace {
// Enough for several seconds of a high-rate video, few enough to bound memory.
const size_t kMaxBytes = 16 * 1024 * 1024;
const size_t kMaxPackets = 512;
const DWORD kWaitStepMs = 20;

void FreePacket(AVPacket* packet)
{
    if (packet)
        av_packet_free(&packet);
}
}  // namespace

bool PacketQueue::Full() const
{
    return m_bytes >= kMaxBytes || m_items.size() >= kMaxPackets;
}

bool PacketQueue::Push(AVPacket* packet, int serial, const std::function<bool()>& abandon)
{
    SectionLock guard(m_lock);
    while (Full()) {
        if (abandon()) {
            FreePacket(packet);
            return false;
        }
        m_changed.Wait(m_lock, kWaitStepMs);
    }
    m_items.push_back({packet, serial});
    m_bytes += packet ? (size_t)packet->size : 0;
    m_changed.WakeAll();
    return true;
}

bool PacketQueue::Pop(QueuedPacket& item, DWORD milliseconds)
{
    SectionLock guard(m_lock);
    if (m_items.empty())
        m_changed.Wait(m_lock, milliseconds);
    if (m_items.empty())
        return false;
    item = m_items.front();
    m_items.pop_front();
    m_bytes -= item.packet ? (size_t)item.packet->size : 0;
    m_changed.WakeAll();
    return true;
}

void PacketQueue::Clear()
{
    SectionLock guard(m_lock);
    for (QueuedPacket& item : m_items)
        FreePacket(item.packet);
    m_items.clear();
    m_bytes = 0;
    m_changed.WakeAll();
}

void PacketQueue::WakeAll()
{
    SectionLock guard(m_lock);
    m_changed.WakeAll();
}
