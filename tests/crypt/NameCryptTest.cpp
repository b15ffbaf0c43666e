// The folder-name codec: round trips, its fixed forms, and names it must leave alone.
#include "tests/crypt/CryptTestSupport.h"

#include "crypt/NameCrypt.h"
#include "crypt/Sha256.h"

#include <cstring>

using crypttest::PasswordScope;
using crypttest::Wide;

namespace {

const char kAlphabet[] = "hmDIJFo1aT8t6+jlXNu7OydveLVC5P324wSGcRYkZ9MHEbB0r!AfxKQigWsnqUzp";

bool IsSymbolText(const CString& encrypted)
{
    if (!IsEncryptedName(encrypted))
        return false;
    for (int i = 1; i < encrypted.GetLength() - 1; ++i)
        if (encrypted[i] != L'~' && !strchr(kAlphabet, (char)encrypted[i]))
            return false;
    return true;
}

CString Repeat(const char* utf8, int count)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += utf8;
    return Wide(s.c_str());
}

}  // namespace

TEST(NameCrypt, RoundTrips)
{
    PasswordScope scope(L"correct horse battery");
    CNameCrypt codec;
    const CString names[] = {
        L"a", L"ab", L"abc", L"Holiday Photos", L"{braces} and ~tilde",
        Wide("\xC3\x9C" "n\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 \xC3\xB1" "ame"),  // Latin accented letters
        Wide("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"), Wide("emoji \xF0\x9F\x98\x80"), Repeat("x", 255),
        Repeat("\xE2\x82\xAC", 255),  // 765 bytes: the longest a component can be
    };
    for (const CString& name : names) {
        CString encrypted = codec.EncryptName(name);
        EXPECT_TRUE(IsSymbolText(encrypted)) << encrypted.ToUtf8();
        EXPECT_NE(encrypted, name);
        EXPECT_EQ(codec.DecryptName(encrypted), name);
    }
    EXPECT_EQ(codec.DecryptName(codec.EncryptName(CString())), CString());
}

TEST(NameCrypt, PinnedName)
{
    // Names on disk depend on these symbols (and so on the fixed IV) never changing.
    PasswordScope scope(L"correct horse battery");
    CNameCrypt codec;
    EXPECT_EQ(codec.EncryptName(L"Holiday Photos"), L"{DpNSDAA4R42nzFPOiZY4ak4~}");
    EXPECT_EQ(codec.DecryptName(L"{DpNSDAA4R42nzFPOiZY4ak4~}"), L"Holiday Photos");
}

TEST(NameCrypt, PaddingByLength)
{
    PasswordScope scope(L"pad");
    CNameCrypt codec;
    // Name + "~X1": 4 bytes give six symbols and "~~", 5 seven and "~", 6 eight.
    const struct {
        const WCHAR* name;
        const WCHAR* tail;
    } cases[] = {{L"a", L"~~}"}, {L"ab", L"~}"}, {L"abc", L"}"}};
    for (const auto& c : cases) {
        CString encrypted = codec.EncryptName(c.name);
        EXPECT_EQ(encrypted.GetLength(), 10);
        CString tail = c.tail;
        EXPECT_EQ(encrypted.Right(tail.GetLength()), tail);
        EXPECT_NE(encrypted[encrypted.GetLength() - tail.GetLength() - 1], L'~');
    }
}

TEST(NameCrypt, WithoutAKeyNamesPassThrough)
{
    CNameCrypt codec;
    PasswordScope scope{CString()};
    EXPECT_EQ(codec.EncryptName(L"Plain"), L"Plain");
    EXPECT_EQ(codec.DecryptName(L"{abc}"), L"{abc}");

    // A password whose digest begins with a zero byte gives an empty name key.
    for (int n = 0;; ++n) {
        CString password;
        password.Format(L"zero%d", n);
        std::string utf8 = password.ToUtf8();
        uint8_t digest[32];
        Sha256Digest(utf8.data(), utf8.size(), digest);
        if (digest[0] != 0)
            continue;
        PasswordScope::Set(password);
        EXPECT_EQ(codec.EncryptName(L"Plain"), L"Plain");
        break;
    }
}

