#include "tests/doc/JobTestSupport.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "crypt/NameCrypt.h"
#include "crypt/RecoveryRecord.h"
#include "doc/JobNames.h"

#include <algorithm>
#include <vector>

using namespace jobtest;

namespace {

class EncryptJobsTest : public JobTest {
protected:
    EncryptJobsTest()
    {
        SetPassword(L"job password 1");
        m_doc->m_Options.m_bRandomNames = 0;
    }

    static CString StaticName(const CString& plain) { return MakeStaticEncryptedFileName(plain); }

    void EncryptFolder(const CString& folder)
    {
        m_doc->m_strCurrentFolder = folder;
        RunJob(JOB_ENCRYPT_FOLDER);
    }
    void DecryptFolder(const CString& folder)
    {
        m_doc->m_strCurrentFolder = folder;
        RunJob(JOB_DECRYPT_FOLDER);
    }

    // A small tree: a.txt, b.bin (empty), sub\c.txt, sub\deep\d.txt.
    std::vector<std::string> MakeTree(const CString& root)
    {
        CreateDirectoryW(root, nullptr);
        CreateDirectoryW(root + L"\\sub", nullptr);
        CreateDirectoryW(root + L"\\sub\\deep", nullptr);
        qvtest::WriteFileBytes(root + L"\\a.txt", "first file");
        qvtest::WriteFileBytes(root + L"\\b.bin", "");
        qvtest::WriteFileBytes(root + L"\\sub\\c.txt", qvtest::PatternBytes(70000, 3));
        qvtest::WriteFileBytes(root + L"\\sub\\deep\\d.txt", "deepest");
        return TreeListing(root);
    }
};

DWORD WINAPI MakeAnEngine(void*)
{
    CFileCipher preview;
    return 0;
}

std::vector<std::string> Sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

FILETIME SomeTimeIn2001()
{
    SYSTEMTIME st = {2001, 2, 0, 3, 4, 5, 6, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

FILETIME WriteTimeOf(const CString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path, GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void SetWriteTime(const CString& path, const FILETIME& time)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, &time, &time, &time);
    CloseHandle(file);
}

}  // namespace

TEST_F(EncryptJobsTest, OneFileReportsEveryStepInOrder)
{
    const std::string content = qvtest::PatternBytes(300);
    CString plain = WriteFile(L"a.txt", content);
    CString encrypted = StaticName(L"a.txt");
    CString target = Path(encrypted);
    EncryptFolder(m_folder.Path());
    EXPECT_EQ(m_window.reports,
              (std::vector<Report>{
                  Begin("Encrypting"), Log(LOG_PLAIN, "Counting files"), Range(1), Log(LOG_INFO, "Files: 1"),
                  Log(LOG_HEADING, "Encrypting files"), Status(plain), Log(LOG_PLAIN, "Encrypting: a.txt"),
                  Log(LOG_PLAIN, "Veryfying encryption"), Log(LOG_OK, CrcOkLine(content)),
                  Log(LOG_PLAIN, "Binary Comparing Files"),
                  Log(LOG_OK, "Binary Compare operation finished: 100% match"), Log(LOG_PLAIN, "Encrypting Filename"),
                  Log(LOG_PLAIN, U8(encrypted)), Log(LOG_PLAIN, "Attempt to create:" + U8(target)),
                  Log(LOG_OK, "Ok: a.txt >>> " + U8(encrypted)), Pos(0), Pos(1), Log(LOG_HEADING, "Encrypting folders"),
                  Log(LOG_PLAIN, "Cleanup..."), Log(LOG_HEADING_OK, "Finished with No Errors"),
                  Finish(false, "Encrypting Folder: "), Ended()}));
    EXPECT_FALSE(qvtest::FileExists(plain));
    EXPECT_TRUE(qvtest::FileExists(target));
    EXPECT_TRUE(m_doc->m_strSourcePath.IsEmpty() && m_doc->m_strDestPath.IsEmpty());
    // Decrypted back with the same password, the file is the same again.
    CFileCipher cipher;
    EXPECT_EQ(cipher.ReadOriginalName(target), CString(L"a.txt"));
}

TEST_F(EncryptJobsTest, TreeInPlaceRoundTripWithFolderNamesDeepestFirst)
{
    CString root = Path(L"root");
    std::vector<std::string> original = MakeTree(root);
    EncryptFolder(root);
    CNameCrypt names;
    CString sub = names.EncryptName(L"sub"), deep = names.EncryptName(L"deep");
    // Deepest first; the folder itself keeps its name.
    std::vector<std::string> renamed;
    for (const std::string& line : m_window.LogTexts(LOG_OK))
        if (line.rfind("OK :", 0) == 0)
            renamed.push_back(line);
    EXPECT_EQ(renamed, (std::vector<std::string>{"OK :" + U8(root + L"\\sub\\" + deep), "OK :" + U8(root + L"\\" + sub)}));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Finished with No Errors"));
    std::vector<std::string> encrypted = TreeListing(root, false);
    EXPECT_EQ(encrypted, Sorted({U8(StaticName(L"a.txt")), U8(StaticName(L"b.bin")), U8(sub + L"\\"),
                                 U8(sub + L"\\" + deep + L"\\"), U8(sub + L"\\" + deep + L"\\" + StaticName(L"d.txt")),
                                 U8(sub + L"\\" + StaticName(L"c.txt"))}));
    // The empty file has no CRC line.
    EXPECT_EQ(m_window.CountLogs(CrcOkLine("")), 0);

    // A second run finds nothing to do.
    EncryptFolder(root);
    EXPECT_EQ(m_window.LogTexts(LOG_WARNING).size(), 6u);
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, "File: " + U8(StaticName(L"a.txt")) + " seems to be already Encrypted "
                                                                                   "(Skipping)"));
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, "Folder Already Encrypted (skipping):" + U8(sub)));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_ERROR, "Skipped 6 items"));
    EXPECT_EQ(TreeListing(root, false), encrypted);

    DecryptFolder(root);
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Finished with No Errors"));
    EXPECT_EQ(TreeListing(root), original);
}

