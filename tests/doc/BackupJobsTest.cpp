// The folder backup: packing a folder into its "compressed.zip", checked by
// the common zip tools, deleting only what the archive holds, and unpacking
// again without ever writing outside the destination or losing a file.
#include "tests/doc/JobTestSupport.h"
#include "tests/framework/windows/DialogDriver.h"

#include "crypt/NameCrypt.h"
#include "zip/PkArchive.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace jobtest;
using qvtest::MessageBoxCapture;

namespace {

const char kCheckFailed[] = "Error when checking package. \nThe original files will not be removed for safety.";

// The Unix form of a path of this program.
std::string UnixPath(const CString& path)
{
    typedef char*(CDECL * ToUnix)(LPCWSTR);
    static ToUnix toUnix =
        (ToUnix)(void*)GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name");
    char* unix = toUnix ? toUnix(path) : nullptr;
    std::string out = unix ? unix : "";
    if (unix)
        HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// Runs a shell command line of the host system (the zip tools) and returns
// its exit status, -1 when it did not end within a minute. Such a process
// gives no exit code to this one, so the shell writes it into a file.
int RunHostCommand(const qvtest::TempFolder& scratch, const std::string& command, std::string* output = nullptr)
{
    static int counter = 0;
    CString tag;
    tag.Format(L"run%d", ++counter);
    CString status = scratch / (tag + L".status"), log = scratch / (tag + L".log");
    std::string script = command + " >'" + UnixPath(log) + "' 2>&1; echo $? >'" + UnixPath(status) + ".part'; mv '" +
                         UnixPath(status) + ".part' '" + UnixPath(status) + "'";
    CString commandLine = L"/bin/sh -c \"" + CString::FromUtf8(script.c_str()) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", commandLine.GetBuffer(0), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(20)) {
        if (!qvtest::FileExists(status))
            continue;
        if (output)
            *output = qvtest::ReadFileBytes(log);
        return atoi(qvtest::ReadFileBytes(status).c_str());
    }
    return -1;
}

// Appends to a file while the library adds the entry named `when`.
class GrowFileWhileAdding : public CPkActionCallback {
public:
    GrowFileWhileAdding(const CString& when, const CString& file) : m_when(when), m_file(file) {}
    void Init(const WCHAR* entryName, const WCHAR* filePath) override
    {
        CPkActionCallback::Init(entryName, filePath);
        if (CString(filePath) == m_when) {
            std::string bytes = qvtest::ReadFileBytes(m_file);
            qvtest::WriteFileBytes(m_file, bytes + "grown");
        }
    }
    bool Callback(uint64_t) override { return true; }

private:
    CString m_when, m_file;
};

class BackupJobsTest : public JobTest {
protected:
    CString Archive() const { return Path(L"compressed.zip"); }

    // The small tree most cases pack.
    void MakeTree()
    {
        WriteFile(L"a.txt", "alpha");
        MakeFolder(L"sub");
        WriteFile(L"sub\\b.bin", qvtest::PatternBytes(300000, 2));
        MakeFolder(L"sub\\deeper");
        WriteFile(L"sub\\deeper\\c.txt", std::string(20000, 'c'));
        WriteFile(L"sub\\deeper\\empty.txt", "");
        MakeFolder(L"nothing");
    }

    bool Backup()
    {
        CString temp = COrvantisDoc::MakeTempFileName();
        bool result = m_doc->ZipFolderBackup(m_folder.Path(), temp);
        EXPECT_FALSE(qvtest::FileExists(temp)) << "the temporary archive is a plain copy and goes";
        return result;
    }

    std::vector<std::string> EntryNames(const CString& archivePath)
    {
        std::vector<std::string> names;
        CPkArchive archive;
        archive.OpenArchive(archivePath, CPkStorage::omReadOnly);
        for (uint16_t i = 0; i < archive.GetEntryCount(); ++i) {
            CPkFileHeader header;
            archive.GetEntryInfo(header, i);
            names.push_back(header.GetEntryName().ToUtf8());
        }
        archive.CloseArchive();
        return names;
    }

    qvtest::TempFolder m_scratch;
};

std::vector<std::string> Without(std::vector<std::string> listing, const std::string& line)
{
    std::vector<std::string> out;
    for (const std::string& l : listing)
        if (l.rfind(line, 0) != 0)
            out.push_back(l);
    return out;
}

}  // namespace

