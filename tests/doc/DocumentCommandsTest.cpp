#include "tests/doc/JobTestSupport.h"
#include "tests/framework/windows/DialogDriver.h"

#include "crypt/KeyState.h"
#include "doc/FolderPolicy.h"
#include "framework/windows/CCmdUI.h"
#include "res/resource.h"

#include <algorithm>
#include <vector>

using namespace jobtest;
using qvtest::Checked;
using qvtest::Click;
using qvtest::MessageBoxCapture;
using qvtest::SetText;
using qvtest::Text;

namespace {

// The check mark an update handler gives a command's item.
class CheckState : public CCmdUI {
public:
    void SetCheck(int check) override { checked = check; }
    int checked = -1;
};

class DocumentCommandsTest : public JobTest {
protected:
    int CheckMark(UINT id)
    {
        CheckState state;
        state.m_nID = id;
        EXPECT_TRUE(m_doc->OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &state));
        return state.checked;
    }

    int StoredOption(const WCHAR* name) { return (int)m_app->GetProfileInt(L"Settings", name, -1); }

    std::vector<int> LockOptions() const
    {
        const COrvantisDoc& d = *m_doc;
        return {d.m_Options.m_bRecurse,     d.m_Options.m_bKeepPassword, d.m_Options.m_bVerify,     d.m_Options.m_bSecureDelete, d.m_Options.m_bKeepLogOnErrors,
                d.m_Options.m_bKeepLogOnSkips, d.m_Options.m_bAddRecovery, d.m_Options.m_bKeepDates, d.m_Options.m_bRandomNames, d.m_Options.m_bEncryptFolderNames};
    }
};

const int kLockBoxes[] = {IDC_RECURSE,    IDC_KEEP_PASSWORD, IDC_VERIFY,     IDC_SECURE_DELETE,   IDC_LOG_ERRORS,
                          IDC_LOG_WARNINGS, IDC_ADD_RECOVERY, IDC_KEEP_DATES, IDC_RANDOM_NAMES, IDC_ENCRYPT_FOLDER_NAMES};

}  // namespace

TEST_F(DocumentCommandsTest, OptionsAreReadFromTheProfileAndWrittenAtExit)
{
    EXPECT_EQ(LockOptions(), (std::vector<int>{1, 1, 1, 0, 1, 0, 0, 1, 1, 1})) << "initial values without a profile";
    EXPECT_EQ(m_doc->m_Options.m_bCheckCrc, 1);
    EXPECT_EQ(m_doc->m_bAllowRootFolder, 0);
    m_doc.reset();
    for (const WCHAR* name : {L"VerifyEnc", L"KeepDates", L"RandomFileNames", L"EncryptFolderNames"})
        EXPECT_EQ(StoredOption(name), 1) << CString(name).ToUtf8();
    for (const WCHAR* name : {L"SecureDelete", L"AddRecovery"})
        EXPECT_EQ(StoredOption(name), 0) << CString(name).ToUtf8();

    m_app->WriteProfileInt(L"Settings", L"VerifyEnc", 0);
    m_app->WriteProfileInt(L"Settings", L"SecureDelete", 1);
    m_app->WriteProfileInt(L"Settings", L"AddRecovery", 1);
    m_app->WriteProfileInt(L"Settings", L"KeepDates", 0);
    m_app->WriteProfileInt(L"Settings", L"RandomFileNames", 0);
    m_app->WriteProfileInt(L"Settings", L"EncryptFolderNames", 0);
    m_doc = std::make_unique<COrvantisDoc>();
    EXPECT_EQ(LockOptions(), (std::vector<int>{1, 1, 0, 1, 1, 0, 1, 0, 0, 0}));
    m_doc->m_Options.m_bRecurse = 0;  // not stored
    m_doc->m_Options.m_bRandomNames = 1;
    m_doc.reset();
    EXPECT_EQ(StoredOption(L"RandomFileNames"), 1);
    EXPECT_EQ(StoredOption(L"Recurse"), -1);
    m_doc = std::make_unique<COrvantisDoc>();
    EXPECT_EQ(m_doc->m_Options.m_bRecurse, 1);
}