TEST_F(EncryptJobsTest, WithoutRecursionOnlyTheTopFilesAndFolderNames)
{
    CString root = Path(L"root");
    MakeTree(root);
    m_doc->m_Options.m_bRecurse = 0;
    EncryptFolder(root);
    CNameCrypt names;
    CString sub = names.EncryptName(L"sub");
    EXPECT_EQ(TreeListing(root, false),
              Sorted({U8(StaticName(L"a.txt")), U8(StaticName(L"b.bin")), U8(sub + L"\\"), U8(sub + L"\\c.txt"),
                      U8(sub + L"\\deep\\"), U8(sub + L"\\deep\\d.txt")}));
    m_doc->m_Options.m_bEncryptFolderNames = 0;
    m_doc->m_Options.m_bRecurse = 1;
    CString other = Path(L"other");
    MakeTree(other);
    EncryptFolder(other);
    EXPECT_TRUE(qvtest::FolderExists(other + L"\\sub\\deep")) << "folder names stay without the option";
}

TEST_F(EncryptJobsTest, SelectedItemsInPlaceAndIntoAnotherFolder)
{
    CString source = MakeFolder(L"src");
    std::vector<std::string> tree = MakeTree(source + L"\\tree");
    qvtest::WriteFileBytes(source + L"\\single.txt", "single");
    qvtest::WriteFileBytes(source + L"\\untouched.txt", "not selected");
    CString destination = MakeFolder(L"dst");
    m_doc->m_Selection.Add(source + L"\\tree");
    m_doc->m_Selection.Add(source + L"\\single.txt");
    m_doc->m_strSourcePath = source + L"\\";
    m_doc->m_strDestPath = destination + L"\\";
    std::vector<std::string> sourceBefore = TreeListing(source);
    RunJob(JOB_ENCRYPT_SELECTED);
    EXPECT_EQ(m_window.reports.front(), Begin("Encrypting Selected Files"));
    std::vector<std::string> logs = m_window.LogTexts();
    EXPECT_EQ(logs[1], "Copy Folder: " + U8(source + L"\\tree >>> " + destination + L"\\tree"));
    EXPECT_EQ(logs[2], "May take some time depending on the file sizes...");
    EXPECT_EQ(logs[3], "Copy ok");
    EXPECT_EQ(logs[4], "Copy: " + U8(source + L"\\single.txt >>> " + destination + L"\\single.txt"));
    EXPECT_EQ(logs[5], "File Copy ok");
    EXPECT_TRUE(m_window.HasLog(LOG_INFO, "Files: 8")) << "the selected folder is an item too";
    EXPECT_EQ(TreeListing(source), sourceBefore) << "copy mode leaves the sources alone";
    CNameCrypt names;
    std::vector<std::string> encrypted = TreeListing(destination, false);
    ASSERT_EQ(encrypted.size(), 8u);
    EXPECT_EQ(encrypted[0], U8(StaticName(L"single.txt")));
    EXPECT_EQ(encrypted[1], U8(names.EncryptName(L"tree") + L"\\")) << "a selected folder's own name is encrypted";
    EXPECT_TRUE(m_doc->m_strSourcePath.IsEmpty() && m_doc->m_strDestPath.IsEmpty());

    // Decrypted from there into a third folder, the copies equal the originals.
    CString back = MakeFolder(L"back");
    m_doc->m_Selection.RemoveAll();
    m_doc->m_Selection.Add(destination + L"\\" + names.EncryptName(L"tree"));
    m_doc->m_Selection.Add(destination + L"\\" + StaticName(L"single.txt"));
    m_doc->m_strSourcePath = destination + L"\\";
    m_doc->m_strDestPath = back + L"\\";
    RunJob(JOB_DECRYPT_SELECTED);
    EXPECT_EQ(m_window.reports.front(), Begin("DeCrypting Selected Files"));
    EXPECT_EQ(m_window.reports[2], (Report{PROGRESS_LONG_OPERATION, 1, ""}));
    std::vector<std::string> expected = {"single.txt=single", "tree\\"};
    for (const std::string& line : tree)
        expected.push_back("tree\\" + line);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(TreeListing(back), expected);
    EXPECT_EQ(TreeListing(destination, false), encrypted) << "the encrypted copies stay";

    // In place: the selected file only.
    m_doc->m_Selection.RemoveAll();
    m_doc->m_Selection.Add(source + L"\\single.txt");
    RunJob(JOB_ENCRYPT_SELECTED);
    EXPECT_FALSE(qvtest::FileExists(source + L"\\single.txt"));
    EXPECT_TRUE(qvtest::FileExists(source + L"\\" + StaticName(L"single.txt")));
    EXPECT_TRUE(qvtest::FileExists(source + L"\\untouched.txt"));
}

