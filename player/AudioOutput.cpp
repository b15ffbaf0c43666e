#include "player/AudioOutput.h"

#include <cstring>

namespace {
const int kBytesPerFrame = 4;  // 16-bit stereo
const int kBufferMs = 40;
const DWORD kWaitStepMs = 10;
// Far more than the ring holds at any time; only a stalled reader needs the cap.
const size_t kMaxSegments = 1024;
}  // namespace

void AudioOutput::ApplyVolume(int16_t* samples, size_t count, int percent)
{
    if (percent == 100)
        return;
    for (size_t i = 0; i < count; ++i) {
        int value = samples[i] * percent / 100;
        samples[i] = (int16_t)(value > 32767 ? 32767 : value < -32768 ? -32768 : value);
    }
}

bool AudioOutput::Open(int sampleRate)
{
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = (DWORD)sampleRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = kBytesPerFrame;
    format.nAvgBytesPerSec = format.nSamplesPerSec * kBytesPerFrame;
    if (waveOutGetNumDevs() == 0)
        return false;
    m_doneEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!m_doneEvent)
        return false;
    if (waveOutOpen(&m_device, WAVE_MAPPER, &format, (DWORD_PTR)m_doneEvent, 0, CALLBACK_EVENT) !=
        MMSYSERR_NOERROR) {
        m_device = nullptr;
        CloseHandle(m_doneEvent);
        m_doneEvent = nullptr;
        return false;
    }
    m_sampleRate = sampleRate;
    m_bufferFrames = sampleRate * kBufferMs / 1000;
    for (Buffer& buffer : m_buffers)
        buffer.bytes.assign((size_t)m_bufferFrames * kBytesPerFrame, 0);
    return true;
}

void AudioOutput::Close()
{
    if (m_device) {
        waveOutReset(m_device);
        for (Buffer& buffer : m_buffers)
            if (buffer.header.dwFlags & WHDR_PREPARED)
                waveOutUnprepareHeader(m_device, &buffer.header, sizeof buffer.header);
        waveOutClose(m_device);
        m_device = nullptr;
    }
    if (m_doneEvent) {
        CloseHandle(m_doneEvent);
        m_doneEvent = nullptr;
    }
    for (Buffer& buffer : m_buffers) {
        buffer.bytes = WipedBytes();
        buffer.queued = false;
        buffer.header = WAVEHDR();
    }
    m_filling = nullptr;
}

AudioOutput::Buffer* AudioOutput::FreeBufferLocked()
{
    if (m_filling)
        return m_filling;
    for (Buffer& buffer : m_buffers) {
        if (buffer.queued && (buffer.header.dwFlags & WHDR_DONE)) {
            waveOutUnprepareHeader(m_device, &buffer.header, sizeof buffer.header);
            buffer.queued = false;
        }
        if (!buffer.queued) {
            buffer.header = WAVEHDR();
            buffer.header.lpData = (LPSTR)buffer.bytes.data();
            m_filling = &buffer;
            return m_filling;
        }
    }
    return nullptr;
}

void AudioOutput::SubmitLocked(Buffer& buffer)
{
    if (buffer.header.dwBufferLength == 0)
        return;
    ApplyVolume((int16_t*)buffer.bytes.data(), buffer.header.dwBufferLength / 2, m_volume);
    waveOutPrepareHeader(m_device, &buffer.header, sizeof buffer.header);
    if (waveOutWrite(m_device, &buffer.header, sizeof buffer.header) == MMSYSERR_NOERROR) {
        buffer.queued = true;
        m_submittedBytes += buffer.header.dwBufferLength;
    } else {
        waveOutUnprepareHeader(m_device, &buffer.header, sizeof buffer.header);
    }
    m_filling = nullptr;
}

