#include "tests/doc/JobTestSupport.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "crypt/NameCrypt.h"
#include "crypt/XxteaBlockCipher.h"

#include <cstring>
#include <vector>

using namespace jobtest;

namespace {

class DecryptJobsTest : public JobTest {
protected:
    DecryptJobsTest() { SetPassword(L"decrypt password"); }

    // Encrypts content under the name-derived name of `plainName` in the test folder.
    CString Encrypted(const CString& plainName, const std::string& content, const CString& folder = CString())
    {
        CString base = folder.IsEmpty() ? m_folder.Path() : folder;
        CString plain = base + L"\\" + plainName;
        qvtest::WriteFileBytes(plain, content);
        CString encrypted = base + L"\\" + MakeStaticEncryptedFileName(plainName);
        CFileCipher cipher;
        CString name;
        EXPECT_EQ(cipher.CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_OK);
        DeleteFileW(plain);
        return encrypted;
    }

    // Replaces the name stored in an encrypted file (header block 1).
    static void ForgeStoredName(const CString& path, const std::string& name)
    {
        std::string bytes = qvtest::ReadFileBytes(path);
        uint8_t* iv = reinterpret_cast<uint8_t*>(&bytes[0]);
        uint8_t* block = iv + 128;
        CXxteaBlockCipher cipher(g_FileKey, iv);
        cipher.DecryptBlocks(block, 1);
        block[10] = (uint8_t)name.size();
        memcpy(block + 11, name.data(), name.size());
        cipher.EncryptBlocks(block, 1);
        qvtest::WriteFileBytes(path, bytes);
    }

    void DecryptFolder()
    {
        m_doc->m_strCurrentFolder = m_folder.Path();
        RunJob(JOB_DECRYPT_FOLDER);
    }
};

}  // namespace

TEST_F(DecryptJobsTest, OneFileReportsEveryStepInOrder)
{
    const std::string content = qvtest::PatternBytes(1000);
    CString encrypted = Encrypted(L"a.txt", content);
    CString name = MakeStaticEncryptedFileName(L"a.txt");
    DecryptFolder();
    EXPECT_EQ(m_window.reports,
              (std::vector<Report>{Begin("Decrypting"), Range(1), Log(LOG_INFO, "Files: 1"),
                                   Log(LOG_HEADING, "Decrypting Files:"), Status(encrypted),
                                   Log(LOG_PLAIN, "Decrypting: " + U8(name)), Log(LOG_OK, CrcOkLine(content)),
                                   Log(LOG_PLAIN, "Decrypting Filename"), Log(LOG_PLAIN, "Original name :a.txt"),
                                   Log(LOG_PLAIN, "Creating:" + U8(Path(L"a.txt"))),
                                   Log(LOG_OK, "Ok: " + U8(name) + " >>> a.txt"), Pos(0), Log(LOG_HEADING, "Folders"),
                                   Pos(1), Log(LOG_PLAIN, "Cleanup..."), Log(LOG_HEADING_OK, "Finished with No Errors"),
                                   Log(LOG_INFO, "Skipped 0 items"), Finish(false, "Decryping Folder: "), Ended()}));
    EXPECT_EQ(TreeListing(m_folder.Path()), (std::vector<std::string>{"a.txt=" + content}));
}

TEST_F(DecryptJobsTest, PlainFilesAreSkippedAndShowTheLogOnlyWithWarnings)
{
    WriteFile(L"plain.txt", "plain");
    DecryptFolder();
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, "plain.txt :>>>Not Encoded (skipping)<<<"));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Finished with No Errors"));
    EXPECT_TRUE(m_window.HasLog(LOG_INFO, "Skipped 1 items"));
    EXPECT_EQ(m_window.reports[m_window.reports.size() - 2], Finish(false, "Decryping Folder: "));
    m_doc->m_Options.m_bKeepLogOnSkips = 1;
    DecryptFolder();
    EXPECT_EQ(m_window.reports[m_window.reports.size() - 2], Finish(true, "Decryping Folder: "));
}