TEST_F(EncryptJobsTest, AFailedCopyNeverFallsBackToTheSource)
{
    CString source = MakeFolder(L"src");
    qvtest::WriteFileBytes(source + L"\\keep.txt", "keep me plain");
    m_doc->m_Selection.Add(source + L"\\keep.txt");
    m_doc->m_strSourcePath = source + L"\\";
    m_doc->m_strDestPath = Path(L"missing") + L"\\";
    RunJob(JOB_ENCRYPT_SELECTED);
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "File Copy FAILED"));
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "ERROR code -2 - Can't read input file"));
    EXPECT_EQ(qvtest::ReadFileBytes(source + L"\\keep.txt"), "keep me plain");
}

TEST_F(EncryptJobsTest, ToJobsNeverReplaceWhatStandsInTheDestination)
{
    CString source = MakeFolder(L"src");
    qvtest::WriteFileBytes(source + L"\\notes.txt", "new notes");
    CreateDirectoryW(source + L"\\tree", nullptr);
    qvtest::WriteFileBytes(source + L"\\tree\\a.txt", "tree file");
    CString destination = MakeFolder(L"dst");
    qvtest::WriteFileBytes(destination + L"\\notes.txt", "my own notes");
    CreateDirectoryW(destination + L"\\tree", nullptr);
    qvtest::WriteFileBytes(destination + L"\\tree\\mine.txt", "mine, not selected");
    m_doc->m_Options.m_bEncryptFolderNames = 0;
    m_doc->m_Selection.Add(source + L"\\notes.txt");
    m_doc->m_Selection.Add(source + L"\\tree");
    m_doc->m_strSourcePath = source + L"\\";
    m_doc->m_strDestPath = destination + L"\\";
    RunJob(JOB_ENCRYPT_SELECTED);
    EXPECT_EQ(qvtest::ReadFileBytes(destination + L"\\notes.txt"), "my own notes");
    EXPECT_EQ(qvtest::ReadFileBytes(destination + L"\\tree\\mine.txt"), "mine, not selected");
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, "notes.txt already exists in the destination, copying as: notes (2).txt"));
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, "tree already exists in the destination, copying as: tree (2)"));
    EXPECT_TRUE(m_window.HasLog(LOG_PLAIN, "Copy: " + U8(source + L"\\notes.txt >>> " + destination + L"\\notes (2).txt")));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Finished with No Errors"));
    CFileCipher cipher;
    EXPECT_EQ(cipher.ReadOriginalName(destination + L"\\" + StaticName(L"notes (2).txt")), CString(L"notes (2).txt"));
    EXPECT_EQ(cipher.ReadOriginalName(destination + L"\\tree (2)\\" + StaticName(L"a.txt")), CString(L"a.txt"));
    EXPECT_EQ(TreeListing(destination, false),
              (std::vector<std::string>{U8(StaticName(L"notes (2).txt")), "notes.txt", "tree (2)\\",
                                        "tree (2)\\" + U8(StaticName(L"a.txt")), "tree\\", "tree\\mine.txt"}));

    // Decrypted into a folder that holds an older file of the same name-derived name.
    CString back = MakeFolder(L"back");
    CString older = back + L"\\" + StaticName(L"notes (2).txt");
    qvtest::WriteFileBytes(older, "an older encrypted file");
    m_doc->m_Selection.RemoveAll();
    m_doc->m_Selection.Add(destination + L"\\" + StaticName(L"notes (2).txt"));
    m_doc->m_strSourcePath = destination + L"\\";
    m_doc->m_strDestPath = back + L"\\";
    RunJob(JOB_DECRYPT_SELECTED);
    EXPECT_EQ(qvtest::ReadFileBytes(older), "an older encrypted file");
    EXPECT_EQ(qvtest::ReadFileBytes(back + L"\\notes (2).txt"), "new notes");
    EXPECT_EQ(TreeListing(back, false).size(), 2u) << "the copy under a random name is gone after its decryption";
    std::vector<std::string> warnings = m_window.LogTexts(LOG_WARNING);
    ASSERT_EQ(warnings.size(), 1u);
    const std::string prefix = U8(StaticName(L"notes (2).txt")) + " already exists in the destination, copying as: ";
    ASSERT_EQ(warnings[0].rfind(prefix, 0), 0u) << warnings[0];
    EXPECT_TRUE(IsGeneratedEncryptedFileName(CString::FromUtf8(warnings[0].substr(prefix.size()).c_str())));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Finished with No Errors"));
}

