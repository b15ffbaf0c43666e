// File operations on real files in a temporary folder: queries, tree deletion
// and copying, links and names of devices, and secure deletion checked
// through a second hard link.
#include "tests/crypt/CryptTestSupport.h"
#include "tests/crypt/UnixFiles.h"

#include "crypt/FileOps.h"
#include "crypt/PathParts.h"

namespace {

// Answers the read-only question from the test instead of a message box.
class ScriptedFileOps : public CFileOps {
public:
    int answer = IDYES;
    int asked = 0;
    CString askedName;

protected:
    int AskDeleteReadOnly(const CString& fileName) override
    {
        ++asked;
        askedName = fileName;
        return answer;
    }
};

class FileOpsTest : public ::testing::Test {
protected:
    CString Folder(const CString& relative)
    {
        CString path = m_folder / relative;
        CreateDirectoryW(path, nullptr);
        return path;
    }
    CString File(const CString& relative, const std::string& bytes = "content")
    {
        return m_folder.WriteFile(relative, bytes);
    }
    bool Exists(const CString& relative) { return GetFileAttributesW(m_folder / relative) != INVALID_FILE_ATTRIBUTES; }

    // A link made on the Unix side, in `folder` (relative), to `target` (full path).
    void Link(const CString& folder, const std::string& name, const CString& target)
    {
        ASSERT_TRUE(qvunix::MakeLink(m_folder / folder, name, target));
        ASSERT_TRUE(CFileOps::IsLink(m_folder / folder + L"\\" + CString::FromUtf8(name.c_str())));
    }

    qvtest::TempFolder m_outside;  // what links lead to, outside the tree
    qvtest::TempFolder m_folder;
    qvunix::TreeCleaner m_cleaner{m_folder.Path()};
};

}  // namespace

TEST_F(FileOpsTest, Queries)
{
    CString file = File(L"f.txt"), folder = Folder(L"sub");
    EXPECT_EQ(CFileOps::GetPathType(file), PATH_FILE);
    EXPECT_EQ(CFileOps::GetPathType(folder), PATH_FOLDER);
    EXPECT_EQ(CFileOps::GetPathType(m_folder / L"missing"), PATH_MISSING);
    EXPECT_EQ(CFileOps::GetPathType(m_folder / L"missing\\deeper"), PATH_MISSING);

    EXPECT_TRUE(CFileOps::CanReadFile(file));
    EXPECT_FALSE(CFileOps::CanReadFile(m_folder / L"missing"));
    HANDLE writer = CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    EXPECT_FALSE(CFileOps::CanReadFile(file));  // another program is writing it
    CloseHandle(writer);

    const struct {
        const WCHAR* in;
        const WCHAR* out;
    } slashes[] = {{L"C:\\a", L"C:\\a\\"}, {L"C:\\a\\", L"C:\\a\\"}, {L"", L"\\"}};
    for (const auto& c : slashes) {
        CString path = c.in;
        CFileOps::AddBackslash(path);
        EXPECT_EQ(path, c.out);
    }
}

TEST_F(FileOpsTest, FilesEqual)
{
    std::string base = qvtest::PatternBytes(20000);
    std::string changed = base;
    changed[15000] ^= 1;
    const struct {
        const char* what;
        std::string a, b;
        bool equal;
    } cases[] = {
        {"equal, one block", base.substr(0, 10000), base.substr(0, 10000), true},
        {"one extra byte after a whole block", base.substr(0, 10000), base.substr(0, 10001), false},
        {"one extra byte, other way round", base.substr(0, 10001), base.substr(0, 10000), false},
        {"extra block", base.substr(0, 10000), base, false},
        {"equal, two blocks", base, base, true},
        {"one byte differs", base, changed, false},
        {"both empty", "", "", true},
        {"empty and one byte", "", "x", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CFileOps::FilesEqual(File(L"a", c.a), File(L"b", c.b)), c.equal) << c.what;
    }
    EXPECT_FALSE(CFileOps::FilesEqual(File(L"a", "x"), m_folder / L"missing"));
}

