// Paths, long-path prefixes and the file-system functions.
#include "tests/zip/ZipTestSupport.h"
#include "zip/PkPathComponent.h"
#include "zip/ZipFileSystem.h"

namespace {

TEST(ZipFileSystem, LongPrefixRules)
{
    struct Case {
        const WCHAR* path;
        const WCHAR* prefixed;
    } cases[] = {
        {L"\\\\server\\share\\f", L"\\\\?\\UNC\\server\\share\\f"},
        {L"C:\\dir\\f", L"\\\\?\\C:\\dir\\f"},
        {L"\\\\?\\C:\\f", L"\\\\?\\C:\\f"},
        {L"\\\\?\\unc\\server\\f", L"\\\\?\\unc\\server\\f"},
    };
    for (const Case& c : cases) {
        CString path = c.path;
        ZipFileSystem::AddLongPrefix(path);
        EXPECT_EQ(path, CString(c.prefixed));
    }
    CString p247 = L"C:\\" + CString(L'a', 244), p248 = p247 + L"b";
    EXPECT_EQ(ZipFileSystem::ToLongPath(p247, true), p247);
    EXPECT_EQ(ZipFileSystem::ToLongPath(p248, true), L"\\\\?\\" + p248);
    EXPECT_EQ(ZipFileSystem::ToLongPath(p248, false), p248);
}

TEST(PkPathComponent, SplitsAndJoins)
{
    CPkPathComponent parts(L"\\\\?\\C:\\dir\\sub\\file.tar.gz");
    EXPECT_EQ(parts.GetPrefix(), CString(L"\\\\?\\"));
    EXPECT_EQ(parts.GetDrive(), CString(L"C:"));
    EXPECT_EQ(parts.GetFolder(), CString(L"dir\\sub"));
    EXPECT_EQ(parts.GetTitle(), CString(L"file.tar"));
    EXPECT_EQ(parts.GetExtension(), CString(L"gz"));
    EXPECT_EQ(parts.GetFullPath(), CString(L"\\\\?\\C:\\dir\\sub\\file.tar.gz"));
    EXPECT_EQ(CPkPathComponent(L"name.txt").GetFullPath(), CString(L".\\name.txt"));
    CPkPathComponent tooLong(L"C:\\d\\" + CString(L'x', 256));
    EXPECT_TRUE(tooLong.GetDrive().IsEmpty() && tooLong.GetFolder().IsEmpty() && tooLong.GetTitle().IsEmpty());
}

TEST(ZipFileSystem, FoldersTempNamesTimesAndRemoval)
{
    qvtest::TempFolder dir;
    CString deep = dir / L"a\\b\\c";
    EXPECT_TRUE(ZipFileSystem::CreateFolderTree(deep));
    EXPECT_TRUE(qvtest::FolderExists(deep));
    EXPECT_TRUE(ZipFileSystem::CreateFolderTree(deep));
    EXPECT_EQ(ZipFileSystem::PathExists(deep), -1);

    CString temp = ZipFileSystem::MakeTempFileName(dir.Path(), 0);
    EXPECT_EQ(temp.Left(dir.Path().GetLength()), dir.Path());
    EXPECT_EQ(ZipFileSystem::PathExists(temp), 1);

    FILETIME epoch = ZipFileSystem::SecondsToFileTime(0), later = ZipFileSystem::SecondsToFileTime(1);
    int64_t seconds = -5;
    EXPECT_FALSE(ZipFileSystem::FileTimeToSeconds(epoch, seconds));
    EXPECT_EQ(seconds, 0);
    EXPECT_TRUE(ZipFileSystem::FileTimeToSeconds(later, seconds));
    EXPECT_EQ(seconds, 1);
    FILETIME before1970 = ZipFileSystem::SecondsToFileTime(-86400);
    ZipFileSystem::FileTimeToSeconds(before1970, seconds);
    EXPECT_EQ(seconds, -86400) << "signed arithmetic";

    int64_t when = 1600000000;
    EXPECT_TRUE(ZipFileSystem::SetFileTimes(temp, &when, &when, &when));
    int64_t modified = 0;
    EXPECT_TRUE(ZipFileSystem::GetFileTimes(temp, &modified));
    EXPECT_EQ(modified, when);

    CString locked = dir.WriteFile(L"locked.txt", "x");
    SetFileAttributesW(locked, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(ZipFileSystem::RemoveFile(locked, 0, false));
    EXPECT_EQ(ziptest::CauseOf([&] { ZipFileSystem::RemoveFile(locked, 0, true); }), ZipCauseNotRemoved);
    EXPECT_TRUE(ZipFileSystem::RemoveFile(locked, ZipFileSystem::RemoveClearReadOnly, true));
    EXPECT_FALSE(qvtest::FileExists(locked));
    EXPECT_EQ(ziptest::CauseOf([&] { ZipFileSystem::RenameFile(dir / L"none", dir / L"other"); }),
              ZipCauseNotRenamed);
}

}  // namespace