TEST_F(EncryptJobsTest, SecureDeleteKeptDatesAndNames)
{
    CString plain = WriteFile(L"dated.txt", "dated content");
    FILETIME old = SomeTimeIn2001();
    SetWriteTime(plain, old);
    WriteFile(L"Setup{1234-5678}.log", "looks a bit like an encrypted name");
    m_doc->m_Options.m_bSecureDelete = 1;
    m_doc->m_Options.m_bRandomNames = 1;
    EncryptFolder(m_folder.Path());
    EXPECT_EQ(m_window.CountLogs("Secure Delete Original"), 2);
    std::vector<std::string> names = TreeListing(m_folder.Path(), false);
    ASSERT_EQ(names.size(), 2u) << "both files encrypted, none skipped";
    CFileCipher cipher;
    for (const std::string& name : names) {
        CString path = Path(CString::FromUtf8(name.c_str()));
        EXPECT_TRUE(IsGeneratedEncryptedFileName(CString::FromUtf8(name.c_str()))) << name;
        EXPECT_NE(CString::FromUtf8(name.c_str()), StaticName(cipher.ReadOriginalName(path))) << "random names";
        FILETIME written = WriteTimeOf(path);
        if (cipher.ReadOriginalName(path) == L"dated.txt") {
            EXPECT_EQ(CompareFileTime(&old, &written), 0) << "the source's times";
        }
    }
    DecryptFolder(m_folder.Path());
    FILETIME restored = WriteTimeOf(plain);
    EXPECT_EQ(CompareFileTime(&old, &restored), 0);
    EXPECT_EQ(qvtest::ReadFileBytes(Path(L"Setup{1234-5678}.log")), "looks a bit like an encrypted name");
}

