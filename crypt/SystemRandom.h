// Random bytes from the system's cryptographic generator (IVs, fill and pad
// bytes, file-name prefixes, wipe patterns).
#pragma once

#include <cstddef>
#include <cstdint>

// Fills the buffer; false when the system generator failed (the buffer is then zeroed).
bool FillSystemRandom(void* buffer, size_t length);
