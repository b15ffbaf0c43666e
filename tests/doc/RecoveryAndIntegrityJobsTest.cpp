#include "tests/doc/JobTestSupport.h"

#include "crypt/AddInfo.h"
#include "crypt/EncryptedFileName.h"
#include "crypt/KeyState.h"
#include "crypt/RecoveryRecord.h"

#include <algorithm>
#include <map>
#include <vector>

using namespace jobtest;

namespace {

class RecoveryJobTest : public JobTest {
protected:
    RecoveryJobTest()
    {
        SetPassword(L"recovery password");
        m_doc->m_Options.m_bRandomNames = 0;
    }

    void Run(int job)
    {
        m_doc->m_strCurrentFolder = m_folder.Path();
        RunJob(job);
    }

    static FILETIME WriteTimeOf(const CString& path)
    {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExW(path, GetFileExInfoStandard, &data);
        return data.ftLastWriteTime;
    }

    static void FlipByte(const CString& path, size_t offset)
    {
        std::string bytes = qvtest::ReadFileBytes(path);
        bytes[offset] ^= 0x33;
        qvtest::WriteFileBytes(path, bytes);
    }
};

}  // namespace

TEST_F(RecoveryJobTest, VerifyFindsDamageAndRepairRestoresOneBadBlockByteForByte)
{
    const std::string one = qvtest::PatternBytes(200000, 1), two = qvtest::PatternBytes(200000, 2);
    WriteFile(L"one.bin", one);
    WriteFile(L"two.bin", two);
    WriteFile(L"fine.bin", "fine");
    m_doc->m_Options.m_bAddRecovery = 1;
    Run(JOB_ENCRYPT_FOLDER);
    ASSERT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Finished with No Errors"));
    WriteFile(L"plain.txt", "plain files give no line");
    CString oneEncrypted = Path(MakeStaticEncryptedFileName(L"one.bin"));
    CString twoEncrypted = Path(MakeStaticEncryptedFileName(L"two.bin"));
    const std::string oneIntact = qvtest::ReadFileBytes(oneEncrypted);
    uint32_t bs = CRecoveryRecord::ChooseBlockSize(384 + 200064);
    FlipByte(oneEncrypted, 5 * bs + 3);
    FlipByte(twoEncrypted, 100);
    FlipByte(twoEncrypted, 3 * bs + 100);
    int64_t blocks = (384 + 200064 + bs - 1) / bs;

    // Files are walked in list order: by encrypted name.
    std::map<CString, std::vector<std::string>> verifyLines = {
        {Path(MakeStaticEncryptedFileName(L"fine.bin")), {"File: fine.bin  CRC Matches in all 1 blocks"}},
        {oneEncrypted, {"File: one.bin", "Block number 5 is damaged "}},
        {twoEncrypted, {"File: two.bin", "ERROR: 2 blocks are damaged - unrecoverable file!"}}};
    std::map<CString, std::vector<std::string>> repairLines = {
        {oneEncrypted,
         {"File: one.bin", "Block number 5 is damaged ", "RECOVERING",
          "Recovery block found, replacing and veryfying again.....",
          "Good: CRC matches in all " + std::to_string(blocks) + " blocks", "Recovery Successfull.",
          "Continue Searching for repairable files....."}},
        {twoEncrypted, {"File: two.bin", "ERROR: 2 blocks are damaged - unrecoverable file!"}}};
    auto inListOrder = [](const std::map<CString, std::vector<std::string>>& lines) {
        std::vector<CString> paths;
        for (const auto& entry : lines)
            paths.push_back(entry.first);
        std::sort(paths.begin(), paths.end(), [](const CString& a, const CString& b) {
            CAddInfo x(a, 0, 0), y(b, 0, 0);
            return CompareAddInfo(&x, &y) < 0;
        });
        std::vector<std::string> out;
        for (const CString& path : paths)
            out.insert(out.end(), lines.at(path).begin(), lines.at(path).end());
        return out;
    };

    Run(JOB_VERIFY_RECOVERY);
    EXPECT_EQ(m_window.reports.front(), Begin("Verify parity"));
    std::vector<std::string> expected = {"Files: 4"};
    for (const std::string& line : inListOrder(verifyLines))
        expected.push_back(line);
    for (const char* line : {"******* Finished ***********", "Damaged but can be repaired: 1 ", "Damaged beyonf repair: 1 "})
        expected.push_back(line);
    EXPECT_EQ(m_window.LogTexts(), expected);
    EXPECT_EQ(m_window.reports[m_window.reports.size() - 2], Finish(true, "Verify log: "));

    SYSTEMTIME st = {2002, 3, 0, 4, 5, 6, 7, 0};
    FILETIME old;
    SystemTimeToFileTime(&st, &old);
    HANDLE file = CreateFileW(oneEncrypted, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, &old, &old, &old);
    CloseHandle(file);
    Run(JOB_REPAIR_RECOVERY);
    FILETIME repaired = WriteTimeOf(oneEncrypted);
    EXPECT_EQ(CompareFileTime(&repaired, &old), 0) << "a repaired file keeps its times";
    expected = {"Files: 4", "Searching for repairable files....."};
    for (const std::string& line : inListOrder(repairLines))
        expected.push_back(line);
    for (const char* line : {"******* Finished ***********", "Damaged beyonf repair: 1 "})
        expected.push_back(line);
    EXPECT_EQ(m_window.LogTexts(), expected);
    EXPECT_EQ(qvtest::ReadFileBytes(oneEncrypted), oneIntact);
    EXPECT_EQ(m_doc->m_strPassword, CString(L"recovery password")) << "the recovery jobs keep the password";

    // The repaired file decrypts to its original content.
    DeleteFileW(twoEncrypted);
    Run(JOB_DECRYPT_FOLDER);
    EXPECT_EQ(qvtest::ReadFileBytes(Path(L"one.bin")), one);
}

