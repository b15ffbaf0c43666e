// Entry points that open, move and close byte sources. Each reports its
// result as the calling thread's last error (pic_GetLastError).
#pragma once

#include <windows.h>

#include <cstdint>

#include "imaging/readers/PicIO.h"

// A new file source, or null: 2 when the file cannot be opened, 1 without memory.
CPicIO* WINAPI pic_OpenFileSourceW(const WCHAR* path);
// A new source over bytes the caller keeps valid until it is closed; null
// with 5 for null bytes or size 0.
CPicIO* WINAPI pic_OpenMemorySource(const void* bytes, uint32_t size);
BOOL WINAPI pic_Seek(CPicIO* source, int32_t offset, int32_t origin);
// Closes and destroys the source; answers the position it stood at (0 when unknown).
uint64_t WINAPI pic_CloseSource(CPicIO* source);
