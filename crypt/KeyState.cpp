#include "crypt/KeyState.h"

#include "crypt/Md5.h"
#include "crypt/Sha256.h"
#include "framework/base/ZipCodePage.h"

#include <cstring>

uint8_t g_NameKey[NAME_KEY_BUFFER_SIZE];
uint8_t g_FileKey[FILE_KEY_SIZE + 4];

namespace {

// SHA-256 of the password's UTF-8 bytes; the UTF-8 copy is wiped.
void PasswordDigest(const CString& password, uint8_t digest[SHA256_DIGEST_SIZE])
{
    CPkAutoBuffer utf8;
    int length = WideToUtf8(password, utf8);
    Sha256Digest(utf8.GetBuffer(), length > 0 ? (size_t)length : 0, digest);
    utf8.SecureRelease();
}

}  // namespace

// The new keys are made aside and copied in whole: installing the password
// already in use never shows a half-made or zeroed key to a job's worker.
void SetNameKey(const CString& password)
{
    uint8_t next[sizeof g_NameKey] = {};
    if (!password.IsEmpty())
        PasswordDigest(password, next);
    memcpy(g_NameKey, next, sizeof next);
    SecureZeroMemory(next, sizeof next);
}

void SetKeyFromDigest(const uint8_t* digest)
{
    uint8_t next[sizeof g_FileKey] = {};
    // The key stops at the digest's first zero byte; stored files depend on this cut.
    size_t length = strnlen(reinterpret_cast<const char*>(digest), SHA256_DIGEST_SIZE);
    Md5::Digest(digest, length, next);
    memcpy(g_FileKey, next, sizeof next);
    SecureZeroMemory(next, sizeof next);
}

void ClearKey() { SecureZeroMemory(g_FileKey, sizeof g_FileKey); }

bool HasKey()
{
    for (size_t i = 0; i < FILE_KEY_SIZE; ++i)
        if (g_FileKey[i])
            return true;
    return false;
}

size_t NameKeyLength() { return strnlen(reinterpret_cast<const char*>(g_NameKey), SHA256_DIGEST_SIZE); }

bool IsWeakPassword(const CString& password)
{
    uint8_t digest[SHA256_DIGEST_SIZE];
    PasswordDigest(password, digest);
    bool weak = memchr(digest, 0, 16) != nullptr;
    SecureZeroMemory(digest, sizeof digest);
    return weak;
}

int WideToUtf8(const CString& text, CPkAutoBuffer& bytes)
{
    int count = ZipStringToBytes(text, bytes, CP_UTF8);
    return count > 0 ? count : 0;
}

CString Utf8ToWide(const CPkAutoBuffer& bytes)
{
    CString text;
    ZipBytesToString(bytes, text, CP_UTF8);
    return text;
}
