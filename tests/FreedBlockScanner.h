// CFreedBlockScanner: a test's look into the memory its program gives back,
// to show that no plaintext outlives its use in freed memory.
//
// How: a test program that links the `qv_freed_block_scanner` library gets
// this file's free, realloc and every form of operator delete in place of
// the C and C++ libraries' own. winelib links a program with -Bsymbolic, so
// inside the program (its own code and every static library linked into it)
// these definitions win; realloc always moves, so the block it gives up is
// seen too. Each freed block is zeroed after it was looked at, so a later
// hit is never text freed before the scan began.
//
// Not seen: frees made inside shared libraries (FFmpeg, libpng's and
// libjpeg's own, libstdc++'s internals) and Wine's HeapFree, GlobalFree and
// LocalFree. What a library frees through our callbacks (the wiping heap) is
// seen.
//
// While a scanner lives, every block freed by any thread (Wine's and the
// libraries' own threads alike) is searched for the marker, both as its
// bytes and as UTF-16 (each byte followed by a zero byte). One scanner at a
// time in a program. Typical use:
//
//     const std::string marker = MakeFreedBlockMarker("QVTEXT");
//     CFreedBlockScanner scan(marker);   // armed from here
//     ... work that holds the marker in memory, then releases it ...
//     scan.Stop();                       // before the test frees its own copies
//     EXPECT_EQ(scan.Hits(), 0u) << scan.Report();
//
// Report() names the first block that held the marker and its callers as
// module+offset; `addr2line -f -C -e build/bin/PROGRAM.exe.so OFFSET` names
// the line.
#pragma once

#include <cstdint>
#include <string>

class CFreedBlockScanner {
public:
    // Arms the scan for `marker` (8 to 128 bytes; a marker made for the run).
    explicit CFreedBlockScanner(const std::string& marker);
    // Disarms.
    ~CFreedBlockScanner();
    CFreedBlockScanner(const CFreedBlockScanner&) = delete;
    CFreedBlockScanner& operator=(const CFreedBlockScanner&) = delete;

    // Disarms early: frees after this are not searched. The counts stay.
    void Stop();

    // Freed blocks that held the marker, and blocks searched, while armed.
    uint64_t Hits() const;
    uint64_t BlocksScanned() const;
    // The first hit (block size, where the marker sat, the callers of the
    // free), or a line saying that no block held the marker.
    std::string Report() const;
};

// A marker for one test: `tag` (up to 6 characters) followed by digits of
// the process, the time and a counter, 32 printable bytes found nowhere else.
std::string MakeFreedBlockMarker(const char* tag);