TEST_F(DocumentCommandsTest, EncryptCurrentFolderShowsTheOptionsAndStartsTheJobWithWhatTheUserConfirmed)
{
    WriteFile(L"a.txt", "some text");
    m_doc->m_strPassword = L"previous secret";
    m_doc->m_Options.m_bKeepDates = 0;
    std::vector<int> shown;
    WithDialog([&] { m_doc->EncryptCurrentFolder(m_folder.Path()); },
               [&](CWnd& dlg) {
                   EXPECT_EQ(Text(dlg, IDC_PASSWORD), CString(L"previous secret"));
                   EXPECT_EQ(Text(dlg, IDC_REPEAT), CString(L"previous secret"));
                   for (int id : kLockBoxes)
                       shown.push_back(Checked(dlg, id));
                   SetText(dlg, IDC_PASSWORD, L"brand new secret");
                   SetText(dlg, IDC_REPEAT, L"brand new secret");
                   Click(dlg, IDC_ENCRYPT_FOLDER_NAMES);
                   Click(dlg, IDC_SECURE_DELETE);
                   Click(dlg, IDOK);
               });
    EXPECT_EQ(shown, (std::vector<int>{1, 1, 1, 0, 1, 0, 0, 0, 1, 1}));
    WaitForJob();
    ASSERT_FALSE(m_window.reports.empty());
    EXPECT_EQ(m_window.reports.front(), Begin("Encrypting"));
    EXPECT_EQ(m_window.reports.back(), Ended());
    EXPECT_EQ(m_doc->m_strPassword, CString(L"brand new secret"));
    EXPECT_EQ(m_doc->m_strCurrentFolder, m_folder.Path());
    EXPECT_EQ(LockOptions(), (std::vector<int>{1, 1, 1, 1, 1, 0, 0, 0, 1, 0}));
    EXPECT_TRUE(m_window.HasLog(LOG_WARNING, "Secure Delete Original"));
    EXPECT_FALSE(qvtest::FileExists(Path(L"a.txt")));
    m_doc.reset();
    EXPECT_EQ(StoredOption(L"EncryptFolderNames"), 0);
    EXPECT_EQ(StoredOption(L"SecureDelete"), 1);
}

TEST_F(DocumentCommandsTest, CancelChangesNothingAndStartsNothing)
{
    WriteFile(L"a.txt", "x");
    SetPassword(L"kept secret");
    std::vector<int> before = LockOptions();
    WithDialog([&] { m_doc->EncryptCurrentFolder(m_folder.Path()); },
               [](CWnd& dlg) {
                   SetText(dlg, IDC_PASSWORD, L"typed but cancelled");
                   Click(dlg, IDC_VERIFY);
                   Click(dlg, IDCANCEL);
               });
    WithDialog([&] { m_doc->DecryptSelectedTo(Path(L"out"), m_folder.Path()); },
               [](CWnd& dlg) { Click(dlg, IDCANCEL); });
    EXPECT_FALSE(m_doc->IsRunning());
    EXPECT_TRUE(m_window.reports.empty());
    EXPECT_EQ(m_doc->m_strPassword, CString(L"kept secret"));
    EXPECT_EQ(LockOptions(), before);
    EXPECT_TRUE(m_doc->m_strDestPath.IsEmpty());
    EXPECT_TRUE(m_doc->m_strSourcePath.IsEmpty());
    EXPECT_TRUE(qvtest::FileExists(Path(L"a.txt")));
}

TEST_F(DocumentCommandsTest, SelectedCommandsOpenWithFolderNamesClearedAndKeepWhatTheUserLeft)
{
    SetPassword(L"selected secret");
    int shownFolderNames = -1;
    WithDialog([&] { m_doc->EncryptSelectedInPlace(); },
               [&](CWnd& dlg) {
                   shownFolderNames = Checked(dlg, IDC_ENCRYPT_FOLDER_NAMES);
                   Click(dlg, IDOK);
               });
    WaitForJob();
    EXPECT_EQ(shownFolderNames, 0);
    EXPECT_EQ(m_doc->m_Options.m_bEncryptFolderNames, 0);
    EXPECT_EQ(m_window.reports.front(), Begin("Encrypting Selected Files"));
    // "Encrypt Current Folder" now opens with the box cleared too.
    WithDialog([&] { m_doc->EncryptCurrentFolder(m_folder.Path()); },
               [&](CWnd& dlg) {
                   shownFolderNames = Checked(dlg, IDC_ENCRYPT_FOLDER_NAMES);
                   Click(dlg, IDCANCEL);
               });
    EXPECT_EQ(shownFolderNames, 0);
}

