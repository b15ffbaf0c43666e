// Md5: the MD5 message digest (RFC 1321). The file key is the MD5 digest of
// the password digest, so it follows the standard exactly.
#pragma once

#include <cstddef>
#include <cstdint>

const size_t MD5_DIGEST_SIZE = 16;

class Md5 {
public:
    Md5() { Init(); }
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    void Init();
    void Update(const void* bytes, size_t length);
    // Finishes once and returns the 16 digest bytes (kept until Init or destruction).
    const uint8_t* Final();

    // One-call digest of a buffer.
    static void Digest(const void* bytes, size_t length, uint8_t digest[MD5_DIGEST_SIZE]);

private:
    void Transform(const uint8_t block[64]);

    uint32_t m_state[4];
    uint64_t m_bitCount;
    uint8_t m_block[64];
    uint8_t m_digest[MD5_DIGEST_SIZE];
    bool m_finished;
};