TEST_F(DecryptJobsTest, WrongPasswordAndDamagedDataKeepTheEncryptedFileAndLeaveNoPlainData)
{
    const std::string content = qvtest::PatternBytes(5000, 4);
    CString encrypted = Encrypted(L"a.txt", content);
    const std::string encryptedBytes = qvtest::ReadFileBytes(encrypted);
    SetPassword(L"not the password");
    m_doc->m_Options.m_bKeepPassword = 0;
    DecryptFolder();
    EXPECT_EQ(m_window.LogTexts(LOG_ERROR), (std::vector<std::string>{"Decryption Failed (Wrong password or not "
                                                                      "encrypted file)",
                                                                      "ERROR - Decoding Filename failed"}));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_ERROR, "Finished with 1 Errors"));
    EXPECT_TRUE(m_window.HasLog(LOG_INFO, "Skipped 1 items"));
    EXPECT_EQ(qvtest::ReadFileBytes(encrypted), encryptedBytes);
    EXPECT_TRUE(m_doc->m_strPassword.IsEmpty()) << "not kept";
    EXPECT_FALSE(HasKey());

    // One byte of the data changed: the CRC check refuses the file ...
    SetPassword(L"decrypt password");
    m_doc->m_Options.m_bKeepPassword = 1;
    std::string damaged = encryptedBytes;
    damaged[384 + 1000] ^= 0x10;
    qvtest::WriteFileBytes(encrypted, damaged);
    DecryptFolder();
    std::string failedCrc = CrcOkLine(content);
    failedCrc.replace(failedCrc.find("(OK)"), 4, "(Failed)");
    EXPECT_EQ(m_window.LogTexts(LOG_ERROR), (std::vector<std::string>{"Data Error - CRC failed", failedCrc,
                                                                      "ERROR - Decoding Filename failed"}));
    EXPECT_EQ(TreeListing(m_folder.Path(), false), (std::vector<std::string>{U8(PathFilePartOf(encrypted))}));

    // ... and decrypts it, damage and all, without the check.
    m_doc->m_Options.m_bCheckCrc = 0;
    DecryptFolder();
    EXPECT_TRUE(m_window.LogTexts(LOG_ERROR).empty()) << ::testing::PrintToString(m_window.LogTexts());
    EXPECT_EQ(m_window.CountLogs(CrcOkLine(content)), 0);
    std::string decrypted = qvtest::ReadFileBytes(Path(L"a.txt"));
    EXPECT_EQ(decrypted.size(), content.size());
    EXPECT_NE(decrypted, content);
}

TEST_F(DecryptJobsTest, ExistingFilesAndFoldersAreNeverReplaced)
{
    WriteFile(L"a.txt", "the existing plain file");
    Encrypted(L"x.txt", "other");
    ForgeStoredName(Path(MakeStaticEncryptedFileName(L"x.txt")), "a.txt");
    CString sub = MakeFolder(L"sub");
    qvtest::WriteFileBytes(sub + L"\\keep.txt", "plain folder");
    CNameCrypt names;
    CString encryptedSub = MakeFolder(names.EncryptName(L"sub"));
    MakeFolder(L"sub~1");
    qvtest::WriteFileBytes(encryptedSub + L"\\inner.txt", "inside");
    m_doc->m_Options.m_bRecurse = 0;
    DecryptFolder();
    EXPECT_EQ(qvtest::ReadFileBytes(Path(L"a.txt")), "the existing plain file");
    EXPECT_EQ(qvtest::ReadFileBytes(Path(L"a (2).txt")), "other");
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, "A file named a.txt already exists, saving as: a (2).txt"));
    EXPECT_TRUE(m_window.HasLog(LOG_OK, "Ok: " + U8(MakeStaticEncryptedFileName(L"x.txt")) + " >>> a (2).txt"));
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "Decrypting Folder: sub Error: Folder 'sub' already exist, trying to rename"));
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, U8(Path(L"sub~1"))));
    EXPECT_TRUE(m_window.HasLog(LOG_INFO, U8(Path(L"sub~2"))));
    EXPECT_EQ(qvtest::ReadFileBytes(sub + L"\\keep.txt"), "plain folder");
    EXPECT_EQ(qvtest::ReadFileBytes(Path(L"sub~2\\inner.txt")), "inside");
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, "Folder name skipped (it is not encrypted)"));
}

TEST_F(DecryptJobsTest, StoredNamesThatAreNoFileNameGiveAShortNameBesideTheEncryptedFile)
{
    struct Case {
        std::string stored;
        const WCHAR* shortName;
    } cases[] = {{"..\\..\\evil.txt", L"_file.txt"}, {"..", L"_file.ZZZ"}, {"a:b", L"_file.ZZZ"},
                 {"line\nbreak.txt", L"_file.txt"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        CString encrypted = Encrypted(L"x.bin", "forged");
        ForgeStoredName(encrypted, c.stored);
        DecryptFolder();
        EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "The stored name cannot be used as a file name"));
        EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "Trying to shorten the name to: " + U8(c.shortName)));
        EXPECT_TRUE(m_window.HasLog(LOG_OK, "Shortening Worked, but we will still keep the encrypted file"));
        EXPECT_EQ(TreeListing(m_folder.Path()),
                  (std::vector<std::string>{U8(PathFilePartOf(encrypted)) + "=" + qvtest::ReadFileBytes(encrypted),
                                            U8(c.shortName) + "=forged"}));
        EXPECT_FALSE(qvtest::FileExists(m_folder.Path() + L"\\..\\evil.txt"));
        DeleteFileW(encrypted);
        DeleteFileW(Path(c.shortName));
    }
}