TEST_F(FileOpsTest, SecureDeleteOverwritesBeforeDeleting)
{
    // A second hard link keeps the data reachable after the first name is gone.
    std::string original = qvtest::PatternBytes(200000, 3);
    CString path = File(L"secret.bin", original), link = m_folder / L"link.bin";
    ASSERT_TRUE(CreateHardLinkW(link, path, nullptr));
    EXPECT_EQ(CFileOps::SecureDeleteFile(path), SECURE_DELETE_WIPED);
    EXPECT_FALSE(Exists(L"secret.bin"));
    std::string after = qvtest::ReadFileBytes(link);
    ASSERT_EQ(after.size(), original.size());
    size_t same = 0;
    for (size_t i = 0; i < after.size(); ++i)
        same += after[i] == original[i];
    EXPECT_LT(same, original.size() / 50);
    // The random pattern repeats every 65,536 bytes; the last byte got it last.
    EXPECT_EQ(after.substr(0, 1000), after.substr(65536, 1000));
    EXPECT_EQ(after.back(), after[0]);
}

TEST_F(FileOpsTest, QuickSecureDeleteOverwritesOnlyTheHeadAndLastByte)
{
    std::string original = qvtest::PatternBytes(1 << 20, 4);
    CString path = File(L"big.bin", original), link = m_folder / L"link.bin";
    ASSERT_TRUE(CreateHardLinkW(link, path, nullptr));
    EXPECT_EQ(CFileOps::SecureDeleteFileQuick(path), SECURE_DELETE_WIPED);
    std::string after = qvtest::ReadFileBytes(link);
    ASSERT_EQ(after.size(), original.size());
    EXPECT_NE(after.substr(0, 65536), original.substr(0, 65536));
    EXPECT_TRUE(after.substr(65536, after.size() - 65537) == original.substr(65536, original.size() - 65537));
    EXPECT_EQ(after.back(), after[0]);
}

