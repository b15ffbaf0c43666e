#include "tests/app/view/ViewProgramTest.h"

#include "app/LogDlg.h"
#include "crypt/EncryptedFileName.h"
#include "crypt/KeyState.h"
#include "crypt/NameCrypt.h"
#include "crypt/PathParts.h"
#include "res/resource.h"

#include <vector>

namespace {

const WCHAR kPassword[] = L"Correct Horse 1";

class JobCommandsTest : public viewtest::ViewProgramTest {
protected:
    // Pumps until the document's worker has ended and its reports are handled.
    void WaitForJob()
    {
        EXPECT_TRUE(qvtest::PumpUntil([this] { return !document->IsRunning(); }, 30000));
        qvtest::PumpPostedSoFar();
    }
    // Texts of the tree's items below (and with) `item`.
    void TreeTexts(HTREEITEM item, std::vector<CString>& texts)
    {
        CMyMFCShellTreeCtrl* tree = frame->GetFolderTree();
        for (; item; item = tree->GetNextSiblingItem(item)) {
            texts.push_back(tree->GetItemText(item));
            TreeTexts(tree->GetChildItem(item), texts);
        }
    }
};

}  // namespace

TEST_F(JobCommandsTest, EncryptSelectedInPlaceFromTheListWithItsLog)
{
    Start();
    folder.WriteFile(L"a.txt", "first file");
    folder.WriteFile(L"b.txt", "second file");
    folder.WriteFile(L"c.txt", "not selected");
    COrvantisDoc::SetPasswordKey(kPassword);
    CString already = viewtest::EncryptInto(folder, L"old.txt", "encrypted before");
    COrvantisDoc::SetPasswordKey(CString());
    ASSERT_EQ(S_OK, List().DisplayFolder(folder.Path().GetString()));
    CString alreadyName = PathFilePart(already);
    qvtest::SelectOnly(List(), {Find(L"a.txt"), Find(L"b.txt"), Find(alreadyName)});

    bool asked = viewtest::WithDialog([&] { Command(ID_ENCRYPT_SELECTED); },
                                      [&](HWND dialog) {
                                          EXPECT_EQ(BST_UNCHECKED, ::IsDlgButtonChecked(dialog, IDC_ENCRYPT_FOLDER_NAMES));
                                          ::SetDlgItemTextW(dialog, IDC_PASSWORD, kPassword);
                                          ::SetDlgItemTextW(dialog, IDC_REPEAT, kPassword);
                                          ::CheckDlgButton(dialog, IDC_LOG_WARNINGS, BST_CHECKED);
                                          qvtest::Click(dialog, IDOK);
                                      });
    ASSERT_TRUE(asked);
    ASSERT_EQ(3, document->m_Selection.GetSize()) << "in the list's order";
    // The log shows because the encrypted file is skipped and "Warnings" is on.
    CString caption;
    std::vector<CString> lines;
    qvtest::TimerScript logReader([&] {
        CLogDlg* log = qvtest::ShownLogDialog();
        if (!log)
            return false;
        caption = qvtest::Text(*log, IDC_LOG_TEXT);
        for (int i = 0; i < log->m_list.GetCount(); ++i)
            lines.push_back(log->m_list.GetText(i).Mid(2));
        log->EndDialog(IDOK);
        return true;
    });
    WaitForJob();
    qvtest::PumpUntil([&] { return logReader.Done(); }, 2000);
    EXPECT_TRUE(logReader.Done() && !logReader.TimedOut()) << "the log was shown";
    EXPECT_FALSE(caption.IsEmpty());
    bool skipped = false;
    for (const CString& line : lines)
        skipped = skipped || line.Find(alreadyName) >= 0;
    EXPECT_TRUE(skipped) << "the log names the file that was skipped";

    // The files are encrypted where they lay, and the list shows them under
    // their plain names once the views have heard of the end.
    qvtest::PumpUntil([&] { return Find(L"a.txt*") >= 0; }, 1000);
    EXPECT_FALSE(qvtest::FileExists(folder / L"a.txt"));
    EXPECT_FALSE(qvtest::FileExists(folder / L"b.txt"));
    EXPECT_TRUE(qvtest::FileExists(folder / L"c.txt"));
    EXPECT_GE(Find(L"a.txt*"), 0);
    EXPECT_GE(Find(L"b.txt*"), 0);
    EXPECT_GE(Find(L"old.txt*"), 0);
    EXPECT_GE(Find(L"c.txt"), 0);
    // The watch comes back half a second after the job.
    qvtest::PumpUntil([&] { return view->IsWatchingFolder(); }, 1000);
    EXPECT_TRUE(view->IsWatchingFolder());
}