TEST_F(BackupJobsTest, PackedFolderPassesTheZipToolsAndUnpacksToTheSameTree)
{
    MakeTree();
    std::vector<std::string> tree = TreeListing(m_folder.Path());
    MessageBoxCapture boxes;
    ASSERT_TRUE(Backup());
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(TreeListing(m_folder.Path(), false), std::vector<std::string>{"compressed.zip"})
        << "the packed files and the emptied folders are gone";

    std::string archive = "'" + UnixPath(Archive()) + "'";
    std::string output;
    EXPECT_EQ(RunHostCommand(m_scratch, "unzip -t " + archive, &output), 0) << output;
    EXPECT_EQ(RunHostCommand(m_scratch, "7z t " + archive, &output), 0) << output;
    EXPECT_EQ(RunHostCommand(m_scratch, "python3 -m zipfile -t " + archive, &output), 0) << output;
    EXPECT_EQ(RunHostCommand(m_scratch, "unzip -Z1 " + archive, &output), 0);
    EXPECT_EQ(output, "a.txt\nnothing/\nsub/\nsub/b.bin\nsub/deeper/\nsub/deeper/c.txt\nsub/deeper/empty.txt\n")
        << "without a password the names are the plain relative paths, files before folders at each level";

    EXPECT_TRUE(m_doc->VerifyZipPackage(m_folder.Path(), Archive()));
    EXPECT_TRUE(m_doc->UnzipFolderBackup(m_folder.Path(), Archive()));
    EXPECT_EQ(Without(TreeListing(m_folder.Path()), "compressed.zip"), tree);
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(BackupJobsTest, WithAPasswordEveryNameIsEncryptedAndOnlyThatPasswordGivesThemBack)
{
    MakeTree();
    std::vector<std::string> tree = TreeListing(m_folder.Path());
    SetPassword(L"backup secret");
    ASSERT_TRUE(Backup());
    for (const std::string& name : EntryNames(Archive())) {
        CString path = CString::FromUtf8(name.c_str());
        path.TrimRight(L'\\');
        for (int start = 0; start <= path.GetLength();) {
            int end = path.Find(L'\\', start);
            if (end < 0)
                end = path.GetLength();
            EXPECT_TRUE(IsEncryptedName(path.Mid(start, end - start))) << name;
            start = end + 1;
        }
    }
    qvtest::TempFolder other;
    SetPassword(L"another");
    EXPECT_TRUE(m_doc->UnzipFolderBackup(other.Path(), Archive()));
    EXPECT_NE(TreeListing(other.Path()), tree) << "names it cannot decrypt stay encrypted";
    SetPassword(L"backup secret");
    EXPECT_TRUE(m_doc->UnzipFolderBackup(m_folder.Path(), Archive()));
    EXPECT_EQ(Without(TreeListing(m_folder.Path()), "compressed.zip"), tree);
}

TEST_F(BackupJobsTest, FileThatCannotBeReadIsNotPackedAndSurvives)
{
    MakeTree();
    CString held = WriteFile(L"sub\\held.txt", "held by another program");
    // Another program holds it without letting anyone read it, but would let it be deleted.
    HANDLE handle = CreateFileW(held, GENERIC_READ, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    MessageBoxCapture boxes;
    EXPECT_FALSE(Backup()) << "not everything was packed";
    CloseHandle(handle);
    EXPECT_EQ(qvtest::ReadFileBytes(held), "held by another program");
    EXPECT_EQ(TreeListing(m_folder.Path(), false),
              (std::vector<std::string>{"compressed.zip", "sub\\", "sub\\held.txt"}))
        << "the packed files go, the folder of the held one stays";
    std::vector<std::string> names = EntryNames(Archive());
    EXPECT_EQ(std::count(names.begin(), names.end(), "sub\\held.txt"), 0);
}

TEST_F(BackupJobsTest, FileChangedWhilePackingFailsTheCheckAndNothingIsDeleted)
{
    MakeTree();
    CString a = Path(L"a.txt");
    GrowFileWhileAdding grow(Path(L"sub\\b.bin"), a);
    m_doc->m_Archive.SetCallback(&grow, CPkActionCallback::cbAdd);
    MessageBoxCapture boxes;
    EXPECT_FALSE(Backup());
    m_doc->m_Archive.SetCallback(nullptr);
    EXPECT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts.empty() ? "" : boxes.texts[0].ToUtf8(), kCheckFailed);
    EXPECT_EQ(qvtest::ReadFileBytes(a), "alphagrown");
    EXPECT_EQ(qvtest::ReadFileBytes(Path(L"sub\\b.bin")), qvtest::PatternBytes(300000, 2));
    EXPECT_TRUE(qvtest::FileExists(Archive())) << "the archive is placed whether or not the check passed";
}

TEST_F(BackupJobsTest, ArchiveThatFailedItsCheckNeverReplacesAnOlderOne)
{
    WriteFile(L"compressed.zip", "an older archive");
    MakeTree();
    GrowFileWhileAdding grow(Path(L"sub\\b.bin"), Path(L"a.txt"));
    m_doc->m_Archive.SetCallback(&grow, CPkActionCallback::cbAdd);
    MessageBoxCapture boxes;
    EXPECT_FALSE(Backup());
    m_doc->m_Archive.SetCallback(nullptr);
    EXPECT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(qvtest::ReadFileBytes(Archive()), "an older archive");
    EXPECT_EQ(qvtest::ReadFileBytes(Path(L"sub\\b.bin")), qvtest::PatternBytes(300000, 2));
}

TEST_F(BackupJobsTest, OlderArchiveInTheFolderIsPackedThenReplaced)
{
    WriteFile(L"compressed.zip", "an older archive");
    WriteFile(L"a.txt", "alpha");
    ASSERT_TRUE(Backup());
    EXPECT_EQ(TreeListing(m_folder.Path(), false), std::vector<std::string>{"compressed.zip"});
    qvtest::TempFolder out;
    EXPECT_TRUE(m_doc->UnzipFolderBackup(out.Path(), Archive()));
    EXPECT_EQ(TreeListing(out.Path()), (std::vector<std::string>{"a.txt=alpha", "compressed.zip=an older archive"}));
}

TEST_F(BackupJobsTest, RefusedFoldersAndSizesCreateNothing)
{
    CString big = Path(L"big.bin");
    // 4 GiB and 10 bytes: its low 32 bits alone would look like 10 bytes.
    MakeSparseFile(big, 0x10000000Aull);
    struct Case {
        CString folder;
        const char* message;
    };
    const Case cases[] = {
        {L"C:\\", "For security reasons adding root folder into single protected archive is forbidden"},
        {L"C:", "For security reasons adding root folder into single protected archive is forbidden"},
        {L"", "This command works on a folder of the disk: open one in the list first."},
        {L"relative\\folder", "This command works on a folder of the disk: open one in the list first."},
        {L"\\no drive", "This command works on a folder of the disk: open one in the list first."},
        {m_folder.Path(), "The result archive must be < 2GB\nAborting."},
    };
    for (const Case& c : cases) {
        MessageBoxCapture boxes;
        CString temp = COrvantisDoc::MakeTempFileName();
        EXPECT_FALSE(m_doc->ZipFolderBackup(c.folder, temp)) << U8(c.folder);
        ASSERT_EQ(boxes.texts.size(), 1u) << U8(c.folder);
        EXPECT_EQ(boxes.texts[0].ToUtf8(), c.message);
        EXPECT_FALSE(qvtest::FileExists(temp)) << "no refusal leaves the temporary file behind";
    }
    EXPECT_FALSE(qvtest::FileExists(L"C:\\compressed.zip"));
    EXPECT_FALSE(qvtest::FileExists(Archive()));
    EXPECT_TRUE(qvtest::FileExists(big));
    DeleteFileW(big);
    // Relative destinations of the unpacking are refused the same way.
    MessageBoxCapture boxes;
    WriteFile(L"a.txt", "alpha");
    ASSERT_TRUE(Backup());
    EXPECT_FALSE(m_doc->UnzipFolderBackup(L"relative", Archive()));
    EXPECT_EQ(boxes.texts.size(), 1u);
}

TEST_F(BackupJobsTest, MoreEntriesThanAnArchiveCanCountAreRefused)
{
    ASSERT_EQ(RunHostCommand(m_scratch, "cd '" + UnixPath(m_folder.Path()) + "' && seq 65536 | xargs touch"), 0);
    MessageBoxCapture boxes;
    EXPECT_FALSE(Backup());
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0].ToUtf8(),
              "The folder holds more than 65535 files and folders, more than one archive can hold.\nAborting.");
    EXPECT_TRUE(qvtest::FileExists(Path(L"65536")));
    EXPECT_FALSE(qvtest::FileExists(Archive()));
    EXPECT_EQ(RunHostCommand(m_scratch, "find '" + UnixPath(m_folder.Path()) + "' -mindepth 1 -delete"), 0);
}