TEST_F(DecryptJobsTest, ATargetThatCannotBeCreatedGivesTheShortName)
{
    Encrypted(L"report.txt", "report");
    m_window.onReport = [&](const Report& r) {
        if (r.text == "Creating:" + U8(Path(L"report.txt")))
            CreateDirectoryW(Path(L"report.txt"), nullptr);
    };
    DecryptFolder();
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "ERROR - FAILED to create Decrypted File in the destination folder"));
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "???? Perhaps the filename is wrong or too long"));
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "Trying to shorten the name to: _file.txt"));
    EXPECT_EQ(qvtest::ReadFileBytes(Path(L"_file.txt")), "report");
    EXPECT_TRUE(qvtest::FileExists(Path(MakeStaticEncryptedFileName(L"report.txt"))));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_ERROR, "Finished with 1 Errors"));
}

TEST_F(DecryptJobsTest, ADecryptedFileTakenAwayBeforeItsMoveIsReported)
{
    Encrypted(L"1.txt", "first");
    Encrypted(L"2.txt", "second");
    m_window.onReport = [&](const Report& r) {
        if (r.text == "Creating:" + U8(Path(L"1.txt"))) {
            WCHAR folder[MAX_PATH + 1];
            GetTempPathW(MAX_PATH + 1, folder);
            for (const std::string& name : TempFiles())
                if (!m_tempBefore.count(name))
                    DeleteFileW(CString(folder) + CString::FromUtf8(name.c_str()));
        }
    };
    DecryptFolder();
    std::vector<std::string> errors = m_window.LogTexts(LOG_ERROR);
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[1].rfind("REASON: The Decrypted file has been deleted just after decryption", 0), 0u);
    EXPECT_TRUE(m_window.HasLog(LOG_INFO, "The file: " + U8(MakeStaticEncryptedFileName(L"1.txt")) +
                                              " will remain in the destination in its encrypted state"));
    EXPECT_EQ(qvtest::ReadFileBytes(Path(L"2.txt")), "second") << "the next file gets a new temporary file";
    EXPECT_TRUE(qvtest::FileExists(Path(MakeStaticEncryptedFileName(L"1.txt"))));
}

TEST_F(DecryptJobsTest, AbortWithinAFileWipesThePartialPlainCopy)
{
    CString encrypted = Encrypted(L"big.bin", qvtest::PatternBytes(300000));
    CFileCipher::SetBlockHook([](uint64_t index) {
        if (index == 1000) {
            g_StopRequested = 1;
            g_AbortRequested = 1;
        }
    });
    DecryptFolder();
    CFileCipher::SetBlockHook(nullptr);
    EXPECT_EQ(TreeListing(m_folder.Path(), false), (std::vector<std::string>{U8(PathFilePartOf(encrypted))}));
    std::vector<std::string> logs = m_window.LogTexts();
    EXPECT_EQ(std::vector<std::string>(logs.end() - 3, logs.end()),
              (std::vector<std::string>{"Cleanup...", "Finished with No Errors", "Skipped 0 items"}));
}

TEST_F(DecryptJobsTest, TwoFilesStoringOneNameBothArriveUnderFreeNames)
{
    // The second file's target is a name the job itself has just made.
    Encrypted(L"1.txt", "first");
    Encrypted(L"2.txt", "second");
    ForgeStoredName(Path(MakeStaticEncryptedFileName(L"1.txt")), "same.txt");
    ForgeStoredName(Path(MakeStaticEncryptedFileName(L"2.txt")), "same.txt");
    WriteFile(L"same (2).txt", "was there before");
    DecryptFolder();
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Finished with No Errors"));
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, "A file named same.txt already exists, saving as: same (3).txt"));
    EXPECT_EQ(TreeListing(m_folder.Path()), (std::vector<std::string>{"same (2).txt=was there before",
                                                                      "same (3).txt=second", "same.txt=first"}));
}
