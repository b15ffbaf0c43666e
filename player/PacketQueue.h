// Demuxed packets on their way from the demux thread to one decoder thread.
// A null packet marks the end of the stream. Each item carries the seek
// serial it was read under, so a decoder knows when to flush. Push blocks
// while the queue is full, until room appears or `abandon` answers true.
#pragma once

#include "player/Sync.h"

#include <cstddef>
#include <deque>
#include <functional>

struct AVPacket;

struct QueuedPacket {
    AVPacket* packet = nullptr;  // owned by the item; null: end of stream
    int serial = 0;
};

class PacketQueue {
public:
    PacketQueue() = default;
    ~PacketQueue() { Clear(); }
    PacketQueue(const PacketQueue&) = delete;
    PacketQueue& operator=(const PacketQueue&) = delete;

    // Takes ownership of `packet` in every case (frees it when abandoned).
    bool Push(AVPacket* packet, int serial, const std::function<bool()>& abandon);
    // Waits up to `milliseconds` for an item; the caller owns its packet.
    bool Pop(QueuedPacket& item, DWORD milliseconds);
    // Frees every queued packet.
    void Clear();
    // Wakes every waiter (stop, seek).
    void WakeAll();

private:
    bool Full() const;

    CriticalSection m_lock;
    ConditionVariable m_changed;
    std::deque<QueuedPacket> m_items;
    size_t m_bytes = 0;
};
