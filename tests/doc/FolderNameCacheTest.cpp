#include "tests/QvTest.h"

#include "doc/FolderNameCache.h"

TEST(FolderNameCache, ReadsAFolderOnceAndFollowsTheJobsOwnChanges)
{
    qvtest::TempFolder folder, other;
    folder.WriteFile(L"Report.TXT", "x");
    CreateDirectoryW(folder / L"Sub", nullptr);
    other.WriteFile(L"elsewhere.txt", "y");
    const CString path = folder.Path() + L"\\", otherPath = other.Path() + L"\\";

    CFolderNameCache names;
    const struct {
        const WCHAR* name;
        bool exists;
    } cases[] = {{L"Report.TXT", true}, {L"report.txt", true}, {L"REPORT.TXT", true}, {L"sub", true},
                 {L"report.txt.dat", false}, {L"elsewhere.txt", false}, {L".", true}};
    for (const auto& c : cases)
        EXPECT_EQ(names.Exists(path, c.name), c.exists) << CString(c.name).ToUtf8();

    // What the job does is followed; what others do meanwhile is not seen.
    names.Added(path, L"new.dat");
    EXPECT_TRUE(names.Exists(path, L"NEW.dat"));
    names.Removed(path, L"report.txt");
    EXPECT_FALSE(names.Exists(path, L"Report.TXT"));
    folder.WriteFile(L"late.txt", "z");
    EXPECT_FALSE(names.Exists(path, L"late.txt"));

    // Another folder is read afresh, and coming back reads the first again.
    EXPECT_TRUE(names.Exists(otherPath, L"ELSEWHERE.TXT"));
    names.Added(path, L"ignored.dat");  // not the folder held: nothing
    EXPECT_TRUE(names.Exists(path, L"late.txt"));
    EXPECT_TRUE(names.Exists(path, L"Report.TXT"));
    EXPECT_FALSE(names.Exists(path, L"ignored.dat"));

    // A folder that cannot be read is asked on disk each time.
    EXPECT_FALSE(names.Exists(folder / L"missing\\", L"x"));
    EXPECT_FALSE(names.Exists(path + L"Report.TXT\\", L"x"));
}
