// The media file read through a Win32 handle for the codec library (a custom
// I/O context), so that Windows share modes hold: the file is opened for
// reading with read and write sharing, and nobody can open it exclusively
// until Close.
//
// The file may be a copy that another process or thread is still writing. A
// read at the current end waits in small steps while the file grows; it
// reports the end at once when no writer holds the file, and otherwise after
// a few seconds without growth. While the player probes the file, that wait
// is short and, while a writer holds the file, ends at the probing deadline,
// so a probe of a partial copy answers promptly (EndSeenWhileGrowing tells
// the probe that it saw only part of the file).
//
// Threads: the opening thread, then the demux thread, read; RequestStop,
// Size and WriterHoldsFile may be called from any thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

struct AVIOContext;

class FileSource {
public:
    // Seconds without growth after which a written-to file counts as ended.
    static const DWORD kGrowthPatienceMs = 3000;
    // The same while probing: the probe takes what is there.
    static const DWORD kProbingPatienceMs = 150;

    FileSource() = default;
    ~FileSource();
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Opens the file and the I/O context; false when either fails.
    bool Open(const WCHAR* path);
    AVIOContext* Context() const { return m_context; }

    // Reads at the end wait briefly, and give up at GetTickCount() == deadline.
    void SetProbing(DWORD deadlineTick);
    // Reads at the end wait for growth with the full patience.
    void SetPlaying();
    // A probing read reported the end of a file that a writer still held.
    bool EndSeenWhileGrowing() const { return m_endSeenWhileGrowing; }
    // A read is waiting at the end for the file to grow.
    bool WaitingForGrowth() const { return m_waiting; }
    // True when some handle may write the file (a copy still being written).
    bool WriterHoldsFile() const;
    // Every wait ends now and later reads fail at once.
    void RequestStop() { m_stop = true; }
    int64_t Size() const;
    // Frees the context (its buffer wiped first) and closes the handle.
    void Close();

private:
    enum class WaitResult { More, End, Abandoned };
    static int ReadPacket(void* self, uint8_t* buffer, int size);
    static int64_t SeekTo(void* self, int64_t offset, int whence);
    int Read(uint8_t* buffer, int size);
    int64_t Position() const;
    WaitResult WaitForGrowth(int64_t position);

    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::vector<WCHAR> m_path;
    AVIOContext* m_context = nullptr;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_probing{true};
    std::atomic<DWORD> m_probingDeadline{0};
    std::atomic<bool> m_endSeenWhileGrowing{false};
    std::atomic<bool> m_waiting{false};
};
