// "zip Folder" and "unzip Folder" from the view: the folder shown is packed
// into its compressed.zip, checked, and unpacked again from the archive the
// list has focused.
#include "tests/app/view/ViewProgramTest.h"

#include "res/resource.h"

namespace {

class BackupCommandsTest : public viewtest::ViewProgramTest {
protected:
    void SetUp() override
    {
        viewtest::ViewProgramTest::SetUp();
        Start();
    }
};

}  // namespace

TEST_F(BackupCommandsTest, AFolderIsPackedCheckedAndUnpackedAgain)
{
    COrvantisDoc::SetPasswordKey(L"backup password");
    document->m_strPassword = L"backup password";
    folder.WriteFile(L"a.txt", "alpha");
    ::CreateDirectoryW(folder / L"Sub", nullptr);
    folder.WriteFile(L"Sub\\b.txt", qvtest::PatternBytes(70000, 3));
    ASSERT_EQ(S_OK, List().DisplayFolder(folder.Path().GetString()));

    {
        qvtest::MessageBoxCapture boxes;
        Command(ID_ZIP_FOLDER);
        EXPECT_TRUE(boxes.texts.empty()) << (boxes.texts.empty() ? "" : boxes.texts[0].ToUtf8());
    }
    EXPECT_TRUE(qvtest::FileExists(folder / L"compressed.zip"));
    EXPECT_FALSE(qvtest::FileExists(folder / L"a.txt")) << "packed files go once the archive tested sound";
    EXPECT_FALSE(qvtest::FileExists(folder / L"Sub\\b.txt"));
    int archive = Find(L"compressed.zip");
    ASSERT_GE(archive, 0) << "the list shows the folder as it is now";
    EXPECT_EQ(-1, Find(L"a.txt"));

    List().SetItemState(archive, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    {
        qvtest::MessageBoxCapture boxes;
        Command(ID_UNZIP_FOLDER);
        EXPECT_TRUE(boxes.texts.empty()) << (boxes.texts.empty() ? "" : boxes.texts[0].ToUtf8());
    }
    EXPECT_EQ("alpha", qvtest::ReadFileBytes(folder / L"a.txt"));
    EXPECT_EQ(qvtest::PatternBytes(70000, 3), qvtest::ReadFileBytes(folder / L"Sub\\b.txt"));
    EXPECT_GE(Find(L"a.txt"), 0);
}

TEST_F(BackupCommandsTest, UnzipNeedsAFocusedArchiveAndRefusesOtherFiles)
{
    folder.WriteFile(L"not a zip.txt", "plain text");
    ASSERT_EQ(S_OK, List().DisplayFolder(folder.Path().GetString()));
    {
        qvtest::MessageBoxCapture boxes;
        Command(ID_UNZIP_FOLDER);
        ASSERT_EQ(1u, boxes.texts.size()) << "nothing focused: the user hears what to do";
        EXPECT_EQ(CString(L"Select the folder's compressed.zip in the list first"), boxes.texts[0]);
    }
    EXPECT_EQ(std::vector<CString>({L"not a zip.txt"}), qvtest::ListItemTexts(List())) << "nothing was unpacked";
    List().SetItemState(Find(L"not a zip.txt"), LVIS_SELECTED | LVIS_FOCUSED,
                        LVIS_SELECTED | LVIS_FOCUSED);
    qvtest::MessageBoxCapture boxes;
    Command(ID_UNZIP_FOLDER);
    ASSERT_EQ(1u, boxes.texts.size());
    EXPECT_EQ(CString(L"incorrect header file"), boxes.texts[0]);
}

TEST_F(BackupCommandsTest, ADriveRootIsNeverPacked)
{
    ASSERT_EQ(S_OK, List().DisplayFolder(L"C:\\"));
    ASSERT_EQ(CString(L"C:\\"), view->GetCurrentFolder());
    qvtest::MessageBoxCapture boxes;
    Command(ID_ZIP_FOLDER);
    ASSERT_EQ(1u, boxes.texts.size());
    EXPECT_EQ(CString(L"For security reasons adding root folder into single protected archive is forbidden"),
              boxes.texts[0]);
    EXPECT_FALSE(qvtest::FileExists(L"C:\\compressed.zip"));
}
