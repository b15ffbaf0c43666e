// The Sapphire II stream cipher (also used as a hash) and the TLA file key
// made from a password with it. A cipher object is keyed once and consumed
// byte by byte; its state is wiped when it is destroyed, as the key is.
#pragma once

#include <cstddef>
#include <cstdint>

class SapphireCipher {
public:
    SapphireCipher() = default;
    ~SapphireCipher();
    SapphireCipher(const SapphireCipher&) = delete;
    SapphireCipher& operator=(const SapphireCipher&) = delete;

    // key: 1-255 bytes.
    void SetKey(const uint8_t* key, uint32_t length);
    void DecryptBytes(uint8_t* buffer, size_t length);
    uint8_t EncryptByte(uint8_t plain);
    uint8_t DecryptByte(uint8_t cipher);

    void StartHash(uint32_t hashLength);
    void HashBytes(const uint8_t* bytes, size_t length);
    void FinishHash(uint8_t* out, uint32_t length);

    // Zeroes the cards and the five state bytes.
    void Reset();
    // Zeroes the five state bytes.
    void Wipe();

private:
    void Step();
    uint8_t KeyByte() const;
    void Remember(uint8_t plain, uint8_t cipher) {
        m_lastPlain = plain;
        m_lastCipher = cipher;
    }
    uint8_t PickCard(uint32_t limit, const uint8_t* key, uint32_t length, uint8_t& sum, uint32_t& position);

    uint8_t m_cards[256] = {};
    uint8_t m_rotor = 0;
    uint8_t m_ratchet = 0;
    uint8_t m_avalanche = 0;
    uint8_t m_lastPlain = 0;
    uint8_t m_lastCipher = 0;
    uint32_t m_hashLength = 0;
};

// The 32-byte key of a protected TLA stream; wiped when destroyed.
struct TlaKey {
    TlaKey() = default;
    ~TlaKey();
    TlaKey(const TlaKey&) = delete;
    TlaKey& operator=(const TlaKey&) = delete;

    // A null or empty password gives no key (present false).
    void FromPassword(const char* password);

    uint8_t present = 0;
    uint8_t bytes[32] = {};
};
