// Fixtures shared by the engine's tests.
#pragma once

#include "tests/QvTest.h"

#include "crypt/KeyState.h"

#include <cstdint>
#include <string>

namespace crypttest {

// Sets the key state from a password, as the document does, and clears it on destruction.
class PasswordScope {
public:
    explicit PasswordScope(const CString& password) { Set(password); }
    ~PasswordScope() { Set(CString()); }
    static void Set(const CString& password)
    {
        SetNameKey(password);
        if (password.IsEmpty())
            ClearKey();
        else
            SetKeyFromDigest(g_NameKey);
    }
};

inline std::string Hex(const void* bytes, size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < length; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

inline std::string Hex(const std::string& bytes) { return Hex(bytes.data(), bytes.size()); }

// The UTF-8 form of a wide text, for comparing names in test output.
inline std::string Utf8(const CString& text) { return text.ToUtf8(); }

// A wide text from UTF-8 source literals.
inline CString Wide(const char* utf8) { return CString::FromUtf8(utf8); }

}  // namespace crypttest
