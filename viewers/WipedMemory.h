// Memory that holds decrypted or decoded picture data is overwritten before
// it goes back to the heap, so no plain picture outlives its window in freed
// memory. CWipedPicture is an image whose every release (its own Free, the
// frees inside loading, converting and moving) wipes the pixels first;
// CWipedBytes is a byte buffer that wipes itself when replaced or destroyed.
// Neither is shared between threads by itself: the owner's lock guards them.
#pragma once

#include "imaging/readers/PicImageEx.h"

#include <cstddef>
#include <cstdint>
#include <memory>

#include "framework/base/WipedMemory.h"

class CWipedPicture : public CPicImageEx {
public:
    CWipedPicture() = default;
    ~CWipedPicture() override { CWipedPicture::Free(); }
    void Free() override;
};

class CWipedBytes {
public:
    CWipedBytes() = default;
    ~CWipedBytes() { Release(); }
    CWipedBytes(const CWipedBytes&) = delete;
    CWipedBytes& operator=(const CWipedBytes&) = delete;

    // Wipes and drops the old contents, then holds `size` zeroed bytes; false
    // (and empty) when they cannot be had.
    bool Reset(size_t size);
    void Release();
    uint8_t* Data() const { return m_bytes.get(); }
    size_t Size() const { return m_size; }

private:
    std::unique_ptr<uint8_t[]> m_bytes;
    size_t m_size = 0;
};
