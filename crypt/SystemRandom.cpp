#include "crypt/SystemRandom.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>

bool FillSystemRandom(void* buffer, size_t length)
{
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < length) {
        ULONG piece = (ULONG)std::min<size_t>(length - done, 1u << 20);
        if (BCryptGenRandom(nullptr, out + done, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
            SecureZeroMemory(buffer, length);
            return false;
        }
        done += piece;
    }
    return true;
}
