#include "player/WipingFramePool.h"

#include "player/FFmpeg.h"
#include "player/SecureMemory.h"

#include <cstdint>

namespace {

// Spare bytes behind each plane, as the codec library's own pools keep, for
// decoders that read a little past a row's end.
const size_t kPlanePadding = 16 + 64 - 1;

void FreeWiped(void* size, uint8_t* data)
{
    WipeBytes(data, reinterpret_cast<uintptr_t>(size));
    av_free(data);
}

AVBufferRef* AllocateWiped(size_t size)
{
    uint8_t* data = static_cast<uint8_t*>(av_malloc(size));
    if (!data)
        return nullptr;
    AVBufferRef* buffer = av_buffer_create(data, size, &FreeWiped, reinterpret_cast<void*>(size), 0);
    if (!buffer)
        av_free(data);
    return buffer;
}

bool UsesDefaultBuffers(const AVCodecContext* decoder, const AVFrame* frame)
{
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
    return !format || (format->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL)) ||
           !(decoder->codec->capabilities & AV_CODEC_CAP_DR1);
}

// Row lengths the decoder accepts: the width is widened until every plane's
// row length is a multiple of the decoder's alignment for that plane.
bool AlignedLinesizes(AVPixelFormat format, int width, const int alignments[], int linesizes[4])
{
    for (int attempt = 0; attempt < 32; ++attempt) {
        if (av_image_fill_linesizes(linesizes, format, width) < 0)
            return false;
        bool aligned = true;
        for (int i = 0; i < 4; ++i)
            if (alignments[i] && linesizes[i] % alignments[i])
                aligned = false;
        if (aligned)
            return true;
        width += width & ~(width - 1);
    }
    return false;
}

}  // namespace

WipingFramePool::~WipingFramePool()
{
    ReleasePools();
}

void WipingFramePool::Attach(AVCodecContext* decoder)
{
    decoder->opaque = this;
    decoder->get_buffer2 = &WipingFramePool::GetBuffer;
}

int WipingFramePool::GetBuffer(AVCodecContext* decoder, AVFrame* frame, int flags)
{
    if (decoder->codec_type != AVMEDIA_TYPE_VIDEO || UsesDefaultBuffers(decoder, frame))
        return avcodec_default_get_buffer2(decoder, frame, flags);
    return static_cast<WipingFramePool*>(decoder->opaque)->FillFrame(decoder, frame);
}

int WipingFramePool::FillFrame(AVCodecContext* decoder, AVFrame* frame)
{
    AVPixelFormat format = static_cast<AVPixelFormat>(frame->format);
    int width = frame->width, height = frame->height;
    int alignments[AV_NUM_DATA_POINTERS] = {};
    avcodec_align_dimensions2(decoder, &width, &height, alignments);
    int linesizes[4] = {};
    if (!AlignedLinesizes(format, width, alignments, linesizes))
        return AVERROR(EINVAL);
    ptrdiff_t strides[4] = {linesizes[0], linesizes[1], linesizes[2], linesizes[3]};
    size_t sizes[4] = {};
    if (av_image_fill_plane_sizes(sizes, format, height, strides) < 0)
        return AVERROR(EINVAL);
    for (size_t& size : sizes)
        if (size)
            size += kPlanePadding;

    std::lock_guard<std::mutex> guard(m_mutex);
    if (!PreparePools(sizes))
        return AVERROR(ENOMEM);
    for (int i = 0; i < kPlanes && sizes[i]; ++i) {
        frame->buf[i] = av_buffer_pool_get(m_pools[i]);
        if (!frame->buf[i]) {
            for (int k = 0; k < i; ++k)
                av_buffer_unref(&frame->buf[k]);
            return AVERROR(ENOMEM);
        }
        frame->data[i] = frame->buf[i]->data;
        frame->linesize[i] = linesizes[i];
    }
    frame->extended_data = frame->data;
    return 0;
}

bool WipingFramePool::PreparePools(const size_t sizes[kPlanes])
{
    bool same = true;
    for (int i = 0; i < kPlanes; ++i)
        same = same && m_poolSizes[i] == sizes[i];
    if (same)
        return true;
    ReleasePools();
    for (int i = 0; i < kPlanes && sizes[i]; ++i) {
        m_pools[i] = av_buffer_pool_init(sizes[i], &AllocateWiped);
        if (!m_pools[i])
            return false;
        m_poolSizes[i] = sizes[i];
    }
    return true;
}

// Pictures still in use return to a released pool and are wiped and freed then.
void WipingFramePool::ReleasePools()
{
    for (int i = 0; i < kPlanes; ++i) {
        av_buffer_pool_uninit(&m_pools[i]);
        m_poolSizes[i] = 0;
    }
}
