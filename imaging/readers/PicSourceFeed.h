// Buffered byte-by-byte reading of a source for the run-length decoders, so
// that a code byte costs no call on the source. The buffer holds image data
// (possibly decrypted) and is wiped when the feed ends.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "framework/base/WipedMemory.h"
#include "imaging/readers/PicIO.h"

class CPicSourceFeed {
public:
    explicit CPicSourceFeed(CPicIO& source, uint32_t chunk = 1 << 16) : m_source(source), m_buffer(chunk) {}
    CPicSourceFeed(const CPicSourceFeed&) = delete;
    CPicSourceFeed& operator=(const CPicSourceFeed&) = delete;

    // False at the end of the data.
    bool Byte(uint8_t& value) {
        if (m_position == m_end && !Fill()) return false;
        value = m_buffer[m_position++];
        return true;
    }
    // Up to n bytes; fewer only at the end of the data.
    uint32_t Read(uint8_t* out, uint32_t n) {
        uint32_t done = 0;
        while (done < n) {
            if (m_position == m_end) {
                // Large reads bypass the buffer (a row of a few kilobytes already is one).
                if (n - done >= kDirectRead) return done + m_source.Read(out + done, n - done);
                if (!Fill()) break;
            }
            uint32_t take = std::min<uint32_t>(n - done, m_end - m_position);
            memcpy(out + done, m_buffer.data() + m_position, take);
            m_position += take;
            done += take;
        }
        return done;
    }
    bool ReadExact(uint8_t* out, uint32_t n) { return Read(out, n) == n; }

private:
    static constexpr uint32_t kDirectRead = 4096;

    bool Fill() {
        m_position = 0;
        m_end = m_source.Read(m_buffer.data(), (uint32_t)m_buffer.size());
        return m_end != 0;
    }

    CPicIO& m_source;
    WipedBytes m_buffer;
    uint32_t m_position = 0;
    uint32_t m_end = 0;
};
