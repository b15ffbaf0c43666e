// Device contexts for the drawing tests: a memory DC over a 32-bit top-down
// DIB section whose pixels the test reads and writes directly.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace imgtest {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

class Canvas {
public:
    Canvas(int width, int height, Rgb fill);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return m_dc; }
    Rgb At(int x, int y) const;
    void Set(int x, int y, Rgb c);
    // All pixels as top-down RGB rows (3 x width bytes each).
    std::vector<uint8_t> Rows() const;
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    int m_width, m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    uint8_t* m_bits = nullptr;  // B, G, R, X per pixel
};

// Sets the calling thread's DIB-section switch for its lifetime.
class SectionSwitch {
public:
    explicit SectionSwitch(bool on);
    ~SectionSwitch();
    SectionSwitch(const SectionSwitch&) = delete;
    SectionSwitch& operator=(const SectionSwitch&) = delete;

private:
    int32_t m_previous;
};

// Hides raster capabilities from the library for its lifetime.
class HiddenCaps {
public:
    explicit HiddenCaps(int caps);
    ~HiddenCaps();
    HiddenCaps(const HiddenCaps&) = delete;
    HiddenCaps& operator=(const HiddenCaps&) = delete;
};

}  // namespace imgtest