TEST_F(EncryptJobsTest, ATakenStaticNameIsNeverReplaced)
{
    CString taken = WriteFile(StaticName(L"a.txt"), "an earlier encrypted copy");
    WriteFile(L"a.txt", "new content");
    // The name-derived name of "a.txt" exists, so "a.txt" is encrypted under a random one.
    EncryptFolder(m_folder.Path());
    EXPECT_EQ(qvtest::ReadFileBytes(taken), "an earlier encrypted copy");
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, "A file named " + U8(StaticName(L"a.txt")) +
                                                 " already exists, using a random name"));
    EXPECT_EQ(TreeListing(m_folder.Path(), false).size(), 2u);
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Finished with No Errors"));
}

TEST_F(EncryptJobsTest, StopBetweenFilesEndsWithTheSummary)
{
    WriteFile(L"1.txt", "one");
    WriteFile(L"2.txt", "two");
    MakeFolder(L"sub");
    m_window.onReport = [](const Report& r) {
        if (r.text == "Ok: 1.txt >>> " + U8(StaticName(L"1.txt"))) {
            g_StopRequested = 1;
            g_AbortRequested = 1;
        }
    };
    EncryptFolder(m_folder.Path());
    EXPECT_TRUE(qvtest::FileExists(Path(L"2.txt")));
    EXPECT_FALSE(qvtest::FileExists(Path(L"1.txt")));
    EXPECT_TRUE(qvtest::FolderExists(Path(L"sub"))) << "no folder names after a stop";
    std::vector<std::string> logs = m_window.LogTexts();
    std::vector<std::string> tail(logs.end() - 2, logs.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Cleanup...", "Finished with No Errors"}));
    EXPECT_EQ(m_window.reports.back(), Ended());
}

TEST_F(EncryptJobsTest, AbortWithinAFileLeavesTheSourceAndNoEncryptedFile)
{
    const std::string content = qvtest::PatternBytes(200000);
    CString plain = WriteFile(L"big.bin", content);
    CFileCipher::SetBlockHook([](uint64_t index) {
        if (index == 100) {
            g_StopRequested = 1;
            g_AbortRequested = 1;
        }
    });
    EncryptFolder(m_folder.Path());
    CFileCipher::SetBlockHook(nullptr);
    EXPECT_EQ(qvtest::ReadFileBytes(plain), content);
    EXPECT_EQ(TreeListing(m_folder.Path(), false), (std::vector<std::string>{"big.bin"}));
    EXPECT_EQ(m_window.LogTexts().back(), "Finished with No Errors");
}

// The user's Cancel arrives while another thread (a preview decoding, say)
// starts an engine of its own: the job still sees the abort.
TEST_F(EncryptJobsTest, AnEngineMadeElsewhereDoesNotSwallowTheAbort)
{
    const std::string content = qvtest::PatternBytes(100000, 2);
    CString plain = WriteFile(L"big.bin", content);
    CFileCipher::SetBlockHook([](uint64_t index) {
        if (index != 20)
            return;
        g_StopRequested = 1;
        g_AbortRequested = 1;
        HANDLE other = CreateThread(nullptr, 0, MakeAnEngine, nullptr, 0, nullptr);
        WaitForSingleObject(other, INFINITE);
        CloseHandle(other);
    });
    EncryptFolder(m_folder.Path());
    CFileCipher::SetBlockHook(nullptr);
    EXPECT_EQ(qvtest::ReadFileBytes(plain), content);
    EXPECT_EQ(TreeListing(m_folder.Path(), false), (std::vector<std::string>{"big.bin"}));
    // The next job starts with the flags cleared.
    EncryptFolder(m_folder.Path());
    EXPECT_FALSE(qvtest::FileExists(plain));
}

TEST_F(EncryptJobsTest, FilesThatVanishAreReadOnlyOrLockedMidJob)
{
    WriteFile(L"a.txt", "vanishes");
    CString readOnly = WriteFile(L"b.txt", "read only");
    CString locked = WriteFile(L"c.txt", "locked");
    HANDLE lock = INVALID_HANDLE_VALUE;
    m_window.onReport = [&](const Report& r) {
        if (r.code == PROGRESS_STATUS && r.text == U8(Path(L"a.txt")))
            DeleteFileW(Path(L"a.txt"));
        if (r.code == PROGRESS_STATUS && r.text == U8(readOnly))
            SetFileAttributesW(readOnly, FILE_ATTRIBUTE_READONLY);
        if (r.code == PROGRESS_STATUS && r.text == U8(locked))
            lock = CreateFileW(locked, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    EncryptFolder(m_folder.Path());
    CloseHandle(lock);
    std::vector<std::string> errors = m_window.LogTexts(LOG_ERROR);
    EXPECT_EQ(errors, (std::vector<std::string>{"ERROR code -2 - Can't read input file",
                                                "Error, can't delete original (file is open?): " + U8(locked),
                                                "Finished with 2 Erros and 0 restricted (>4GB) file(s)"}));
    EXPECT_TRUE(m_window.HasLog(LOG_OK, "Ok: b.txt >>> " + U8(StaticName(L"b.txt"))));
    EXPECT_FALSE(qvtest::FileExists(readOnly)) << "a read-only source is deleted too";
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_ERROR, "Skipped 1 items"));
    EXPECT_EQ(m_window.reports[m_window.reports.size() - 2], Finish(true, "Encrypting Folder: "));
}

TEST_F(EncryptJobsTest, ASecureDeleteThatCannotDeleteIsAnErrorAndWipesNothing)
{
    CString locked = WriteFile(L"locked.txt", "still here");
    m_doc->m_Options.m_bSecureDelete = 1;
    HANDLE lock = CreateFileW(locked, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EncryptFolder(m_folder.Path());
    CloseHandle(lock);
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "Error, can't delete original (file is open?): " + U8(locked)));
    EXPECT_EQ(qvtest::ReadFileBytes(locked), "still here");
    EXPECT_TRUE(qvtest::FileExists(Path(StaticName(L"locked.txt"))));
}