TEST(NameCrypt, OtherPasswordsAndLookalikesStayUnchanged)
{
    PasswordScope scope(L"first");
    CNameCrypt codec;
    CString encrypted = codec.EncryptName(L"Secret Folder");
    PasswordScope::Set(L"second");
    EXPECT_EQ(codec.DecryptName(encrypted), encrypted);

    const CString lookalikes[] = {L"{not ours}", L"{}", L"{a}", L"{ab}", L"{", L"}", L"{hmDI}", L"{~~~~}",
                                  L"{" + Repeat("h", 2000) + L"}"};
    for (const CString& name : lookalikes)
        EXPECT_EQ(codec.DecryptName(name), name) << name.ToUtf8();
}

TEST(NameCrypt, NameContainingTheMarkerStaysEncrypted)
{
    PasswordScope scope(L"marker");
    CNameCrypt codec;
    CString encrypted = codec.EncryptName(L"a~X1b");
    EXPECT_TRUE(IsSymbolText(encrypted));
    EXPECT_EQ(codec.DecryptName(encrypted), encrypted);
}

TEST(NameCrypt, OverlongNamesAreLeftAlone)
{
    PasswordScope scope(L"long");
    CNameCrypt codec;
    CString tooLong = Repeat("\xE2\x82\xAC", 256);  // 768 bytes plus the marker
    EXPECT_EQ(codec.EncryptName(tooLong), tooLong);
}

TEST(NameCrypt, DecryptedNamesMustBeUsableComponents)
{
    // Such names never come from a folder, so their encrypted forms count as foreign.
    PasswordScope scope(L"components");
    CNameCrypt codec;
    const CString unusable[] = {L"..", L".", L"a\\b", L"a/b", L"C:x", L"tab\there", CString(L"nul\x01")};
    for (const CString& name : unusable) {
        CString encrypted = codec.EncryptName(name);
        EXPECT_NE(encrypted, name);
        EXPECT_EQ(codec.DecryptName(encrypted), encrypted) << name.ToUtf8();
    }
    EXPECT_EQ(codec.DecryptName(codec.EncryptName(L"...")), L"...");
}

TEST(NameCrypt, PathComponents)
{
    PasswordScope scope(L"paths");
    CNameCrypt codec;
    CString one = codec.EncryptName(L"one"), two = codec.EncryptName(L"two");
    EXPECT_EQ(codec.EncryptPathNames(L"one\\two"), one + L"\\" + two);
    EXPECT_EQ(codec.EncryptPathNames(L"one\\\\two\\"), one + L"\\\\" + two + L"\\");
    EXPECT_EQ(codec.EncryptPathNames(L"\\one"), L"\\" + one);
    EXPECT_EQ(codec.DecryptPathNames(one + L"\\\\" + two + L"\\"), L"one\\\\two\\");
    EXPECT_EQ(codec.DecryptPathNames(L"plain\\" + two), L"plain\\two");

    EXPECT_EQ(codec.DecryptPathFileName(L"C:\\data\\" + two), L"C:\\data\\two");
    EXPECT_EQ(codec.DecryptPathFileName(L"C:\\" + one + L"\\plain"), L"C:\\" + one + L"\\plain");
}

TEST(NameCrypt, EncryptedNameForm)
{
    EXPECT_TRUE(IsEncryptedName(L"{x}"));
    EXPECT_TRUE(IsEncryptedName(L"{}"));
    EXPECT_FALSE(IsEncryptedName(L""));
    EXPECT_FALSE(IsEncryptedName(L"{x"));
    EXPECT_FALSE(IsEncryptedName(L"x}"));
    EXPECT_FALSE(IsEncryptedName(L" {x}"));
    EXPECT_TRUE(IsEncryptedPathName(L"C:\\plain\\{x}"));
    EXPECT_FALSE(IsEncryptedPathName(L"C:\\{x}\\plain"));
}
