// Shared helpers of the image readers' tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "framework/base/CString.h"
#include "imaging/readers/PicIO.h"

namespace readertest {

// The committed fixture's Windows path and bytes.
CString FixturePath(const char* name);
std::string FixtureBytes(const char* name);

// A source over a temporary file holding bytes, or over the bytes in
// memory; both are closed with pic_CloseSource by the destructor.
class Source {
public:
    enum Kind { kFile, kMemory };
    Source(Kind kind, const std::string& bytes, const WCHAR* fileName = L"image.bin");
    ~Source();
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    CPicIO* get() const { return m_source; }
    operator CPicIO*() const { return m_source; }

private:
    std::string m_bytes;
    CString m_path;
    CPicIO* m_source = nullptr;
};

// Bytes as hex, for readable failures.
std::string Hex(const uint8_t* bytes, size_t n);

// The call depth of the calling thread's library state.
int32_t CallDepth();

// Little-endian writers for hand-built files.
void Put16(std::string& out, uint32_t value);
void Put32(std::string& out, uint32_t value);

// One damage of the mutation runs at `at` (below the size): a flipped bit,
// 0xFF, 0, a cut, up to 8 bytes inserted or removed.
void MutateOnce(std::string& bytes, size_t at, std::mt19937& random);

// The bytes of a metafile made with GDI calls; the handle is deleted.
std::string EnhancedMetafileBytes(HENHMETAFILE emf);

// A global block handed out by a reader: freed on destruction.
struct GlobalBlock {
    explicit GlobalBlock(void* p = nullptr) : data(static_cast<uint8_t*>(p)) {}
    ~GlobalBlock() {
        if (data != nullptr) GlobalFree(data);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    void reset(void* p) {
        if (data != nullptr) GlobalFree(data);
        data = static_cast<uint8_t*>(p);
    }
    uint8_t* data;
};

// What a read gave: its block, size, code and palette.
struct Decoded {
    GlobalBlock pixels;
    int32_t width = 0;
    int32_t height = 0;
    int32_t code = -1;
    RGBQUAD palette[256] = {};
};

}  // namespace readertest