TEST_F(BackupJobsTest, UnpackingRefusesWhatIsNoArchiveAndLeavesADamagedOneUntouched)
{
    CString notArchive = m_scratch.WriteFile(L"not.zip", "MZ this is no archive");
    std::string damaged = std::string("PK\x03\x04", 4) + qvtest::PatternBytes(2000, 9);
    CString damagedArchive = m_scratch.WriteFile(L"damaged.zip", damaged);
    qvtest::TempFolder out;
    {
        MessageBoxCapture boxes;
        EXPECT_FALSE(m_doc->UnzipFolderBackup(out.Path(), notArchive));
        EXPECT_EQ(boxes.texts, std::vector<CString>{L"incorrect header file"});
    }
    {
        MessageBoxCapture boxes;
        EXPECT_FALSE(m_doc->UnzipFolderBackup(out.Path(), damagedArchive));
        ASSERT_EQ(boxes.texts.size(), 2u);
        EXPECT_EQ(boxes.texts[0], CString(L"incorrect file"));
        EXPECT_FALSE(boxes.texts[1].IsEmpty()) << "the library's own message follows";
    }
    EXPECT_EQ(qvtest::ReadFileBytes(damagedArchive), damaged) << "an archive that failed to read is not written";
    EXPECT_TRUE(TreeListing(out.Path()).empty());
    // The document's archive is closed again: a sound one reads afterwards.
    WriteFile(L"a.txt", "alpha");
    ASSERT_TRUE(Backup());
    SetFileAttributesW(Archive(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(m_doc->VerifyZipPackage(m_folder.Path(), Archive())) << "opened for reading only";
    EXPECT_TRUE(m_doc->UnzipFolderBackup(out.Path(), Archive()));
    EXPECT_EQ(TreeListing(out.Path()), std::vector<std::string>{"a.txt=alpha"});
    SetFileAttributesW(Archive(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(BackupJobsTest, EntriesThatWouldLeaveTheDestinationAreRefused)
{
    CString destination = MakeFolder(L"dest");
    CString hostile = Path(L"hostile.zip");
    std::string script =
        "import zipfile\n"
        "z = zipfile.ZipFile(r'" + UnixPath(hostile) + "', 'w')\n"
        "for n in ['../evil1.txt', 'sub/../../evil2.txt', '/evil3.txt', 'C:/evil4.txt', '..\\\\evil5.txt', "
        "'good.txt']:\n"
        "    i = zipfile.ZipInfo('x')\n"
        "    i.filename = n\n"
        "    z.writestr(i, 'payload ' + n)\n"
        "z.close()\n";
    qvtest::WriteFileBytes(m_scratch / L"hostile.py", script);
    std::string output;
    ASSERT_EQ(RunHostCommand(m_scratch, "python3 '" + UnixPath(m_scratch / L"hostile.py") + "'", &output), 0) << output;
    EXPECT_FALSE(m_doc->UnzipFolderBackup(destination, hostile));
    // A name that climbs out is refused; a rooted one is taken from the destination.
    EXPECT_EQ(TreeListing(destination),
              (std::vector<std::string>{"evil3.txt=payload /evil3.txt", "good.txt=payload good.txt"}));
    EXPECT_EQ(TreeListing(m_folder.Path(), false),
              (std::vector<std::string>{"dest\\", "dest\\evil3.txt", "dest\\good.txt", "hostile.zip"}));
    for (const WCHAR* outside : {L"C:\\evil3.txt", L"C:\\evil4.txt", L"\\evil3.txt", L"Z:\\evil3.txt"})
        EXPECT_FALSE(qvtest::FileExists(outside)) << CString(outside).ToUtf8();
}

TEST_F(BackupJobsTest, ExistingFileSurvivesAFailedExtraction)
{
    CString destination = MakeFolder(L"dest");
    qvtest::WriteFileBytes(destination + L"\\keep.txt", "the user's own version");
    CString archive = Path(L"bad.zip");
    std::string script = "import zipfile\n"
                         "z = zipfile.ZipFile(r'" + UnixPath(archive) + "', 'w', zipfile.ZIP_STORED)\n"
                         "z.writestr('keep.txt', 'stored data that will be damaged')\n"
                         "z.writestr('new.txt', 'fine')\n"
                         "z.close()\n"
                         "b = bytearray(open(r'" + UnixPath(archive) + "', 'rb').read())\n"
                         "at = b.index(b'stored data')\n"
                         "b[at] ^= 1\n"
                         "open(r'" + UnixPath(archive) + "', 'wb').write(b)\n";
    qvtest::WriteFileBytes(m_scratch / L"damage.py", script);
    std::string output;
    ASSERT_EQ(RunHostCommand(m_scratch, "python3 '" + UnixPath(m_scratch / L"damage.py") + "'", &output), 0) << output;
    EXPECT_FALSE(m_doc->UnzipFolderBackup(destination, archive));
    EXPECT_EQ(TreeListing(destination),
              (std::vector<std::string>{"keep.txt=the user's own version", "new.txt=fine"}))
        << "no partial or temporary file is left either";
}
