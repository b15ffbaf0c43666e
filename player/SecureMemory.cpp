#include "player/SecureMemory.h"

#include "player/FFmpeg.h"

#include <cstring>

namespace {

void ReleaseWrappedPayload(void* inner, uint8_t*)
{
    AVBufferRef* buffer = static_cast<AVBufferRef*>(inner);
    WipeBytes(buffer->data, buffer->size);
    av_buffer_unref(&buffer);
}

void WipeBufferIfUnshared(AVBufferRef* buffer)
{
    if (buffer && av_buffer_is_writable(buffer))
        WipeBytes(buffer->data, buffer->size);
}

}  // namespace

bool WipePayloadOnRelease(AVPacket* packet)
{
    if (!packet->buf && av_packet_make_refcounted(packet) < 0)
        return false;
    AVBufferRef* inner = packet->buf;
    AVBufferRef* outer = av_buffer_create(inner->data, inner->size, &ReleaseWrappedPayload, inner, 0);
    if (!outer)
        return false;
    packet->buf = outer;
    return true;
}

void WipeUnsharedFrameBuffers(AVFrame* frame)
{
    for (AVBufferRef* buffer : frame->buf)
        WipeBufferIfUnshared(buffer);
    for (int i = 0; i < frame->nb_extended_buf; ++i)
        WipeBufferIfUnshared(frame->extended_buf[i]);
}