TEST_F(FileOpsTest, SecureDeleteSmallAndSpecialCases)
{
    CString empty = File(L"empty.bin", "");
    EXPECT_EQ(CFileOps::SecureDeleteFile(empty), SECURE_DELETE_WIPED);
    EXPECT_FALSE(Exists(L"empty.bin"));

    // One byte and two bytes: every byte ends as the first byte of the random pattern.
    CString one = File(L"one.bin", "Z"), two = File(L"two.bin", "ZZ");
    ASSERT_TRUE(CreateHardLinkW(m_folder / L"one.link", one, nullptr));
    ASSERT_TRUE(CreateHardLinkW(m_folder / L"two.link", two, nullptr));
    EXPECT_EQ(CFileOps::SecureDeleteFile(one), SECURE_DELETE_WIPED);
    EXPECT_EQ(CFileOps::SecureDeleteFile(two), SECURE_DELETE_WIPED);
    std::string oneAfter = qvtest::ReadFileBytes(m_folder / L"one.link");
    std::string twoAfter = qvtest::ReadFileBytes(m_folder / L"two.link");
    ASSERT_EQ(oneAfter.size(), 1u);
    EXPECT_EQ(twoAfter, oneAfter + oneAfter);

    CString readOnly = File(L"readonly.bin", "read only");
    ASSERT_TRUE(SetFileAttributesW(readOnly, FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(CFileOps::SecureDeleteFile(readOnly), SECURE_DELETE_WIPED);
    EXPECT_FALSE(Exists(L"readonly.bin"));

    EXPECT_EQ(CFileOps::SecureDeleteFile(m_folder / L"missing"), SECURE_DELETE_NOT_WIPED);
    CString folder = Folder(L"folder");
    EXPECT_EQ(CFileOps::SecureDeleteFile(folder), SECURE_DELETE_NOT_WIPED);
    EXPECT_TRUE(qvtest::FolderExists(folder));
}

TEST_F(FileOpsTest, SecureDeleteReportsAFileThatStays)
{
    CString held = File(L"held.bin", "held open");
    // Another program holds the file without sharing: neither wiping nor deleting works.
    HANDLE other = CreateFileW(held, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CFileOps::SecureDeleteFile(held), SECURE_DELETE_FAILED);
    EXPECT_EQ(CFileOps::WipeFileData(held), WIPE_FAILED);
    CloseHandle(other);
    EXPECT_EQ(qvtest::ReadFileBytes(held), "held open");
    EXPECT_EQ(CFileOps::WipeFileData(held), WIPE_OK);
    EXPECT_FALSE(Exists(L"held.bin"));

    // Held for reading and writing, but not for deletion: overwritten, and it stays.
    CString shared = File(L"shared.bin", "shared secret");
    other = CreateFileW(shared, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CFileOps::SecureDeleteFile(shared), SECURE_DELETE_WIPED_NOT_DELETED);
    CloseHandle(other);
    EXPECT_TRUE(Exists(L"shared.bin"));
    std::string after = qvtest::ReadFileBytes(shared);
    EXPECT_EQ(after.size(), 13u);
    EXPECT_NE(after, "shared secret");
}

TEST_F(FileOpsTest, DeleteTree)
{
    Folder(L"tree");
    Folder(L"tree\\sub");
    File(L"tree\\a.txt");
    File(L"tree\\sub\\b.txt");
    CFileOps ops;
    EXPECT_TRUE(ops.Delete(m_folder / L"tree"));
    EXPECT_FALSE(Exists(L"tree"));

    EXPECT_FALSE(ops.Delete(m_folder / L"missing"));
    EXPECT_NE(ops.m_nError, 0);
    EXPECT_NE(ops.m_strError, L"No error");
}

TEST_F(FileOpsTest, DeleteTreeWithAReadOnlyFile)
{
    const struct {
        int answer;
        bool readOnlyKept;
    } cases[] = {{IDYES, false}, {IDNO, true}, {IDCANCEL, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        Folder(L"tree");
        Folder(L"tree\\sub");
        File(L"tree\\sub\\locked.txt");
        SetFileAttributesW(m_folder / L"tree\\sub\\locked.txt", FILE_ATTRIBUTE_READONLY);
        ScriptedFileOps ops;
        ops.answer = c.answer;
        EXPECT_TRUE(ops.Delete(m_folder / L"tree"));
        EXPECT_EQ(ops.m_nError, 0);
        EXPECT_EQ(ops.asked, 1);
        EXPECT_EQ(ops.askedName, L"locked.txt");
        EXPECT_EQ(Exists(L"tree\\sub\\locked.txt"), c.readOnlyKept);
        EXPECT_EQ(Exists(L"tree"), c.readOnlyKept);
        SetFileAttributesW(m_folder / L"tree\\sub\\locked.txt", FILE_ATTRIBUTE_NORMAL);
        qvtest::RemoveTree(m_folder / L"tree");
    }
}

// The engine asks no one by itself: with nobody to answer, a read-only file
// stays, and the question a caller shows is the program's own text.
TEST_F(FileOpsTest, WithNobodyToAskAReadOnlyFileStays)
{
    Folder(L"tree");
    File(L"tree\\locked.txt");
    SetFileAttributesW(m_folder / L"tree\\locked.txt", FILE_ATTRIBUTE_READONLY);
    CFileOps ops;
    EXPECT_TRUE(ops.Delete(m_folder / L"tree"));
    EXPECT_TRUE(Exists(L"tree\\locked.txt"));
    SetFileAttributesW(m_folder / L"tree\\locked.txt", FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(CFileOps::DeleteReadOnlyQuestion(L"a.txt"), L"a.txt is read only. Do you want delete it?");
}

TEST_F(FileOpsTest, LinksAreNeverFollowed)
{
    CString outsideFolder = m_outside / L"folder";
    CreateDirectoryW(outsideFolder, nullptr);
    qvtest::WriteFileBytes(outsideFolder + L"\\keep.txt", "keep me");
    CString outsideEmpty = m_outside / L"empty";  // an empty target is the easy one to lose
    CreateDirectoryW(outsideEmpty, nullptr);
    CString outsideFile = m_outside.WriteFile(L"file.txt", "outside file");
    Folder(L"tree");
    File(L"tree\\own.txt");
    Link(L"tree", "link", outsideFolder);
    Link(L"tree", "to-empty", outsideEmpty);
    Link(L"tree", "file-link.txt", outsideFile);
    Folder(L"dest");
    EXPECT_FALSE(CFileOps::IsLink(m_folder / L"tree"));
    EXPECT_FALSE(CFileOps::IsLink(m_folder / L"tree\\own.txt"));

    CFileOps ops;
    EXPECT_TRUE(ops.CopyPathInto(m_folder / L"tree", m_folder / L"dest"));
    EXPECT_TRUE(Exists(L"dest\\tree\\own.txt"));
    EXPECT_FALSE(Exists(L"dest\\tree\\link"));
    EXPECT_FALSE(Exists(L"dest\\tree\\file-link.txt"));
    EXPECT_EQ(ops.m_Skipped.GetSize(), 3);
    EXPECT_FALSE(ops.CopyPathInto(m_folder / L"tree\\link", m_folder / L"dest"));
    EXPECT_FALSE(ops.CopyPathTo(m_folder / L"tree\\file-link.txt", m_folder / L"dest\\copy.txt"));
    EXPECT_EQ(ops.m_strError, m_folder / L"tree\\file-link.txt is a link and is not copied");
    EXPECT_FALSE(Exists(L"dest\\copy.txt"));

    // Wiping goes no further than the link itself.
    EXPECT_EQ(CFileOps::WipeFileData(m_folder / L"tree\\file-link.txt"), WIPE_FAILED);
    EXPECT_EQ(CFileOps::SecureDeleteFile(m_folder / L"tree\\file-link.txt"), SECURE_DELETE_NOT_WIPED);
    EXPECT_FALSE(qvunix::IsLink(m_folder / L"tree", "file-link.txt")) << "the link itself is removed";
    EXPECT_EQ(qvtest::ReadFileBytes(outsideFile), "outside file");
    Link(L"tree", "file-link.txt", outsideFile);

    EXPECT_TRUE(ops.Delete(m_folder / L"tree"));
    EXPECT_FALSE(Exists(L"tree"));
    EXPECT_EQ(qvtest::ReadFileBytes(outsideFolder + L"\\keep.txt"), "keep me");
    EXPECT_TRUE(qvtest::FolderExists(outsideEmpty));
    EXPECT_EQ(qvtest::ReadFileBytes(outsideFile), "outside file");
}

TEST_F(FileOpsTest, NamesOfDevices)
{
    // The reserved names of the system's file naming rules, alone and with
    // any extension; the rules look at the text before the first dot.
    const struct {
        const char* name;
        bool device;
    } names[] = {
        {"nul", true},       {"NUL", true},         {"aux.c", true},     {"con.tar.gz", true}, {"Prn.txt", true},
        {"com1", true},      {"COM9.log", true},    {"lpt1", true},      {"lpt9.x", true},     {"nul .txt", true},
        {"nul:", true},      {"conin$", true},      {"CONOUT$", true},   {"com0", false},      {"lpt0.txt", false},
        {"com10", false},    {"auxx", false},       {".nul", false},     {"nul~", false},      {"a.nul", false},
        {"console", false},  {"xnul.txt", false},   {"", false},         {"com", false},       {"lpt", false},
    };
    for (const auto& c : names)
        EXPECT_EQ(IsDeviceName(CString::FromUtf8(c.name)), c.device) << c.name;

    // Such files are left out of copies and never wiped through the device.
    Folder(L"tree");
    File(L"tree\\own.txt", "own");
    ASSERT_TRUE(qvunix::WriteFile(m_folder / L"tree", "nul", "not the device"));
    ASSERT_TRUE(qvunix::WriteFile(m_folder / L"tree", "aux.c", "int main;"));
    EXPECT_FALSE(CFileOps::IsLink(m_folder / L"tree\\aux.c")) << "the file is looked at, not the device";
    Folder(L"dest");
    CFileOps ops;
    EXPECT_TRUE(ops.CopyPathInto(m_folder / L"tree", m_folder / L"dest"));
    EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"dest\\tree\\own.txt"), "own");
    EXPECT_EQ(qvunix::ReadFile(m_folder / L"dest\\tree", "nul"), "<missing>");
    EXPECT_EQ(qvunix::ReadFile(m_folder / L"dest\\tree", "aux.c"), "<missing>");
    ASSERT_EQ(ops.m_Skipped.GetSize(), 2);
    EXPECT_FALSE(ops.CopyPathTo(m_folder / L"tree\\nul", m_folder / L"dest\\n.txt"));
    EXPECT_EQ(CFileOps::WipeFileData(m_folder / L"tree\\nul"), WIPE_FAILED);
    EXPECT_EQ(CFileOps::SecureDeleteFile(m_folder / L"tree\\aux.c"), SECURE_DELETE_FAILED);
    EXPECT_EQ(qvunix::ReadFile(m_folder / L"tree", "nul"), "not the device");
    EXPECT_EQ(qvunix::ReadFile(m_folder / L"tree", "aux.c"), "int main;");
}

TEST_F(FileOpsTest, CopyIntoFolders)
{
    Folder(L"src");
    Folder(L"src\\sub");
    File(L"src\\a.txt", "one");
    File(L"src\\sub\\b.txt", "two");
    Folder(L"dest");
    CFileOps ops;
    EXPECT_TRUE(ops.CopyPathInto(m_folder / L"src", m_folder / L"dest"));
    EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"dest\\src\\sub\\b.txt"), "two");
    EXPECT_EQ(ops.m_nCopyBudget, -1);
    // Copying again never replaces the earlier copy.
    File(L"src\\a.txt", "changed");
    EXPECT_FALSE(ops.CopyPathInto(m_folder / L"src", m_folder / L"dest"));
    EXPECT_EQ(ops.m_nError, ERROR_FILE_EXISTS);
    EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"dest\\src\\a.txt"), "one");

    // A file into a folder, and onto a file, which stays.
    EXPECT_TRUE(ops.CopyPathInto(m_folder / L"src\\a.txt", m_folder / L"dest"));
    EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"dest\\a.txt"), "changed");
    File(L"other.txt", "old");
    EXPECT_FALSE(ops.CopyPathInto(m_folder / L"src\\sub\\b.txt", m_folder / L"other.txt"));
    EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"other.txt"), "old");

    // Under a name of its own: a new file or folder tree, never over one that stands there.
    EXPECT_TRUE(ops.CopyPathTo(m_folder / L"src\\a.txt", m_folder / L"dest\\renamed.txt"));
    EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"dest\\renamed.txt"), "changed");
    EXPECT_TRUE(ops.CopyPathTo(m_folder / L"src", m_folder / L"dest\\src (2)"));
    EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"dest\\src (2)\\sub\\b.txt"), "two");
    EXPECT_FALSE(ops.CopyPathTo(m_folder / L"src\\sub\\b.txt", m_folder / L"dest\\renamed.txt"));
    EXPECT_EQ(ops.m_nError, ERROR_FILE_EXISTS);
    EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"dest\\renamed.txt"), "changed");
    Folder(L"taken");
    File(L"taken\\a.txt", "mine");
    EXPECT_FALSE(ops.CopyPathTo(m_folder / L"src", m_folder / L"taken"));
    EXPECT_EQ(ops.m_nError, ERROR_ALREADY_EXISTS);
    EXPECT_EQ(qvtest::ReadFileBytes(m_folder / L"taken\\a.txt"), "mine");
    EXPECT_FALSE(Exists(L"taken\\sub")) << "nothing merged into a folder that stands there";

    // A folder already in the destination is left alone (case does not matter).
    File(L"marker.txt");
    EXPECT_TRUE(ops.CopyPathInto(m_folder / L"src", m_folder.Path()));
    CString upper = m_folder.Path();
    upper.MakeUpper();
    EXPECT_TRUE(ops.CopyPathInto(m_folder / L"src", upper));
}

