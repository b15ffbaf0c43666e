// The process-wide key state made from the user's password.
//
// g_NameKey holds the SHA-256 digest of the password's UTF-8 bytes in its first
// 32 bytes (the rest zero) and keys the folder-name codec; g_FileKey is the MD5
// digest of that digest, cut at its first zero byte, and keys the file cipher.
// Both are all zero without a password. There is no salt and no stored
// verifier: encrypted files and names depend on exactly this derivation.
//
// Threading: the keys are written on the user-interface thread only, by the
// owner of the password (the document, which also takes the changes its jobs
// ask for there), and never while another thread works with them: a job's key
// is installed before its worker starts and changed again only once the
// worker waits for that thread or has ended, and the preview and the viewers
// are stopped before a new password is installed. Readers on any thread take
// no lock.
#pragma once

#include "framework/base/CString.h"
#include "framework/base/PkAutoBuffer.h"

#include <cstddef>
#include <cstdint>

const size_t NAME_KEY_BUFFER_SIZE = 1024;
const size_t FILE_KEY_SIZE = 16;

// The password digest followed by zero bytes; read as a zero-terminated byte string.
extern uint8_t g_NameKey[NAME_KEY_BUFFER_SIZE];
// The 16-byte file key followed by a spare word that is always zero.
extern uint8_t g_FileKey[FILE_KEY_SIZE + 4];

// g_NameKey := digest of the password (all zero for an empty password).
void SetNameKey(const CString& password);
// ClearKey, then g_FileKey := MD5 of the bytes before the first zero byte.
void SetKeyFromDigest(const uint8_t* digest);
// Zeroes g_FileKey.
void ClearKey();
// True when any byte of g_FileKey is non-zero.
bool HasKey();
// Bytes of g_NameKey before its first zero byte (0 to 32): the folder-name key length.
size_t NameKeyLength();

// True when the password's digest has a zero byte within its first 16 bytes,
// which leaves a key of fewer than 16 digest bytes. New encryptions refuse such
// passwords; decryption still accepts them.
bool IsWeakPassword(const CString& password);

// UTF-8 bytes of the whole text, no terminator; the byte count (0 for empty text).
int WideToUtf8(const CString& text, CPkAutoBuffer& bytes);
// The text of UTF-8 bytes; invalid sequences become replacement characters.
CString Utf8ToWide(const CPkAutoBuffer& bytes);
