// CAsyncWriter: writes buffers to a file on a thread of its own, in the order
// they are submitted, so that the caller prepares the next buffer (reading,
// checksumming, enciphering) while the previous one is written. After a
// failed write nothing further is written, so the file holds exactly the
// buffers before the failure, as a sequential writer would leave it.
// Whole aligned pieces of the buffers (which are page-aligned) bypass the
// system's file cache where the file system allows it: filling fresh cache
// pages costs more than the disk write itself. Everything else, and
// everything after the file system refuses, goes through the cache.
#pragma once

#include "crypt/RawFile.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

class CAsyncWriter {
public:
    CAsyncWriter(CRawFile& file, size_t bufferSize, int bufferCount);
    // Waits for the pending writes, then wipes and frees the buffers.
    ~CAsyncWriter();
    CAsyncWriter(const CAsyncWriter&) = delete;
    CAsyncWriter& operator=(const CAsyncWriter&) = delete;

    // Makes the buffers and the thread; false when either cannot be made.
    bool Start();
    // A free buffer of bufferSize bytes (waits for one), or null once a write failed.
    uint8_t* AcquireBuffer();
    // Queues the first count bytes of an acquired buffer for writing.
    void Submit(uint8_t* buffer, size_t count);
    // Gives back an acquired buffer unwritten.
    void Release(uint8_t* buffer);
    // Waits until every submitted buffer is written; false when any write failed.
    bool Finish();

private:
    struct Pending {
        uint8_t* buffer;
        size_t count;
    };

    static DWORD WINAPI ThreadMain(void* self);
    void WriteLoop();
    // Writes one buffer at the file pointer; false when it fell short.
    bool WriteOut(const uint8_t* data, size_t count);
    // Writes go through the system's file cache again.
    void EndUnbuffered();
    void Stop();

    CRawFile& m_file;
    size_t m_bufferSize;
    int m_bufferCount;
    std::vector<uint8_t*> m_all;
    std::vector<uint8_t*> m_free;
    std::deque<Pending> m_queue;
    bool m_writing = false;   // the thread holds a buffer it is writing
    bool m_failed = false;
    bool m_stopping = false;
    // The writer thread's own while it runs: where its next write lands
    // (-1: not known yet), whether writes bypass the cache, whether they may.
    int64_t m_position = -1;
    bool m_unbuffered = false;
    bool m_mayUnbuffer = true;
    HANDLE m_thread = nullptr;
    CRITICAL_SECTION m_lock;
    CONDITION_VARIABLE m_changed;
};