TEST_F(RecoveryJobTest, FilesWithoutSectionsAndShownNamesWithoutOrWithAWrongKey)
{
    WriteFile(L"a.txt", "no section");
    Run(JOB_ENCRYPT_FOLDER);
    CString name = MakeStaticEncryptedFileName(L"a.txt");
    Run(JOB_VERIFY_RECOVERY);
    EXPECT_EQ(m_window.LogTexts(), (std::vector<std::string>{"Files: 1", "File: a.txt  has No recovery record",
                                                             "******* Finished ***********"}));
    EXPECT_EQ(m_window.Logs()[1].value, LOG_WARNING);
    Run(JOB_REPAIR_RECOVERY);
    EXPECT_EQ(m_window.LogTexts(), (std::vector<std::string>{"Files: 1", "Searching for repairable files.....",
                                                             "******* Finished ***********"}));
    SetPassword(CString());
    Run(JOB_VERIFY_RECOVERY);
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, "File: " + U8(name) + "  has No recovery record"));
    SetPassword(L"some other password");
    Run(JOB_VERIFY_RECOVERY);
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, "File: BAD PASSWORD? " + U8(name) + "  has No recovery record"));
}

TEST_F(RecoveryJobTest, ShownNamesAreNeverFormatted)
{
    WriteFile(L"100%d %s %n.txt", "name with conversions");
    m_doc->m_Options.m_bAddRecovery = 1;
    Run(JOB_ENCRYPT_FOLDER);
    EXPECT_TRUE(m_window.HasLog(LOG_OK, "Ok: 100%d %s %n.txt >>> " + U8(MakeStaticEncryptedFileName(L"100%d %s %n.txt"))));
    Run(JOB_VERIFY_RECOVERY);
    EXPECT_TRUE(m_window.HasLog(LOG_OK, "File: 100%d %s %n.txt  CRC Matches in all 1 blocks"));
}

class IntegrityJobTest : public JobTest {};

TEST_F(IntegrityJobTest, ASmallTreeIsTestedInTheTemporaryFolderOnly)
{
    CString big = WriteFile(L"big.bin", qvtest::PatternBytes(1572864, 5));
    WriteFile(L"empty.txt", "");
    MakeFolder(L"sub");
    WriteFile(L"sub\\c.txt", "in a subfolder");
    std::vector<std::string> before = TreeListing(m_folder.Path());
    SetPassword(L"users password");
    m_doc->m_strPassword = L"test password";
    m_doc->m_strCurrentFolder = m_folder.Path();
    RunJob(JOB_INTEGRITY_TEST);
    EXPECT_EQ(TreeListing(m_folder.Path()), before);
    std::vector<std::string> logs = m_window.LogTexts();
    EXPECT_EQ(m_window.CountLogs("Compare 100% Match"), 3);
    int crcLines = 0;
    for (const std::string& line : logs)
        crcLines += line.rfind("CRC: ", 0) == 0;
    EXPECT_EQ(crcLines, 2) << "the empty file has no CRC line";
    EXPECT_EQ(m_window.CountLogs("Comparing with original bit by bit"), 3);
    EXPECT_EQ(m_window.CountLogs("Encrypting:" + U8(big)), 1);
    ASSERT_GE(logs.size(), 5u);
    EXPECT_EQ(logs[logs.size() - 4].rfind("Finished in ", 0), 0u);
    EXPECT_NE(logs[logs.size() - 4].find(" ms, processed 4 files"), std::string::npos) << "folders count too";
    EXPECT_EQ(std::vector<std::string>(logs.end() - 3, logs.end()),
              (std::vector<std::string>{"Integrity Test Finished with Zero Compare Errors.",
                                        "Chewed through 1.500 MB of data",
                                        "Skipped 0 items (not allowed to encrypt)"}));
    EXPECT_EQ(m_window.reports[m_window.reports.size() - 2], Finish(true, "Integrity Test"));
    EXPECT_TRUE(m_doc->m_strPassword.IsEmpty());
    EXPECT_FALSE(HasKey());
}

TEST_F(IntegrityJobTest, AnEmptyFolderAndAnUnreadableFile)
{
    m_doc->m_strPassword = L"test password";
    m_doc->m_strCurrentFolder = m_folder.Path();
    RunJob(JOB_INTEGRITY_TEST);
    std::vector<std::string> logs = m_window.LogTexts();
    ASSERT_EQ(logs.size(), 4u);
    EXPECT_EQ(logs[0].rfind("Finished in ", 0), 0u);
    EXPECT_NE(logs[0].find("processed 0 files"), std::string::npos);
    EXPECT_EQ(logs[2], "Chewed through 0.000 MB of data");
    EXPECT_EQ(logs[3], "Skipped 0 items (not allowed to encrypt)");

    CString locked = WriteFile(L"locked.bin", qvtest::PatternBytes(2 * 1048576, 6));
    HANDLE lock = CreateFileW(locked, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    m_doc->m_strPassword = L"test password";
    RunJob(JOB_INTEGRITY_TEST);
    CloseHandle(lock);
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, ">>> Skipping <<<< Read ERROR code -2"));
    EXPECT_TRUE(m_window.HasLog(LOG_INFO, "Chewed through 2.000 MB of data")) << "its size still counts";
    EXPECT_TRUE(m_window.HasLog(LOG_INFO, "Skipped 1 items (not allowed to encrypt)"));
}
