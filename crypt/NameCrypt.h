// CNameCrypt: the folder-name codec. A name becomes "{" + symbols + "}": its
// UTF-8 bytes with the marker "~X1" appended pass through a modified RC4, a
// byte reversal and VMPC with a fixed IV, all keyed by the password digest
// (g_NameKey up to its first zero byte), and are written in a 64-symbol
// alphabet. Without a key (or with a digest that begins with a zero byte)
// names pass through unchanged.
//
// The codec never reports an error: whatever cannot be encrypted or decrypted
// comes back unchanged, so callers compare the result with the input. It has
// no state and only reads the key.
#pragma once

#include "framework/base/CString.h"

#include <cstddef>
#include <cstdint>

class CNameCrypt {
public:
    // Longest UTF-8 form (marker included) that is encrypted, and longest
    // symbol text that is decrypted: the working sizes for a 255-unit name.
    static const size_t MAX_NAME_BYTES = 768;
    static const size_t MAX_SYMBOLS = 1024;

    CString EncryptName(const CString& name) const;
    // The plain name, or the input unchanged when it is not in braces, no key
    // is set, the marker check fails, or the result is not a usable name
    // component (contains "\", "/", ":" or a control character, or is "." or "..").
    CString DecryptName(const CString& name) const;
    // The same on every component between backslashes; empty components and
    // the separators stay where they are.
    CString EncryptPathNames(const CString& relativePath) const;
    CString DecryptPathNames(const CString& relativePath) const;
    // Decrypts the path's last component when it looks encrypted (IsEncryptedName).
    CString DecryptPathFileName(const CString& path) const;

    // Building blocks, exposed for tests.
    // RC4 keyed by key[0..keyLength), except that a data byte below 128 equal to
    // its keystream byte is left unchanged. Its own inverse for data without zero bytes.
    static void Rc4Crypt(uint8_t* bytes, size_t length, const uint8_t* key, size_t keyLength);
    static void ReverseBytes(uint8_t* bytes, size_t length);
    // VMPC with its key schedule and, for IVs of 16 to 64 bytes, an IV schedule of 769 rounds.
    static void VmpcCrypt(uint8_t* bytes, size_t length, size_t keyLength, const uint8_t* key, const uint8_t* iv,
                          size_t ivLength);
    static void VmpcCryptFixedIV(uint8_t* bytes, size_t length, const uint8_t* key, size_t keyLength);
    // Position of the character in the alphabet, or -1.
    static int AlphabetIndex(const char* alphabet, int size, char ch);
};

// True when the name is not empty, begins with "{" and ends with "}".
bool IsEncryptedName(const CString& name);
// IsEncryptedName of the path's last component.
bool IsEncryptedPathName(const CString& path);
