// Encrypting content held in memory into an encrypted file, and reading the
// options an existing encrypted file was made with: the secure editor saves
// its text this way, so the plain text never reaches the disk.
//
// Both use the process-wide g_FileKey (KeyState.h) and fail with
// CRYPT_BAD_KEY without one; results are CRYPT_* codes (FileCipher.h).
// Any thread, one call at a time per output.
#pragma once

#include "framework/base/CString.h"

#include <cstddef>
#include <cstdint>

// What an encrypted file's header says about how it was made.
struct EncryptedFileOptions {
    CString storedName;      // the plain name kept in the header
    uint64_t plainSize = 0;  // the content's size
    bool crcStored = false;  // a CRC-32 of the content is kept in the header
};

// Reads and deciphers the header of `path`. CRYPT_BAD_KEY when there is no
// key or the header cannot be read as one: a short file, a stored name that
// is not one, or a content size the file cannot hold (what a wrong key gives).
int ReadEncryptedFileOptions(const CString& path, EncryptedFileOptions& options);

// Writes `size` bytes from `data` as a new encrypted file `output` (created
// or truncated), storing `storedName` and, with `storeCrc`, the content's
// CRC-32. Only enciphered bytes are written; the working block is wiped.
// A failed write leaves `output` partly written: removing it is the caller's.
int EncryptMemoryToFile(const uint8_t* data, size_t size, const CString& storedName, bool storeCrc,
                        const CString& output);
