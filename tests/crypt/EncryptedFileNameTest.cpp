// Encrypted file names: their form, the static and random makers, and recognition.
#include "tests/crypt/CryptTestSupport.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"

#include <set>

using crypttest::PasswordScope;

namespace {

bool HasEncryptedForm(const CString& name)
{
    if (name.GetLength() != 23 || name[2] != L'{' || name[13] != L'-' || name.Right(5) != L"}.dat")
        return false;
    for (int i = 0; i < 23; ++i) {
        WCHAR ch = name[i];
        bool lowerHex = (ch >= L'0' && ch <= L'9') || (ch >= L'a' && ch <= L'f');
        bool upperHex = (ch >= L'0' && ch <= L'9') || (ch >= L'A' && ch <= L'F');
        if ((i < 2 && !lowerHex) || (i > 2 && i < 18 && i != 13 && !upperHex))
            return false;
    }
    return true;
}

}  // namespace

TEST(EncryptedFileName, StaticNamesDependOnTheNameAlone)
{
    CFileCipher cipher;
    CString name = cipher.MakeStaticEncryptedName(L"report.txt");
    EXPECT_TRUE(HasEncryptedForm(name)) << name.ToUtf8();
    EXPECT_TRUE(IsEncryptedFileName(name));
    // Pinned: existing files are found again by this name.
    EXPECT_EQ(name, L"39{2DA4224D15-CADE}.dat");
    {
        PasswordScope scope(L"any password");
        EXPECT_EQ(cipher.MakeStaticEncryptedName(L"report.txt"), name);
    }
    EXPECT_NE(cipher.MakeStaticEncryptedName(L"Report.txt"), name);
    EXPECT_TRUE(HasEncryptedForm(cipher.MakeStaticEncryptedName(CString())));
    EXPECT_TRUE(HasEncryptedForm(cipher.MakeStaticEncryptedName(crypttest::Wide("\xE6\x97\xA5.txt"))));
}

TEST(EncryptedFileName, RandomNames)
{
    CFileCipher cipher;
    std::set<std::string> seen;
    for (int i = 0; i < 300; ++i) {
        CString name = cipher.MakeRandomEncryptedName();
        ASSERT_TRUE(HasEncryptedForm(name)) << name.ToUtf8();
        EXPECT_TRUE(IsEncryptedFileName(name));
        EXPECT_NE(name.Left(2), L"ff");
        seen.insert(name.ToUtf8());
    }
    EXPECT_EQ(seen.size(), 300u);
}

TEST(EncryptedFileName, Recognition)
{
    const struct {
        const WCHAR* name;
        bool encrypted;
    } cases[] = {
        {L"3a{0F12A9BC44-7E01}.dat", true},
        {L"x{abcd}", true},           // "{" at 1, "}" at 6: any characters, any extension
        {L"x{abc}.txt", false},       // first "}" at 5
        {L"{abcdef}", false},         // begins with "{"
        {L"ab}cdef{gh}", false},      // first "}" before the first "{"
        {L"", false},
        {L"no braces.dat", false},
        {L"ab{cdefgh", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsEncryptedFileName(c.name), c.encrypted) << CString(c.name).ToUtf8();
    EXPECT_TRUE(IsEncryptedFilePath(L"C:\\folder\\3a{0F12A9BC44-7E01}.dat"));
    EXPECT_TRUE(IsEncryptedFilePath(L"D:3a{0F12A9BC44-7E01}.dat"));
    EXPECT_FALSE(IsEncryptedFilePath(L"C:\\3a{0F12A9BC44-7E01}.dat\\plain.txt"));
    EXPECT_FALSE(IsEncryptedFilePath(L"C:/3a{0F12A9BC44-7E01}.dat/plain.txt"));
}
