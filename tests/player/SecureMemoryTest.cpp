// Demuxed and decoded media is wiped before the codec library frees it: the
// test gives the library buffers whose release checks that every byte is zero.
#include "tests/QvTest.h"

#include "player/FFmpeg.h"
#include "player/SecureMemory.h"

#include <cstring>

namespace {

int g_releasedClean = 0;
int g_releasedDirty = 0;

void CheckWipedAndFree(void*, uint8_t* data)
{
    size_t size = 4096;
    bool clean = true;
    for (size_t i = 0; i < size; ++i)
        clean = clean && data[i] == 0;
    ++(clean ? g_releasedClean : g_releasedDirty);
    av_free(data);
}

AVBufferRef* PlaintextBuffer()
{
    uint8_t* data = static_cast<uint8_t*>(av_malloc(4096));
    memset(data, 0x5A, 4096);
    return av_buffer_create(data, 4096, &CheckWipedAndFree, nullptr, 0);
}

TEST(SecureMemory, APacketsPayloadIsWipedWhenItsLastHolderLetsGo)
{
    g_releasedClean = g_releasedDirty = 0;
    AVPacket* packet = av_packet_alloc();
    packet->buf = PlaintextBuffer();
    packet->data = packet->buf->data;
    packet->size = 4096;
    ASSERT_TRUE(WipePayloadOnRelease(packet));
    AVPacket* decoderCopy = av_packet_clone(packet);  // the decoder keeps a reference
    av_packet_free(&packet);
    EXPECT_EQ(g_releasedClean + g_releasedDirty, 0) << "still held by the decoder";
    EXPECT_EQ(decoderCopy->data[0], 0x5A);
    av_packet_free(&decoderCopy);
    EXPECT_EQ(g_releasedClean, 1);
    EXPECT_EQ(g_releasedDirty, 0);
}

TEST(SecureMemory, AFramesUnsharedBuffersAreWipedButSharedOnesKept)
{
    g_releasedClean = g_releasedDirty = 0;
    AVFrame* frame = av_frame_alloc();
    frame->buf[0] = PlaintextBuffer();
    frame->buf[1] = PlaintextBuffer();
    AVBufferRef* otherHolder = av_buffer_ref(frame->buf[1]);
    WipeUnsharedFrameBuffers(frame);
    EXPECT_EQ(otherHolder->data[0], 0x5A) << "a buffer someone else holds is left alone";
    av_frame_free(&frame);
    EXPECT_EQ(g_releasedClean, 1);
    av_buffer_unref(&otherHolder);
    EXPECT_EQ(g_releasedDirty, 1);
}

}  // namespace
