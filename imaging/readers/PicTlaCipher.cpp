#include "imaging/readers/PicTlaCipher.h"

#include <cstring>
#include <initializer_list>

#include "framework/base/WipedMemory.h"

SapphireCipher::~SapphireCipher() {
    WipeBytes(m_cards, sizeof m_cards);
    Wipe();
}

void SapphireCipher::Step() {
    m_ratchet = (uint8_t)(m_ratchet + m_cards[m_rotor]);
    m_rotor = (uint8_t)(m_rotor + 1);
    uint8_t t = m_cards[m_lastCipher];
    m_cards[m_lastCipher] = m_cards[m_ratchet];
    m_cards[m_ratchet] = m_cards[m_lastPlain];
    m_cards[m_lastPlain] = m_cards[m_rotor];
    m_cards[m_rotor] = t;
    m_avalanche = (uint8_t)(m_avalanche + m_cards[t]);
}

uint8_t SapphireCipher::KeyByte() const {
    uint8_t a = m_cards[(uint8_t)(m_cards[m_ratchet] + m_cards[m_rotor])];
    uint8_t b = m_cards[m_cards[(uint8_t)(m_cards[m_lastPlain] + m_cards[m_lastCipher] + m_cards[m_avalanche])]];
    return (uint8_t)(a ^ b);
}

uint8_t SapphireCipher::EncryptByte(uint8_t plain) {
    Step();
    Remember(plain, (uint8_t)(plain ^ KeyByte()));
    return m_lastCipher;
}

uint8_t SapphireCipher::DecryptByte(uint8_t cipher) {
    Step();
    Remember((uint8_t)(cipher ^ KeyByte()), cipher);
    return m_lastPlain;
}

void SapphireCipher::DecryptBytes(uint8_t* buffer, size_t length) {
    for (size_t i = 0; i < length; ++i) buffer[i] = DecryptByte(buffer[i]);
}

uint8_t SapphireCipher::PickCard(uint32_t limit, const uint8_t* key, uint32_t length, uint8_t& sum,
                                 uint32_t& position) {
    uint32_t mask = 1;
    while (mask < limit) mask = (mask << 1) + 1;
    uint32_t tries = 0, u;
    do {
        sum = (uint8_t)(m_cards[sum] + key[position]);
        if (++position >= length) {
            position = 0;
            sum = (uint8_t)(sum + length);
        }
        u = sum & mask;
        if (++tries > 11) u %= limit;  // a short key would otherwise search for long
    } while (u > limit);
    return (uint8_t)u;
}

void SapphireCipher::SetKey(const uint8_t* key, uint32_t length) {
    for (int j = 0; j < 256; ++j) m_cards[j] = (uint8_t)j;
    uint8_t sum = 0;
    uint32_t position = 0;
    for (uint32_t j = 255; j >= 1; --j) {
        uint8_t k = PickCard(j, key, length, sum, position);
        uint8_t t = m_cards[j];
        m_cards[j] = m_cards[k];
        m_cards[k] = t;
    }
    m_rotor = m_cards[1];
    m_ratchet = m_cards[3];
    m_avalanche = m_cards[5];
    m_lastPlain = m_cards[7];
    m_lastCipher = m_cards[sum];
}

void SapphireCipher::StartHash(uint32_t hashLength) {
    for (int j = 0; j < 256; ++j) m_cards[j] = (uint8_t)(255 - j);
    m_rotor = 1;
    m_ratchet = 3;
    m_avalanche = 5;
    m_lastPlain = 7;
    m_lastCipher = 11;
    m_hashLength = hashLength;
}

void SapphireCipher::HashBytes(const uint8_t* bytes, size_t length) {
    for (size_t i = 0; i < length; ++i) EncryptByte(bytes[i]);
}

void SapphireCipher::FinishHash(uint8_t* out, uint32_t length) {
    for (int j = 255; j >= 0; --j) EncryptByte((uint8_t)j);
    for (uint32_t i = 0; i < length; ++i) out[i] = EncryptByte(0);
}

void SapphireCipher::Reset() {
    WipeBytes(m_cards, sizeof m_cards);
    Wipe();
}

void SapphireCipher::Wipe() {
    for (uint8_t* b : {&m_rotor, &m_ratchet, &m_avalanche, &m_lastPlain, &m_lastCipher}) WipeBytes(b, 1);
}

TlaKey::~TlaKey() { WipeBytes(bytes, sizeof bytes); }

void TlaKey::FromPassword(const char* password) {
    WipeBytes(bytes, sizeof bytes);
    present = 0;
    if (password == nullptr || password[0] == 0) return;
    SapphireCipher hash;
    hash.StartHash(32);
    hash.HashBytes(reinterpret_cast<const uint8_t*>(password), strlen(password));
    hash.FinishHash(bytes, 32);
    present = 1;
}
