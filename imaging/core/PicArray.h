// PicArray<T>: the library's owning array of plain elements (bytes, words,
// floats, pointers, handles, RECTs) for temporaries and job lists. Allocation
// never throws: a failed Allocate leaves the array empty and the caller
// reports out of memory. Elements are not constructed or cleared; a block is
// wiped before it is released, since working arrays hold decoded pixels.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "framework/base/WipedMemory.h"
#include "imaging/core/PicSizes.h"

template <class T>
class PicArray {
    static_assert(std::is_trivially_copyable_v<T>, "PicArray holds plain elements only");

public:
    PicArray() = default;
    explicit PicArray(uint32_t n) { Allocate(n); }
    ~PicArray() { Free(); }
    PicArray(const PicArray&) = delete;
    PicArray& operator=(const PicArray&) = delete;
    PicArray(PicArray&& other) noexcept { Swap(other); }
    PicArray& operator=(PicArray&& other) noexcept {
        if (this != &other) {
            Free();
            Swap(other);
        }
        return *this;
    }

    // Keeps the block (and its contents) when n equals the count; otherwise
    // frees it and allocates n uninitialised elements. Sizes at the library's
    // block limit are refused. Returns false when n > 0 and nothing was had.
    bool Allocate(uint32_t n) {
        if (n == count && data != nullptr) return true;
        Free();
        if (n == 0) return true;
        uint64_t bytes = (uint64_t)n * sizeof(T);
        if (!PicBlockSizeAllowed(bytes)) return false;
        data = static_cast<T*>(::operator new((size_t)bytes, std::nothrow));
        if (data == nullptr) return false;
        count = n;
        return true;
    }

    void Free() {
        if (data != nullptr) {
            WipeBytes(data, (size_t)count * sizeof(T));
            ::operator delete(data);
        }
        data = nullptr;
        count = 0;
        reserved = 0;
    }

    bool IsEmpty() const { return data == nullptr; }

    // Sets every byte of the block to value.
    void Fill(unsigned char value) {
        if (data != nullptr) memset(data, value, (size_t)count * sizeof(T));
    }

    // Allocates n elements (keeping the block when the count matches) and
    // copies them from source. False when the allocation fails.
    bool Assign(const T* source, uint32_t n) {
        if (!Allocate(n)) return false;
        if (n != 0 && source != nullptr) memcpy(data, source, (size_t)n * sizeof(T));
        return true;
    }

    // Makes this array equal to other.
    bool CopyFrom(const PicArray& other) {
        if (this == &other) return true;
        return Assign(other.data, other.count);
    }

    T& operator[](uint32_t i) { return data[i]; }
    const T& operator[](uint32_t i) const { return data[i]; }

    uint32_t count = 0;
    T* data = nullptr;
    uint32_t reserved = 0;

private:
    void Swap(PicArray& other) noexcept {
        std::swap(count, other.count);
        std::swap(data, other.data);
        std::swap(reserved, other.reserved);
    }
};
