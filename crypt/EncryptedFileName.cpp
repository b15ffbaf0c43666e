#include "crypt/EncryptedFileName.h"

#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "crypt/PathParts.h"
#include "crypt/Sha256.h"
#include "crypt/SipHash.h"
#include "crypt/SystemRandom.h"

#include <objbase.h>

#include <cstring>

namespace {

// The hash key of static names; it does not depend on the password.
const char kStaticNameKey[] = "Tq4WmZ8rKs2HnV6d";

CString FormatEncryptedName(uint8_t prefix, const uint8_t b[7])
{
    CString head, body;
    head.Format(L"%02x{", prefix);
    body.Format(L"%02x%02x%02x%02x%02x-%02x%02x", b[0], b[1], b[2], b[3], b[4], b[5], b[6]);
    body.MakeUpper();
    return head + body + L"}.dat";
}

}  // namespace

CString MakeStaticEncryptedFileName(const CString& plainName)
{
    CPkAutoBuffer utf8;
    int length = WideToUtf8(plainName, utf8);
    // The name's UTF-8 bytes with their terminating zero.
    CPkAutoBuffer withZero((uint32_t)length + 1, true);
    if (length > 0)
        memcpy(withZero.GetBuffer(), utf8.GetBuffer(), (size_t)length);
    uint8_t digest[SHA256_DIGEST_SIZE];
    Sha256Digest(withZero.GetBuffer(), (size_t)length + 1, digest);
    uint64_t h = SipHash24(reinterpret_cast<const uint8_t*>(kStaticNameKey), digest, sizeof digest);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i)
        b[i] = (uint8_t)(h >> (8 * i));
    return FormatEncryptedName(b[0], b + 1);
}

CString MakeRandomEncryptedFileName()
{
    GUID guid;
    uint32_t random = 0;
    if (FAILED(CoCreateGuid(&guid)))
        FillSystemRandom(&guid, sizeof guid);
    FillSystemRandom(&random, sizeof random);
    // Data4[0] carries the GUID variant and is skipped; "ff" never starts a name.
    return FormatEncryptedName((uint8_t)(random % 255), guid.Data4 + 1);
}

bool IsEncryptedFileName(const CString& name)
{
    int open = name.Find(L'{');
    int close = name.Find(L'}');
    return !name.IsEmpty() && open >= 1 && close >= 6 && close > open;
}

bool IsEncryptedFilePath(const CString& path) { return IsEncryptedFileName(PathFilePart(path)); }

CString CFileCipher::MakeStaticEncryptedName(const CString& plainName) { return MakeStaticEncryptedFileName(plainName); }

CString CFileCipher::MakeRandomEncryptedName() { return MakeRandomEncryptedFileName(); }