TEST_F(DocumentCommandsTest, ToCommandsRefuseTheSameFolderInAnyCase)
{
    struct Case {
        const WCHAR* destination;
        const WCHAR* source;
    } cases[] = {{L"C:\\A", L"C:\\A\\"}, {L"c:\\a\\", L"C:\\A\\"}, {L"Z:\\tmp\\Box", L"z:\\TMP\\box"}};
    for (const Case& c : cases) {
        MessageBoxCapture boxes;
        m_doc->EncryptSelectedTo(c.destination, c.source);
        m_doc->DecryptSelectedTo(c.destination, c.source);
        ASSERT_EQ(boxes.texts.size(), 2u) << CString(c.destination).ToUtf8();
        EXPECT_EQ(boxes.texts[0], CString(L"Souce and Destination folders are same, use Encrypt Folder or Encrypt "
                                          L"Selected if you want to encrypt in place"));
        EXPECT_EQ(boxes.texts[1], CString(L"Souce and Destination folders are same, use Decrypt Folder or Decrypt "
                                          L"Selected if you want to decrypt in place"));
        EXPECT_TRUE(m_doc->m_strDestPath.IsEmpty());
    }
    EXPECT_TRUE(m_window.reports.empty());
}

TEST_F(DocumentCommandsTest, DecryptCommandsTakeTheUnlockOptions)
{
    MessageBoxCapture boxes;
    m_doc->m_Options.m_bCheckCrc = 1;
    std::vector<int> shown;
    WithDialog([&] { m_doc->DecryptCurrentFolder(m_folder.Path()); },
               [&](CWnd& dlg) {
                   for (int id : {IDC_RECURSE, IDC_KEEP_PASSWORD, IDC_UNLOCK_LOG_ERRORS, IDC_UNLOCK_LOG_WARNINGS,
                                  IDC_DISABLE_CRC, IDC_UNLOCK_KEEP_DATES})
                       shown.push_back(Checked(dlg, id));
                   SetText(dlg, IDC_PASSWORD, L"unlock me");
                   Click(dlg, IDC_DISABLE_CRC);
                   Click(dlg, IDC_UNLOCK_LOG_WARNINGS);
                   Click(dlg, IDOK);
               });
    WaitForJob();
    EXPECT_EQ(shown, (std::vector<int>{1, 1, 1, 0, 0, 1}));
    EXPECT_EQ(boxes.texts.size(), 1u) << "the CRC warning";
    EXPECT_EQ(m_doc->m_Options.m_bCheckCrc, 0);
    EXPECT_EQ(m_doc->m_Options.m_bKeepLogOnSkips, 1);
    EXPECT_EQ(m_doc->m_strPassword, CString(L"unlock me"));
    EXPECT_EQ(m_window.reports.front(), Begin("Decrypting"));
    // The next decryption opens with "Disable CRC checking" cleared again.
    int crcBox = -1;
    WithDialog([&] { m_doc->DecryptSelectedInPlace(); },
               [&](CWnd& dlg) {
                   crcBox = Checked(dlg, IDC_DISABLE_CRC);
                   Click(dlg, IDCANCEL);
               });
    EXPECT_EQ(crcBox, 0);
}