TEST_F(EncryptJobsTest, ASourceWipedButNotDeletedIsSaidToBeSo)
{
    // Another program holds the file for reading and writing, but not for deletion.
    CString held = WriteFile(L"held.txt", "plain content");
    m_doc->m_Options.m_bSecureDelete = 1;
    HANDLE other = CreateFileW(held, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    EncryptFolder(m_folder.Path());
    CloseHandle(other);
    EXPECT_NE(qvtest::ReadFileBytes(held), "plain content");
    EXPECT_EQ(m_window.LogTexts(LOG_ERROR),
              (std::vector<std::string>{"Error, original wiped but can't delete it (file is open?): " + U8(held),
                                        "Finished with 1 Erros and 0 restricted (>4GB) file(s)"}));
    DeleteFileW(held);

    // The same for the encrypted file of a decryption.
    CString encrypted = Path(StaticName(L"held.txt"));
    other = CreateFileW(encrypted, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                        nullptr);
    DecryptFolder(m_folder.Path());
    CloseHandle(other);
    EXPECT_EQ(qvtest::ReadFileBytes(held), "plain content");
    EXPECT_EQ(m_window.LogTexts(LOG_ERROR),
              (std::vector<std::string>{"Error, encrypted file wiped but can't delete it (file is open?): " +
                                            U8(encrypted)}));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_ERROR, "Finished with 1 Errors"));
}