TEST_F(FileOpsTest, CopyFailures)
{
    Folder(L"src");
    File(L"file.txt");
    CFileOps ops;
    EXPECT_FALSE(ops.CopyPathInto(m_folder / L"missing", m_folder / L"src"));
    EXPECT_EQ(ops.m_strError, m_folder / L"missing not found");
    EXPECT_FALSE(ops.CopyPathInto(m_folder / L"src", m_folder / L"nowhere"));
    EXPECT_EQ(ops.m_strError, m_folder / L"nowhere not found");
    EXPECT_FALSE(ops.CopyPathInto(m_folder / L"src", m_folder / L"file.txt"));
    EXPECT_EQ(ops.m_strError, L"Wrong operation");
    EXPECT_EQ(ops.m_nError, 0);
}

TEST_F(FileOpsTest, CopyIntoItsOwnSubfolderStops)
{
    // The destination lies one level deeper: one subfolder may be entered in all.
    for (bool sameCase : {true, false}) {
        SCOPED_TRACE(sameCase);
        Folder(L"a");
        Folder(L"a\\b");
        File(L"a\\top.txt");
        File(L"a\\b\\inner.txt");
        CString source = m_folder / L"a";
        if (!sameCase)
            source.MakeUpper();
        CFileOps ops;
        EXPECT_TRUE(ops.CopyPathInto(source, m_folder / L"a\\b"));
        EXPECT_TRUE(Exists(L"a\\b\\a\\top.txt"));
        EXPECT_TRUE(Exists(L"a\\b\\a\\b\\inner.txt"));
        EXPECT_FALSE(Exists(L"a\\b\\a\\b\\a"));
        qvtest::RemoveTree(m_folder / L"a");
    }
}

TEST_F(FileOpsTest, Rename)
{
    File(L"old.txt");
    CFileOps ops;
    EXPECT_TRUE(ops.RenamePath(m_folder / L"old.txt", m_folder / L"new.txt"));
    EXPECT_TRUE(Exists(L"new.txt"));
    EXPECT_FALSE(ops.RenamePath(m_folder / L"old.txt", m_folder / L"again.txt"));
    EXPECT_EQ(ops.m_nError, ERROR_FILE_NOT_FOUND);
}