TEST_F(DocumentCommandsTest, IntegrityTestProposesARandomPasswordAndTakesTheOneLeftInTheField)
{
    CString proposed;
    bool started = true;
    WithDialog([&] { started = m_doc->StartIntegrityTest(m_folder.Path()); },
               [&](CWnd& dlg) {
                   proposed = Text(dlg, IDC_PASSWORD);
                   Click(dlg, IDCANCEL);
               });
    EXPECT_FALSE(started);
    ASSERT_EQ(proposed.GetLength(), 32);
    const WCHAR* text = proposed.GetString();
    EXPECT_TRUE(std::all_of(text, text + proposed.GetLength(),
                            [](WCHAR c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); }))
        << "lower-case hexadecimal digits";

    WithDialog([&] { started = m_doc->StartIntegrityTest(m_folder.Path()); },
               [&](CWnd& dlg) {
                   EXPECT_NE(Text(dlg, IDC_PASSWORD), proposed) << "a new password every time";
                   SetText(dlg, IDC_PASSWORD, L"");
                   Click(dlg, IDOK);
               });
    EXPECT_FALSE(started) << "an empty password starts nothing";
    EXPECT_FALSE(m_doc->IsRunning());

    SetPassword(L"users own password");
    WriteFile(L"a.txt", "integrity");
    WithDialog([&] { started = m_doc->StartIntegrityTest(m_folder.Path()); },
               [&](CWnd& dlg) {
                   SetText(dlg, IDC_PASSWORD, L"typed test password");
                   Click(dlg, IDOK);
               });
    EXPECT_TRUE(started);
    WaitForJob();
    EXPECT_EQ(m_window.reports.front(), Begin("Integrity test"));
    EXPECT_TRUE(m_window.HasLog(LOG_HEADING_OK, "Integrity Test Finished with Zero Compare Errors."));
    EXPECT_TRUE(m_doc->m_strPassword.IsEmpty()) << "the test password and the one before are gone";
    EXPECT_FALSE(HasKey());
    EXPECT_EQ(CheckMark(ID_ENTER_PASSWORD), 0);
}

TEST_F(DocumentCommandsTest, EnterPasswordSetsAndResetsTheKey)
{
    bool confirmed = false;
    WithDialog([&] { confirmed = m_doc->EnterPassword(); },
               [](CWnd& dlg) {
                   SetText(dlg, IDC_PASSWORD, L"entered secret");
                   Click(dlg, IDOK);
               });
    EXPECT_TRUE(confirmed);
    EXPECT_TRUE(HasKey());
    EXPECT_EQ(CheckMark(ID_ENTER_PASSWORD), 1);
    CString shown;
    WithDialog([&] { confirmed = m_doc->EnterPassword(); },
               [&](CWnd& dlg) {
                   shown = Text(dlg, IDC_PASSWORD);
                   Click(dlg, IDCANCEL);
               });
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(shown, CString(L"entered secret"));
    EXPECT_TRUE(HasKey());
    WithDialog([&] { confirmed = m_doc->EnterPassword(); }, [](CWnd& dlg) { Click(dlg, IDC_RESET); });
    EXPECT_TRUE(confirmed);
    EXPECT_FALSE(HasKey());
    EXPECT_EQ(CheckMark(ID_ENTER_PASSWORD), 0);
}

TEST_F(DocumentCommandsTest, AllowRootFolderTogglesAndWarnsWhenSwitchedOn)
{
    MessageBoxCapture boxes;
    CheckState query;
    EXPECT_TRUE(m_doc->OnCmdMsg(ID_ALLOW_ROOT_FOLDER, CN_COMMAND_QUERY, &query)) << "the command has a handler";
    EXPECT_EQ(CheckMark(ID_ALLOW_ROOT_FOLDER), 0);
    EXPECT_TRUE(m_doc->OnCmdMsg(ID_ALLOW_ROOT_FOLDER, 0, nullptr));
    EXPECT_EQ(CheckMark(ID_ALLOW_ROOT_FOLDER), 1);
    EXPECT_TRUE(m_doc->OnCmdMsg(ID_ALLOW_ROOT_FOLDER, 0, nullptr));
    EXPECT_EQ(CheckMark(ID_ALLOW_ROOT_FOLDER), 0);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0].Left(40), CString(L"Encrypting a whole disk from the Root Fo"));
}

