// Links and names of devices met by the jobs and the folder backup: a Unix
// link (which the system shows as a plain file or folder) is never followed,
// renamed, wiped or deleted through, and a file named like a device ("nul",
// "aux.c") is never opened; each is skipped with a line of its own.
#include "tests/crypt/UnixFiles.h"
#include "tests/doc/JobTestSupport.h"
#include "tests/framework/windows/DialogDriver.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"
#include "crypt/RecoveryRecord.h"
#include "zip/PkArchive.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace jobtest;
using qvtest::MessageBoxCapture;

namespace {

std::string LinkLine(const CString& path) { return "Link, never followed (Skipping): " + U8(path); }
std::string DeviceLine(const CString& path) { return "Name of a device, never opened (Skipping): " + U8(path); }

class LinksAndDeviceNamesTest : public JobTest {
protected:
    LinksAndDeviceNamesTest()
    {
        SetPassword(L"links password");
        m_doc->m_Options.m_bRandomNames = 0;
        m_doc->m_Options.m_bSecureDelete = 1;
        m_outsideFolder = m_outside / L"folder";
        CreateDirectoryW(m_outsideFolder, nullptr);
        qvtest::WriteFileBytes(m_outsideFolder + L"\\inside.txt", "outside content");
        m_outsideFile = m_outside.WriteFile(L"file.txt", "outside file");
    }

    void Run(int job, const CString& folder)
    {
        m_doc->m_strCurrentFolder = folder;
        RunJob(job);
    }

    // Links to the outside folder and file in `folder`, named folder-link and file-link.txt.
    void MakeLinks(const CString& folder)
    {
        ASSERT_TRUE(qvunix::MakeLink(folder, "folder-link", m_outsideFolder));
        ASSERT_TRUE(qvunix::MakeLink(folder, "file-link.txt", m_outsideFile));
    }

    // The outside stands as it was, and the links are still links.
    void ExpectOutsideUntouched(const CString& linkFolder)
    {
        EXPECT_EQ(TreeListing(m_outside.Path()),
                  (std::vector<std::string>{"file.txt=outside file", "folder\\", "folder\\inside.txt=outside content"}));
        EXPECT_TRUE(qvunix::IsLink(linkFolder, "folder-link"));
        EXPECT_TRUE(qvunix::IsLink(linkFolder, "file-link.txt"));
    }

    // The skip lines of the last job, in order.
    std::vector<std::string> SkipLines() const
    {
        std::vector<std::string> out;
        for (const std::string& line : m_window.LogTexts(LOG_WARNING))
            if (line.find("(Skipping): ") != std::string::npos)
                out.push_back(line);
        return out;
    }

    qvtest::TempFolder m_outside;
    CString m_outsideFolder, m_outsideFile;
    // Removes the links and device names before the test folder's own clean-up.
    qvunix::TreeCleaner m_cleaner{m_folder.Path()};
};

}  // namespace

TEST_F(LinksAndDeviceNamesTest, FolderJobsSkipLinksAndNeverChangeWhatTheyLeadTo)
{
    WriteFile(L"a.txt", "plain");
    MakeLinks(m_folder.Path());
    CString folderLink = Path(L"folder-link"), fileLink = Path(L"file-link.txt");

    Run(JOB_ENCRYPT_FOLDER, m_folder.Path());
    ExpectOutsideUntouched(m_folder.Path());
    EXPECT_EQ(SkipLines(), (std::vector<std::string>{LinkLine(fileLink), LinkLine(folderLink)}));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Finished with No Errors"));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_ERROR, "Skipped 2 items"));
    EXPECT_TRUE(qvtest::FileExists(Path(MakeStaticEncryptedFileName(L"a.txt"))));

    Run(JOB_DECRYPT_FOLDER, m_folder.Path());
    ExpectOutsideUntouched(m_folder.Path());
    EXPECT_EQ(SkipLines(), (std::vector<std::string>{LinkLine(fileLink), LinkLine(folderLink)}));
    EXPECT_TRUE(m_window.HasLog(LOG_INFO, "Skipped 2 items"));
    EXPECT_EQ(qvtest::ReadFileBytes(Path(L"a.txt")), "plain");

    // The integrity test walks files only.
    m_doc->m_strPassword = L"test password";
    Run(JOB_INTEGRITY_TEST, m_folder.Path());
    EXPECT_EQ(SkipLines(), (std::vector<std::string>{LinkLine(fileLink)}));
    EXPECT_EQ(m_window.CountLogs("Compare 100% Match"), 1);
    ExpectOutsideUntouched(m_folder.Path());
}

