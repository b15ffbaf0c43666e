// CPkAutoBuffer: an owned, sized block of bytes (names, comments, extra
// fields, passwords, work buffers, code-page conversions). Two buffers never
// share bytes; the pointer is null exactly when the size is 0.
#pragma once

#include <cstdint>

class CPkAutoBuffer {
public:
    CPkAutoBuffer() = default;
    CPkAutoBuffer(uint32_t size, bool zeroFill) { Allocate(size, zeroFill); }
    CPkAutoBuffer(const CPkAutoBuffer& other) { *this = other; }
    CPkAutoBuffer& operator=(const CPkAutoBuffer& other);
    virtual ~CPkAutoBuffer() { Release(); }

    // Old contents never survive a change of size; the same size keeps them
    // (cleared when zeroFill is set).
    char* Allocate(uint32_t size, bool zeroFill);
    void Release();
    // Wipes the bytes before releasing them (for passwords and plain text).
    void SecureRelease();

    char* GetBuffer() const { return m_buffer; }
    uint32_t GetSize() const { return m_size; }
    operator char*() const { return m_buffer; }

private:
    char* m_buffer = nullptr;
    uint32_t m_size = 0;
};