TEST_F(DocumentCommandsTest, FolderPolicyRefusalsAreMessageBoxesBeforeAnyDialog)
{
    MessageBoxCapture boxes;
    m_doc->EncryptCurrentFolder(L"C:\\");
    m_doc->m_bAllowRootFolder = 1;
    m_doc->EncryptCurrentFolder(L"c:");
    m_doc->EncryptCurrentFolder(L"Z:\\etc\\ssl");
    m_doc->EncryptCurrentFolder(L"subfolder");
    EXPECT_EQ(boxes.texts, (std::vector<CString>{L"Starting from the Root folder is disabled (see Settings in menu "
                                                 L"Options)",
                                                 L"Encrypting the root of C:\\ disk is disabled",
                                                 L"Encrypting inside system folders is forbidden",
                                                 L"Encrypting a folder without its full path is forbidden"}));
    EXPECT_EQ(boxes.types, (std::vector<UINT>(4, MB_OK)));
    EXPECT_TRUE(m_window.reports.empty());

    FolderPolicyPaths here = FolderPolicyPaths::OfThisSystem();
    EXPECT_EQ(here.unixRootDrive | 0x20, 'z');
    ASSERT_FALSE(here.windowsOnUnixDrive.IsEmpty());
    EXPECT_EQ(FolderPolicyRefusal(here.windowsOnUnixDrive[0] + L"\\system32", true, here),
              CString(L"Encrypting inside Windows folder is forbidden"));
    EXPECT_EQ(FolderPolicyRefusal(m_folder.Path(), false, here), CString()) << "the test's own folder";
}

TEST(FolderPolicy, RefusalsByFolder)
{
    FolderPolicyPaths paths;
    paths.programFiles = L"C:\\Program Files";
    paths.windows = L"C:\\windows\\";
    paths.programW6432 = L"C:\\Program Files";
    paths.unixRootDrive = 'Z';
    paths.windowsOnUnixDrive.Add(L"Z:\\home\\u\\.wine\\drive_c\\windows");
    const CString kFullPath = L"Encrypting a folder without its full path is forbidden";
    const CString kRoot = L"Starting from the Root folder is disabled (see Settings in menu Options)";
    const CString kCRoot = L"Encrypting the root of C:\\ disk is disabled";
    const CString kZRoot = L"Encrypting the root of Z:\\ disk is disabled";
    const CString kProgramFiles = L"Encrypting inside Program Files folder is forbidden";
    const CString kWindows = L"Encrypting inside Windows folder is forbidden";
    const CString kSystem = L"Encrypting inside system folders is forbidden";
    struct Case {
        const WCHAR* folder;
        bool allowRoot;
        CString expected;
    } cases[] = {
        {L"", true, kFullPath},
        {L"relative\\dir", true, kFullPath},
        {L"\\rooted\\dir", true, kFullPath},
        {L"c:drive-relative", true, kFullPath},
        {L"C:\\", false, kRoot},
        {L"D:", false, kRoot},
        {L"C:\\", true, kCRoot},
        {L"d:\\", true, CString()},
        {L"C:\\Program Files (x86)\\App", false, kProgramFiles},
        {L"C:\\WindowsApps", false, kWindows},
        {L"c:\\WINDOWS\\system32\\", false, kWindows},
        {L"c:\\temp\\..\\windows\\fonts", false, kWindows},
        {L"\\\\?\\C:\\Windows\\Temp", false, kWindows},
        {L"D:\\Windows", false, CString()},
        {L"C:\\users\\me\\documents", false, CString()},
        {L"\\\\server\\share\\windows", false, CString()},
        {L"z:\\", true, kZRoot},
        {L"Z:\\etc", false, kSystem},
        {L"z:\\USR\\lib\\x", false, kSystem},
        {L"Z:\\proc\\", false, kSystem},
        {L"Z:\\binaries", false, CString()},
        {L"Z:\\home\\u\\documents", false, CString()},
        {L"Z:\\home\\u\\.wine\\drive_c\\Windows\\Temp", false, kWindows},
        {L"Y:\\etc", false, CString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FolderPolicyRefusal(c.folder, c.allowRoot, paths), c.expected) << CString(c.folder).ToUtf8();
    // A protected folder the system could not name protects nothing (it would contain everything).
    FolderPolicyPaths unknown;
    EXPECT_EQ(FolderPolicyRefusal(L"C:\\data", false, unknown), CString());
}
