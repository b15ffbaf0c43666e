// Password-to-key derivation and the process-wide key state.
#include "tests/crypt/CryptTestSupport.h"

#include "crypt/Md5.h"
#include "crypt/Sha256.h"

#include <cstring>

using crypttest::Hex;
using crypttest::PasswordScope;

namespace {

bool AllZero(const uint8_t* bytes, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if (bytes[i])
            return false;
    return true;
}

// First password "<prefix><n>" whose digest passes the test.
template <class Test>
CString FindPassword(const char* prefix, Test test)
{
    for (int n = 0;; ++n) {
        CString password;
        password.Format(L"%hs%d", prefix, n);
        std::string utf8 = password.ToUtf8();
        uint8_t digest[32];
        Sha256Digest(utf8.data(), utf8.size(), digest);
        if (test(digest))
            return password;
    }
}

}  // namespace

TEST(KeyState, EmptyPasswordLeavesNoKey)
{
    PasswordScope scope(L"something");
    EXPECT_TRUE(HasKey());
    PasswordScope::Set(CString());
    EXPECT_TRUE(AllZero(g_NameKey, sizeof g_NameKey));
    EXPECT_TRUE(AllZero(g_FileKey, sizeof g_FileKey));
    EXPECT_FALSE(HasKey());
    EXPECT_EQ(NameKeyLength(), 0u);
}

TEST(KeyState, DerivationFollowsTheDigests)
{
    PasswordScope scope(L"abc");
    EXPECT_EQ(Hex(g_NameKey, 32), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_TRUE(AllZero(g_NameKey + 32, sizeof g_NameKey - 32));
    // This digest has its first zero byte at index 29: the keys stop there.
    EXPECT_EQ(NameKeyLength(), 29u);
    uint8_t expected[16];
    Md5::Digest(g_NameKey, 29, expected);
    EXPECT_EQ(Hex(g_FileKey, 16), Hex(expected, 16));
    EXPECT_EQ(Hex(g_FileKey, 16), "e3c15af29e19e3089d9db34226707a8e");
    EXPECT_TRUE(AllZero(g_FileKey + 16, 4));
}

TEST(KeyState, SamePasswordSameKeysAndCaseMatters)
{
    PasswordScope scope(L"Secret");
    std::string first = Hex(g_NameKey, sizeof g_NameKey) + Hex(g_FileKey, sizeof g_FileKey);
    PasswordScope::Set(L"Secret");
    EXPECT_EQ(Hex(g_NameKey, sizeof g_NameKey) + Hex(g_FileKey, sizeof g_FileKey), first);
    PasswordScope::Set(L"secret");
    EXPECT_NE(Hex(g_NameKey, sizeof g_NameKey) + Hex(g_FileKey, sizeof g_FileKey), first);
}

TEST(KeyState, NonAsciiPasswordsHashTheirUtf8Bytes)
{
    PasswordScope scope(crypttest::Wide("p\xC3\xA4ss"));  // "päss": ä is C3 A4
    uint8_t digest[32];
    Sha256Digest("p\xC3\xA4ss", 5, digest);
    EXPECT_EQ(Hex(g_NameKey, 32), Hex(digest, 32));
}

TEST(KeyState, FileKeyStopsAtTheDigestsFirstZeroByte)
{
    CString password = FindPassword("cut", [](const uint8_t* d) {
        const void* zero = memchr(d, 0, 32);
        return zero && zero != d;
    });
    PasswordScope scope(password);
    size_t cut = NameKeyLength();
    ASSERT_LT(cut, 32u);
    EXPECT_EQ(g_NameKey[cut], 0);
    uint8_t expected[16];
    Md5::Digest(g_NameKey, cut, expected);
    EXPECT_EQ(Hex(g_FileKey, 16), Hex(expected, 16));
}

TEST(KeyState, DigestStartingWithZeroStillGivesAFileKey)
{
    CString password = FindPassword("zero", [](const uint8_t* d) { return d[0] == 0; });
    PasswordScope scope(password);
    EXPECT_EQ(NameKeyLength(), 0u);
    EXPECT_TRUE(HasKey());
    EXPECT_EQ(Hex(g_FileKey, 16), "d41d8cd98f00b204e9800998ecf8427e");  // MD5 of nothing
    EXPECT_TRUE(IsWeakPassword(password));
}

TEST(KeyState, WeakPasswordsHaveAZeroInTheFirstSixteenDigestBytes)
{
    CString weak = FindPassword("weak", [](const uint8_t* d) { return memchr(d, 0, 16) != nullptr; });
    CString lateZero = FindPassword("late", [](const uint8_t* d) {
        return !memchr(d, 0, 16) && memchr(d + 16, 0, 16) != nullptr;
    });
    EXPECT_TRUE(IsWeakPassword(weak));
    EXPECT_FALSE(IsWeakPassword(lateZero));
    EXPECT_FALSE(IsWeakPassword(L"abc"));
}

TEST(KeyState, Utf8Conversions)
{
    CPkAutoBuffer bytes;
    EXPECT_EQ(WideToUtf8(crypttest::Wide("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), bytes), 10);
    EXPECT_EQ(Hex(bytes.GetBuffer(), 10), "61c3a9e282acf09f9880");
    EXPECT_EQ(Utf8ToWide(bytes), crypttest::Wide("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
    EXPECT_EQ(WideToUtf8(CString(), bytes), 0);
    EXPECT_EQ(Utf8ToWide(CPkAutoBuffer()), CString());
}
