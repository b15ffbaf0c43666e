// Little-endian field access for the archive's records.
#pragma once

#include <cstdint>

namespace ZipBytes {
inline uint16_t GetU16(const char* p) { return (uint16_t)((uint8_t)p[0] | ((uint8_t)p[1] << 8)); }
inline uint32_t GetU32(const char* p) { return (uint32_t)GetU16(p) | ((uint32_t)GetU16(p + 2) << 16); }
inline uint64_t GetU64(const char* p) { return (uint64_t)GetU32(p) | ((uint64_t)GetU32(p + 4) << 32); }
inline void PutU16(char* p, uint16_t v)
{
    p[0] = (char)(v & 0xFF);
    p[1] = (char)(v >> 8);
}
inline void PutU32(char* p, uint32_t v)
{
    PutU16(p, (uint16_t)(v & 0xFFFF));
    PutU16(p + 2, (uint16_t)(v >> 16));
}
inline void PutU64(char* p, uint64_t v)
{
    PutU32(p, (uint32_t)v);
    PutU32(p + 4, (uint32_t)(v >> 32));
}
}  // namespace ZipBytes