TEST_F(LinksAndDeviceNamesTest, ARepairNeverWritesThroughALink)
{
    // A damaged file with a recovery section outside, reached through a link of an encrypted name.
    CString damaged = m_outside.WriteFile(L"damaged.dat", qvtest::PatternBytes(5000, 7));
    ASSERT_EQ(CRecoveryRecord::Append(damaged), RECOVERY_OK);
    std::string bytes = qvtest::ReadFileBytes(damaged);
    bytes[100] ^= 0x55;
    qvtest::WriteFileBytes(damaged, bytes);
    const CString name = MakeStaticEncryptedFileName(L"damaged.txt");
    ASSERT_TRUE(qvunix::MakeLink(m_folder.Path(), U8(name), damaged));
    Run(JOB_REPAIR_RECOVERY, m_folder.Path());
    EXPECT_EQ(SkipLines(), (std::vector<std::string>{LinkLine(Path(name))}));
    EXPECT_FALSE(m_window.HasLog(LOG_INFO, "RECOVERING"));
    EXPECT_EQ(qvtest::ReadFileBytes(damaged), bytes);
}

TEST_F(LinksAndDeviceNamesTest, SelectedLinksAreLeftOutInPlaceAndInCopies)
{
    MakeLinks(m_folder.Path());
    m_doc->m_Selection.Add(Path(L"folder-link"));
    m_doc->m_Selection.Add(Path(L"file-link.txt"));
    RunJob(JOB_ENCRYPT_SELECTED);
    ExpectOutsideUntouched(m_folder.Path());
    EXPECT_EQ(SkipLines(),
              (std::vector<std::string>{LinkLine(Path(L"folder-link")), LinkLine(Path(L"file-link.txt"))}));
    EXPECT_TRUE(m_window.HasLog(LOG_INFO, "Files: 0"));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_ERROR, "Skipped 2 items"));

    // Copied into another folder: links inside a selected folder stay behind.
    CString tree = MakeFolder(L"tree");
    WriteFile(L"tree\\own.txt", "own");
    MakeLinks(tree);
    CString destination = MakeFolder(L"dst");
    m_doc->m_Selection.RemoveAll();
    m_doc->m_Selection.Add(tree);
    m_doc->m_Selection.Add(Path(L"file-link.txt"));
    m_doc->m_strSourcePath = m_folder.Path() + L"\\";
    m_doc->m_strDestPath = destination + L"\\";
    m_doc->m_Options.m_bEncryptFolderNames = 0;
    RunJob(JOB_ENCRYPT_SELECTED);
    ExpectOutsideUntouched(tree);
    std::vector<std::string> warnings = SkipLines();
    std::sort(warnings.begin(), warnings.end());
    EXPECT_EQ(warnings, (std::vector<std::string>{LinkLine(Path(L"file-link.txt")), LinkLine(tree + L"\\file-link.txt"),
                                                  LinkLine(tree + L"\\folder-link")}));
    EXPECT_TRUE(m_window.HasLog(LOG_OK, "Copy ok"));
    EXPECT_EQ(TreeListing(destination, false),
              (std::vector<std::string>{"tree\\", "tree\\" + U8(MakeStaticEncryptedFileName(L"own.txt"))}));
    EXPECT_EQ(qvtest::ReadFileBytes(tree + L"\\own.txt"), "own");
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_ERROR, "Skipped 3 items"));
}