TEST_F(JobCommandsTest, ClearingTheKeyListsEveryOpenBranchAgain)
{
    Start();
    COrvantisDoc::SetPasswordKey(kPassword);
    CString encryptedName = CNameCrypt().EncryptName(L"Secret");
    COrvantisDoc::SetPasswordKey(CString());
    ASSERT_TRUE(::CreateDirectoryW(folder / L"Outer", nullptr));
    ASSERT_TRUE(::CreateDirectoryW(folder / L"Outer\\" + encryptedName, nullptr));
    ASSERT_EQ(S_OK, List().DisplayFolder((folder / L"Outer").GetString()));

    bool asked = viewtest::WithDialog([&] { Command(ID_ENTER_PASSWORD); },
                                      [&](HWND dialog) {
                                          ::SetDlgItemTextW(dialog, IDC_PASSWORD, kPassword);
                                          qvtest::Click(dialog, IDOK);
                                      });
    ASSERT_TRUE(asked);
    EXPECT_TRUE(HasKey());
    EXPECT_GE(Find(L"Secret*"), 0) << "the list shows the name decrypted";
    std::vector<CString> texts;
    TreeTexts(frame->GetFolderTree()->GetRootItem(), texts);
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), CString(L"Secret*"))) << "and the tree";

    // The other folder's branch is left open while the list moves up.
    ASSERT_EQ(S_OK, List().DisplayFolder(folder.Path().GetString()));
    asked = viewtest::WithDialog([&] { Command(ID_ENTER_PASSWORD); },
                                 [&](HWND dialog) { qvtest::Click(dialog, IDC_RESET); });
    ASSERT_TRUE(asked);
    EXPECT_FALSE(HasKey());
    texts.clear();
    TreeTexts(frame->GetFolderTree()->GetRootItem(), texts);
    for (const CString& text : texts)
        EXPECT_NE(CString(L"Secret*"), text) << "no decrypted name lingers";
    EXPECT_EQ(-1, Find(L"Secret*"));
}

TEST_F(JobCommandsTest, VerifyUnderAnotherPasswordNamesFilesItCannotRead)
{
    Start();
    COrvantisDoc::SetPasswordKey(kPassword);
    viewtest::EncryptInto(folder, L"kept.txt", "kept");
    COrvantisDoc::SetPasswordKey(L"another password");
    document->m_strPassword = L"another password";
    ASSERT_EQ(S_OK, List().DisplayFolder(folder.Path().GetString()));
    viewtest::JobLogSpy spy(frame->m_hWnd);
    Command(ID_VERIFY_RECOVERY);
    // The verify job always ends with its log shown.
    qvtest::TimerScript closeLog(qvtest::CloseShownLogDialog);
    WaitForJob();
    EXPECT_TRUE(spy.Contains(L"BAD PASSWORD? ")) << "a file the key cannot read is named so in the log";
    EXPECT_EQ(document->m_strCurrentFolder, folder.Path());
}

TEST_F(JobCommandsTest, TheDocumentListsNothingForAFolderWithoutAFullPath)
{
    Start();
    // Relative to the current folder, and empty (the current drive's root).
    ::CreateDirectoryW(folder / L"Relative", nullptr);
    folder.WriteFile(L"Relative\\inside.txt", "x");
    WCHAR saved[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, saved);
    ::SetCurrentDirectoryW(folder.Path());
    document->m_Options.m_bRecurse = 0;
    for (const WCHAR* given : {L"Relative", L"", L"\\", L"Relative\\"}) {
        CAddInfoList list;
        document->CollectFolderItems(given, list);
        EXPECT_EQ(0, list.GetSize()) << CString(given).ToUtf8();
        CStringArray found;
        document->FindFilesByName(given, L"i", found);
        EXPECT_EQ(0, found.GetSize()) << CString(given).ToUtf8();
    }
    CAddInfoList full;
    document->CollectFolderItems(folder / L"Relative", full);
    EXPECT_EQ(1, full.GetSize());
    ::SetCurrentDirectoryW(saved);
}
