#include "tests/QvTest.h"

#include "framework/base/CString.h"

namespace {

CString Fmt(const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    CString s;
    s.FormatV(format, args);
    va_end(args);
    return s;
}

TEST(CStringFormat, ConversionsFollowTheWindowsRules)
{
    struct Case {
        const char* why;
        CString got;
        const WCHAR* want;
    } cases[] = {
        {"plain text", Fmt(L"abc"), L"abc"},
        {"percent", Fmt(L"100%%"), L"100%"},
        {"int", Fmt(L"%d|%i|%5d|%-5d|%05d", -42, 7, 3, 3, 3), L"-42|7|    3|3    |00003"},
        {"unsigned and hex", Fmt(L"%u %x %X %08X", 4000000000u, 255u, 255u, 0xBEEFu), L"4000000000 ff FF 0000BEEF"},
        {"l is 32 bits", Fmt(L"%ld %lu", (LONG)-5, (DWORD)4294967295u), L"-5 4294967295"},
        {"64-bit", Fmt(L"%I64d %lld %llu", (LONGLONG)-9000000000LL, (long long)1 << 40, ~0ULL),
         L"-9000000000 1099511627776 18446744073709551615"},
        {"size_t", Fmt(L"%Iu %zu", (size_t)1 << 33, (size_t)5), L"8589934592 5"},
        {"wide string", Fmt(L"[%s][%10s][%-4s][%.2s]", L"ab", L"right", L"l", L"xyz"), L"[ab][     right][l   ][xy]"},
        {"narrow string", Fmt(L"%S|%hs", "nar", "row"), L"nar|row"},
        {"null string", Fmt(L"%s", (const WCHAR*)nullptr), L"(null)"},
        {"chars", Fmt(L"%c%C%hc", L'\x00e9', 'b', 'c'), L"\x00e9" L"bc"},
        {"float", Fmt(L"%.2f %g %5.1f", 3.14159, 0.5, 2.25), L"3.14 0.5   2.2"},
        {"star width", Fmt(L"%*d|%.*s", 4, 1, 2, L"abc"), L"   1|ab"},
        {"non-ASCII text survives", Fmt(L"%s-%d", L"\x65e5\x672c", 1), L"\x65e5\x672c-1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, CString(c.want)) << c.why;
}

TEST(CStringFormat, LongOutputIsNotCut)
{
    CString big(L'x', 5000);
    CString s;
    s.Format(L"<%s>%d", (const WCHAR*)big, 12345);
    EXPECT_EQ(s.GetLength(), 5000 + 2 + 5);
    s.AppendFormat(L"%0600d", 1);
    EXPECT_EQ(s.GetLength(), 5007 + 600);
}

TEST(CStringEdit, SearchAndExtraction)
{
    CString s = L"C:\\folder\\file.name.txt";
    EXPECT_EQ(s.Find(L'\\'), 2);
    EXPECT_EQ(s.Find(L"file"), 10);
    EXPECT_EQ(s.Find(L"file", 11), -1);
    EXPECT_EQ(s.ReverseFind(L'.'), 19);
    EXPECT_EQ(s.Left(2), CString(L"C:"));
    EXPECT_EQ(s.Right(3), CString(L"txt"));
    EXPECT_EQ(s.Mid(10, 4), CString(L"file"));
    EXPECT_EQ(s.Mid(100), CString());
    EXPECT_EQ(s.Left(-1), CString());
    EXPECT_EQ(s.FindOneOf(L".:"), 1);
    EXPECT_EQ(s.FindOneOf(L"?*"), -1);
}

TEST(CStringEdit, ReplaceRemoveInsertDeleteTrim)
{
    CString s = L"a--b--c";
    EXPECT_EQ(s.Replace(L"--", L"+"), 2);
    EXPECT_EQ(s, CString(L"a+b+c"));
    EXPECT_EQ(s.Replace(L'+', L'/'), 2);
    EXPECT_EQ(s.Remove(L'/'), 2);
    EXPECT_EQ(s, CString(L"abc"));
    s.Insert(1, L"XY");
    EXPECT_EQ(s, CString(L"aXYbc"));
    s.Delete(1, 10);
    EXPECT_EQ(s, CString(L"a"));
    CString t = L"  \t mid \r\n";
    EXPECT_EQ(t.Trim(), CString(L"mid"));
    CString u = L"\\\\path\\\\";
    EXPECT_EQ(u.TrimRight(L'\\'), CString(L"\\\\path"));
    CString self = L"abab";
    self.Replace(L"ab", L"abab");
    EXPECT_EQ(self, CString(L"abababab"));
}

TEST(CStringCompare, CaseAndOrdinalRules)
{
    CString a = L"Folder\\File.TXT";
    EXPECT_EQ(a.CompareNoCase(L"folder\\file.txt"), 0);
    EXPECT_NE(a.Compare(L"folder\\file.txt"), 0);
    EXPECT_LT(CString(L"a").CompareNoCase(L"B"), 0);
    EXPECT_TRUE(CString(L"abc") < CString(L"abd"));
    CString upper = L"\x00e9t\x00e9";
    EXPECT_EQ(upper.MakeUpper(), CString(L"\x00c9T\x00c9"));
}

TEST(CStringBuffer, GetBufferAndReleaseBuffer)
{
    CString s;
    WCHAR* p = s.GetBuffer(10);
    lstrcpyW(p, L"hello");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 5);
    p = s.GetBuffer(3);
    p[2] = 0;
    s.ReleaseBuffer();
    EXPECT_EQ(s, CString(L"he"));
}

TEST(CStringUtf8, RoundTripsEveryPlane)
{
    CString s = L"a\x00e9\x20ac\xd83d\xde00";  // 1, 2, 3 and 4 UTF-8 bytes
    std::string utf8 = s.ToUtf8();
    EXPECT_EQ(utf8, "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
    EXPECT_EQ(CString::FromUtf8(utf8.c_str()), s);
    EXPECT_EQ(CString::FromUtf8(""), CString());
}

}  // namespace

TEST(CStringSecrets, SecureEmptyZeroesTheWholeBufferItKeeps)
{
    CString secret(L"correct horse");
    secret += L" battery";
    const WCHAR* buffer = secret.GetString();
    int length = secret.GetLength();
    secret.SecureEmpty();
    EXPECT_TRUE(secret.IsEmpty());
    ASSERT_EQ(secret.GetString(), buffer) << "the buffer is kept, so the check reads live memory";
    for (int i = 0; i < length; ++i)
        EXPECT_EQ(buffer[i], 0) << "at " << i;
    CString never;
    never.SecureEmpty();
    EXPECT_TRUE(never.IsEmpty());
}