bool AudioOutput::Write(const int16_t* samples, int frames, int64_t ptsMs, int serial,
                        const std::function<bool()>& abandon)
{
    const uint8_t* source = reinterpret_cast<const uint8_t*>(samples);
    size_t remaining = (size_t)frames * kBytesPerFrame;
    int64_t done = 0;  // frames already queued from this call
    while (remaining > 0) {
        {
            SectionLock guard(m_lock);
            if (!m_device || serial != m_serial)
                return false;
            Buffer* buffer = FreeBufferLocked();
            if (buffer) {
                size_t capacity = buffer->bytes.size() - buffer->header.dwBufferLength;
                size_t take = remaining < capacity ? remaining : capacity;
                uint64_t startByte = m_submittedBytes + buffer->header.dwBufferLength;
                int64_t segmentMs = ptsMs + done * 1000 / m_sampleRate;
                m_segments.push_back({startByte, segmentMs});
                if (m_segments.size() > kMaxSegments)
                    m_segments.pop_front();
                memcpy(buffer->bytes.data() + buffer->header.dwBufferLength, source, take);
                buffer->header.dwBufferLength += (DWORD)take;
                source += take;
                remaining -= take;
                done += (int64_t)(take / kBytesPerFrame);
                if (buffer->header.dwBufferLength == buffer->bytes.size())
                    SubmitLocked(*buffer);
                continue;
            }
        }
        if (abandon())
            return false;
        WaitForSingleObject(m_doneEvent, kWaitStepMs);
    }
    return true;
}

void AudioOutput::Flush(int serial)
{
    SectionLock guard(m_lock);
    if (m_device && m_filling && serial == m_serial)
        SubmitLocked(*m_filling);
}

void AudioOutput::Pause(bool paused)
{
    SectionLock guard(m_lock);
    m_paused = paused;
    if (!m_device)
        return;
    if (paused)
        waveOutPause(m_device);
    else
        waveOutRestart(m_device);
}

void AudioOutput::Reset(int serial)
{
    SectionLock guard(m_lock);
    m_serial = serial;
    if (!m_device)
        return;
    waveOutReset(m_device);
    if (m_paused)
        waveOutPause(m_device);
    else
        waveOutRestart(m_device);
    for (Buffer& buffer : m_buffers) {
        if (buffer.queued)
            waveOutUnprepareHeader(m_device, &buffer.header, sizeof buffer.header);
        buffer.queued = false;
        buffer.header = WAVEHDR();
        WipeBytes(buffer.bytes.data(), buffer.bytes.size());
    }
    m_filling = nullptr;
    m_submittedBytes = 0;
    m_lastDevicePosition = 0;
    m_playedBytes = 0;
    m_segments.clear();
}

uint64_t AudioOutput::PlayedBytesLocked()
{
    MMTIME time = {};
    time.wType = TIME_BYTES;
    if (waveOutGetPosition(m_device, &time, sizeof time) == MMSYSERR_NOERROR && time.wType == TIME_BYTES) {
        m_playedBytes += (uint32_t)(time.u.cb - m_lastDevicePosition);
        m_lastDevicePosition = time.u.cb;
    }
    return m_playedBytes < m_submittedBytes ? m_playedBytes : m_submittedBytes;
}

bool AudioOutput::AudibleMs(int64_t& ms)
{
    SectionLock guard(m_lock);
    if (!m_device || m_segments.empty())
        return false;
    uint64_t played = PlayedBytesLocked();
    if (played >= m_submittedBytes)
        return false;
    while (m_segments.size() > 1 && m_segments[1].startByte <= played)
        m_segments.pop_front();
    const Segment& segment = m_segments.front();
    if (played < segment.startByte)
        return false;
    ms = segment.ptsMs + (int64_t)((played - segment.startByte) / kBytesPerFrame) * 1000 / m_sampleRate;
    return true;
}

bool AudioOutput::Drained()
{
    SectionLock guard(m_lock);
    if (!m_device)
        return true;
    if (m_filling && m_filling->header.dwBufferLength)
        return false;
    for (Buffer& buffer : m_buffers)
        if (buffer.queued && !(buffer.header.dwFlags & WHDR_DONE))
            return false;
    return true;
}

void AudioOutput::SetVolume(int percent)
{
    m_volume = percent < kMinVolume ? kMinVolume : percent > kMaxVolume ? kMaxVolume : percent;
}
