// Entry ciphers: CPkCryptograph is the abstract cipher, CPkCrc32Cryptograph
// the traditional zip encryption (three keys from the password, a 12-byte
// encryption header, a byte-wise stream cipher).
#pragma once

#include "framework/base/PkAutoBuffer.h"

#include <cstdint>

class CPkFileHeader;
class CPkStorage;

class CPkCryptograph {
public:
    // False when the password's check byte does not match.
    virtual bool BeginDecryption(const CPkAutoBuffer& password, CPkFileHeader& header, CPkStorage& storage,
                                 bool skipCheck) = 0;
    virtual void BeginEncryption(const CPkAutoBuffer& password, CPkFileHeader& header, CPkStorage& storage) = 0;
    virtual void Decrypt(char* bytes, uint32_t count) = 0;
    virtual void Encrypt(char* bytes, uint32_t count) = 0;
    virtual void EndDecryption(CPkFileHeader&, CPkStorage&) {}
    virtual void EndEncryption(CPkFileHeader&, CPkStorage&) {}
    virtual bool CanHandleMethod(int) const { return false; }
    virtual ~CPkCryptograph() = default;
};

class CPkCrc32Cryptograph : public CPkCryptograph {
public:
    ~CPkCrc32Cryptograph() override;

    bool BeginDecryption(const CPkAutoBuffer& password, CPkFileHeader& header, CPkStorage& storage,
                         bool skipCheck) override;
    void BeginEncryption(const CPkAutoBuffer& password, CPkFileHeader& header, CPkStorage& storage) override;
    void Decrypt(char* bytes, uint32_t count) override;
    void Encrypt(char* bytes, uint32_t count) override;
    bool CanHandleMethod(int method) const override { return method == 0; }

    void InitKeys(const CPkAutoBuffer& password);

private:
    void UpdateKeys(uint8_t plain);
    uint8_t StreamByte() const;

    uint32_t m_keys[3] = {0, 0, 0};
};
