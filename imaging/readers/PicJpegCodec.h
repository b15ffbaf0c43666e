// One JPEG decompression through the system's JPEG library over a byte
// source. This interface keeps the library's headers (and their own calling
// convention and types) out of every file that sees the Windows headers.
// Every call that enters the library comes back as false when the library
// raised an error; the message is then in LastMessage().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CPicIO;

struct CPicJpegHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 0;   // of the library's default output colour space
    int colourSpace = 0;  // the file's: 0 unknown, 1 grey, 2 RGB, 3 YCbCr, 4 CMYK, 5 YCCK
    bool progressive = false;
    bool arithmetic = false;
    double xDensity = 0;
    double yDensity = 0;
    int densityUnit = 0;
};

class CPicJpegCodec {
public:
    // seekBack: at the end the source is moved back over bytes read ahead.
    CPicJpegCodec(CPicIO& source, bool seekBack);
    ~CPicJpegCodec();
    CPicJpegCodec(const CPicJpegCodec&) = delete;
    CPicJpegCodec& operator=(const CPicJpegCodec&) = delete;

    // False when the library could not be set up (no memory).
    bool Created() const;
    bool ReadHeader(CPicJpegHeader& header);
    // Keeps the comment and APP1..APP14 markers for Markers() (before ReadHeader).
    bool KeepMarkers();
    // Walks the kept markers in file order: (marker code, bytes, length).
    void Markers(const std::function<void(int, const uint8_t*, uint32_t)>& visit) const;

    // Scale, colour conversion and buffered-image mode, then starts.
    bool Start(int scaleNumerator, int scaleDenominator, bool keepYCbCr, bool bufferedImage);
    uint32_t OutputWidth() const;
    uint32_t OutputHeight() const;
    int OutputComponents() const;
    uint32_t OutputScanline() const;
    bool ReadRow(uint8_t* row);
    bool StartPass();
    bool FinishPass();
    bool InputComplete() const;
    int InputScanNumber() const;
    bool Finish();

    // The data ended before the image did (the library saw its warning).
    bool PrematureEnd() const;
    const std::string& LastMessage() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