TEST_F(LinksAndDeviceNamesTest, NamesOfDevicesAreNeverOpened)
{
    ASSERT_TRUE(qvunix::WriteFile(m_folder.Path(), "nul", "not the device"));
    ASSERT_TRUE(qvunix::WriteFile(m_folder.Path(), "aux.c", "int main;"));
    WriteFile(L"plain.txt", "plain");

    Run(JOB_ENCRYPT_FOLDER, m_folder.Path());
    EXPECT_EQ(SkipLines(),
              (std::vector<std::string>{DeviceLine(Path(L"aux.c")), DeviceLine(Path(L"nul"))}));
    for (const std::string& line : m_window.LogTexts(LOG_OK))
        EXPECT_TRUE(line.find("nul") == std::string::npos && line.find("aux") == std::string::npos) << line;
    EXPECT_TRUE(m_window.HasLog(LOG_OK, "Ok: plain.txt >>> " + U8(MakeStaticEncryptedFileName(L"plain.txt"))));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_ERROR, "Skipped 2 items"));
    EXPECT_EQ(qvunix::ReadFile(m_folder.Path(), "nul"), "not the device");
    EXPECT_EQ(qvunix::ReadFile(m_folder.Path(), "aux.c"), "int main;");

    m_doc->m_strPassword = L"test password";
    Run(JOB_INTEGRITY_TEST, m_folder.Path());
    EXPECT_EQ(SkipLines(),
              (std::vector<std::string>{DeviceLine(Path(L"aux.c")), DeviceLine(Path(L"nul"))}));
    EXPECT_TRUE(m_window.HasLog(LOG_INFO, "Skipped 2 items (not allowed to encrypt)"));

    // A stored name of a device gets the short name, and the encrypted file stays.
    SetPassword(L"links password");
    CString stored = MakeFolder(L"stored");
    ASSERT_TRUE(qvunix::WriteFile(stored, "aux.c", "stored as aux.c"));
    CString encrypted = stored + L"\\" + MakeStaticEncryptedFileName(L"aux.c");
    CFileCipher cipher;
    CString name;
    // The long form reaches the file itself.
    ASSERT_EQ(cipher.CryptFile(L"\\\\?\\" + stored + L"\\aux.c", encrypted, CRYPT_MODE_ENCRYPT, name, nullptr, TRUE),
              CRYPT_OK);
    ASSERT_EQ(cipher.ReadOriginalName(encrypted), CString(L"aux.c"));
    qvunix::RemoveUnixTree(qvunix::Child(stored, "aux.c"));
    Run(JOB_DECRYPT_FOLDER, stored);
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "The stored name cannot be used as a file name"));
    EXPECT_TRUE(m_window.HasLog(LOG_ERROR, "Trying to shorten the name to: _file.c"));
    EXPECT_EQ(m_window.LogTexts(LOG_OK),
              (std::vector<std::string>{CrcOkLine("stored as aux.c"),
                                        "Shortening Worked, but we will still keep the encrypted file"}));
    EXPECT_EQ(qvtest::ReadFileBytes(stored + L"\\_file.c"), "stored as aux.c");
    EXPECT_TRUE(qvtest::FileExists(encrypted));
    EXPECT_EQ(qvunix::ReadFile(stored, "aux.c"), "<missing>");
}

TEST_F(LinksAndDeviceNamesTest, BackupLeavesOutLinksAndNamesOfDevices)
{
    MessageBoxCapture boxes;
    CString folder = MakeFolder(L"links");
    qvtest::WriteFileBytes(folder + L"\\a.txt", "alpha");
    CString outsideEmpty = m_outside / L"empty";  // an empty target is the easy one to lose
    CreateDirectoryW(outsideEmpty, nullptr);
    ASSERT_TRUE(qvunix::MakeLink(folder, "empty-link", outsideEmpty));
    ASSERT_TRUE(qvunix::MakeLink(folder, "file-link.txt", m_outsideFile));
    CString temp = COrvantisDoc::MakeTempFileName();
    EXPECT_FALSE(m_doc->ZipFolderBackup(folder, temp));
    EXPECT_FALSE(qvtest::FileExists(temp));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(U8(boxes.texts[0]),
              "2 link(s) or file(s) named like a device (nul, aux.c...) are not packed; they stay in the folder.");
    EXPECT_EQ(qvtest::ReadFileBytes(m_outsideFile), "outside file");
    EXPECT_TRUE(qvtest::FolderExists(outsideEmpty));
    EXPECT_TRUE(qvunix::IsLink(folder, "empty-link"));
    EXPECT_TRUE(qvunix::IsLink(folder, "file-link.txt"));
    EXPECT_FALSE(qvtest::FileExists(folder + L"\\a.txt")) << "what was packed is removed";
    CPkArchive archive;
    archive.OpenArchive(folder + L"\\compressed.zip", CPkStorage::omReadOnly);
    ASSERT_EQ(archive.GetEntryCount(), 1);
    CPkFileHeader header;
    archive.GetEntryInfo(header, 0);
    archive.CloseArchive();
    EXPECT_EQ(U8(m_doc->m_NameCrypt.DecryptPathNames(header.GetEntryName())), "a.txt");

    boxes.texts.clear();
    CString devices = MakeFolder(L"devices");
    ASSERT_TRUE(qvunix::WriteFile(devices, "nul", "not the device"));
    ASSERT_TRUE(qvunix::WriteFile(devices, "aux.c", "int main;"));
    qvtest::WriteFileBytes(devices + L"\\b.txt", "beta");
    temp = COrvantisDoc::MakeTempFileName();
    EXPECT_FALSE(m_doc->ZipFolderBackup(devices, temp));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(U8(boxes.texts[0]),
              "2 link(s) or file(s) named like a device (nul, aux.c...) are not packed; they stay in the folder.");
    EXPECT_EQ(qvunix::ReadFile(devices, "nul"), "not the device");
    EXPECT_EQ(qvunix::ReadFile(devices, "aux.c"), "int main;");
    EXPECT_FALSE(qvtest::FileExists(devices + L"\\b.txt"));
    EXPECT_TRUE(qvtest::FileExists(devices + L"\\compressed.zip"));
}