TEST_F(EncryptJobsTest, FilesTooBigAreRefusedAndTheRecoverySectionCountsInTheLimit)
{
    // Sparse files: the size check comes before any read.
    auto sparse = [&](const CString& name, uint64_t size) { MakeSparseFile(Path(name), size); };
    sparse(L"huge.bin", CFileCipher::SIZE_LIMIT + 1);
    EncryptFolder(m_folder.Path());
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "(Skippig) Input file too big to encrypt"));
    EXPECT_TRUE(m_window.HasLog(LOG_OK, "Finished with 1 file(s) not allowed to encrypt (4GB size restriction)"));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_ERROR, "Skipped 1 items"));
    // One more error of another kind.
    WriteFile(L"vanishing.txt", "gone");
    m_window.onReport = [&](const Report& r) {
        if (r.code == PROGRESS_STATUS && r.text == U8(Path(L"vanishing.txt")))
            DeleteFileW(Path(L"vanishing.txt"));
    };
    EncryptFolder(m_folder.Path());
    m_window.onReport = nullptr;
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "Finished with 1 Erros and 1 restricted (>4GB) file(s)"));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_ERROR, "Skipped 2 items"));
    DeleteFileW(Path(L"huge.bin"));

    // Fits alone, but not with a recovery section behind it.
    sparse(L"nearly.bin", CFileCipher::SIZE_LIMIT - 384 - 128);
    WriteFile(L"small.txt", "small");
    m_doc->m_Options.m_bAddRecovery = 1;
    EncryptFolder(m_folder.Path());
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "(Skippig) Input file too big to encrypt"));
    EXPECT_TRUE(m_window.HasLog(LOG_OK, "Finished with 1 file(s) not allowed to encrypt (4GB size restriction)"));
    EXPECT_FALSE(qvtest::FileExists(Path(L"small.txt")));
    DeleteFileW(Path(L"nearly.bin"));
}

TEST_F(EncryptJobsTest, RecoverySectionsAreAddedOnRequestAndDecryptionIgnoresThem)
{
    WriteFile(L"empty.txt", "");
    const std::string content = qvtest::PatternBytes(50000, 9);
    WriteFile(L"data.bin", content);
    m_doc->m_Options.m_bAddRecovery = 1;
    EncryptFolder(m_folder.Path());
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Finished with No Errors"));
    CRecoveryRecord record;
    for (const WCHAR* name : {L"empty.txt", L"data.bin"}) {
        CString path = Path(StaticName(name));
        int64_t index = 0, count = 0;
        EXPECT_EQ(record.Verify(path, index, count), RECOVERY_OK) << CString(name).ToUtf8();
        EXPECT_GE(qvtest::ReadFileBytes(path).size(), 512u);
    }
    DecryptFolder(m_folder.Path());
    EXPECT_EQ(TreeListing(m_folder.Path()), (std::vector<std::string>{"data.bin=" + content, "empty.txt="}));
}
