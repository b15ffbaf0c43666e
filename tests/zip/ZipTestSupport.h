// Fixtures for the zip library's tests: raw archives built byte by byte (for
// damaged and hostile cases) and small helpers around the library.
#pragma once

#include "tests/QvTest.h"
#include "zip/PkArchive.h"
#include "zip/PkException.h"
#include "zip/PkMemFile.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ziptest {

struct RawEntry {
    std::string name;
    std::string data;  // as stored (already compressed when method is 8)
    uint16_t method = 0;
    uint16_t flags = 0;
    uint32_t crc = 0;           // 0: the CRC of data
    int64_t comprSize = -1;     // -1: data's size
    int64_t uncomprSize = -1;   // -1: data's size
    int64_t centralOffset = -1; // -1: where the local header really is
    uint8_t host = 0;
    uint32_t external = 0x20;
};

// A single-volume archive: local headers and data, directory, end record.
std::string BuildArchive(const std::vector<RawEntry>& entries, const std::string& comment = "");
uint32_t Crc(const std::string& data);
std::string Deflate(const std::string& data);

// The cause of the CPkException the action throws; 0 when it throws nothing,
// -1 for any other exception.
int CauseOf(const std::function<void()>& action);

// An archive built in memory by the library.
std::string PackInMemory(const std::vector<std::pair<CString, std::string>>& files, const WCHAR* password = nullptr,
                         int level = 6);

// Opens, tests every entry and closes; the first cause or 0.
int TestAllInMemory(const std::string& bytes, const WCHAR* password = nullptr);

uint16_t GetU16(const std::string& s, size_t at);
uint32_t GetU32(const std::string& s, size_t at);
void PutU16(std::string& s, size_t at, uint16_t v);
void PutU32(std::string& s, size_t at, uint32_t v);

}  // namespace ziptest
