#include "tests/doc/JobTestSupport.h"
#include "tests/framework/windows/DialogDriver.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"

#include <vector>

using namespace jobtest;

namespace {

class JobItemsTest : public JobTest {
protected:
    std::vector<std::string> Collect(const CString& folder)
    {
        CAddInfoList list;
        EXPECT_TRUE(m_doc->CollectFolderItems(folder, list));
        CString base = folder;
        base.TrimRight(L'\\');
        std::vector<std::string> out;
        for (int i = 0; i < list.GetSize(); ++i) {
            const CAddInfo* item = list.GetAt(i);
            std::string line = U8(item->m_strPath.Mid(base.GetLength() + 1));
            if (item->m_bFolder)
                line += "\\";
            else
                line += ":" + std::to_string(item->m_nSize);
            out.push_back(line);
        }
        return out;
    }
};

}  // namespace

TEST_F(JobItemsTest, FolderItemsComeFilesFirstThenEachFolderBeforeItsContents)
{
    WriteFile(L"b.txt", "bb");
    WriteFile(L"A.txt", "a");
    MakeFolder(L"Z");
    WriteFile(L"Z\\z.txt", "zzz");
    MakeFolder(L"y");
    WriteFile(L"y\\y.txt", "yyyy");
    MakeFolder(L"_x");
    EXPECT_EQ(Collect(m_folder.Path()), (std::vector<std::string>{"A.txt:1", "b.txt:2", "_x\\", "y\\", "y\\y.txt:4",
                                                                  "Z\\", "Z\\z.txt:3"}));
    m_doc->m_Options.m_bRecurse = 0;
    EXPECT_EQ(Collect(m_folder.Path() + L"\\"), (std::vector<std::string>{"A.txt:1", "b.txt:2", "_x\\", "y\\", "Z\\"}))
        << "a trailing backslash changes nothing";
    EXPECT_TRUE(Collect(Path(L"_x")).empty());
    EXPECT_TRUE(Collect(Path(L"missing")).empty());

    CAddInfoList list;
    m_doc->AddFileItem(Path(L"b.txt"), list);
    m_doc->AddFileItem(Path(L"not there.txt"), list);
    ASSERT_EQ(list.GetSize(), 2) << "a missing path is listed too";
    EXPECT_EQ(list.GetAt(0)->m_nSize, 2u);
    EXPECT_EQ(list.GetAt(1)->m_nSize, 0u);
}

TEST_F(JobItemsTest, TemporaryNamesAreNewEmptyFiles)
{
    CString first = COrvantisDoc::MakeTempFileName(), second = COrvantisDoc::MakeTempFileName();
    EXPECT_NE(first, second);
    for (const CString& path : {first, second}) {
        EXPECT_TRUE(qvtest::FileExists(path));
        EXPECT_EQ(qvtest::ReadFileBytes(path), "");
        EXPECT_EQ(PathFilePartOf(path).Left(3), CString(L"ENC"));
        EXPECT_TRUE(m_doc->RemoveTempFile(path, true));
        EXPECT_FALSE(qvtest::FileExists(path));
    }
    qvtest::MessageBoxCapture boxes;
    EXPECT_FALSE(m_doc->RemoveTempFile(CString(), true));
    EXPECT_FALSE(m_doc->RemoveTempFile(first, false));
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_FALSE(m_doc->RemoveTempFile(first, true));
    EXPECT_EQ(boxes.texts, (std::vector<CString>{L"Error - temp file not removed"}));
}

TEST_F(JobItemsTest, FindByNameSeesPlainNamesOnlyWithAKey)
{
    SetPassword(L"find password");
    WriteFile(L"Holiday Photo.jpg", "jpeg");
    WriteFile(L"notes.txt", "text");
    MakeFolder(L"sub");
    WriteFile(L"sub\\photo album.txt", "deep");
    CFileCipher cipher;
    CString name;
    CString encrypted = Path(MakeStaticEncryptedFileName(L"Secret PHOTO.png"));
    CString plain = WriteFile(L"Secret PHOTO.png", "png");
    ASSERT_EQ(cipher.CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, name, nullptr, TRUE), CRYPT_OK);
    DeleteFileW(plain);

    CStringArray results;
    results.Add(L"kept");
    m_doc->FindFilesByName(m_folder.Path(), L"PHOTO", results);
    std::vector<CString> found(results.begin(), results.end());
    // In list order: the encrypted name sorts before the plain ones.
    EXPECT_EQ(found, (std::vector<CString>{L"kept", encrypted, Path(L"Holiday Photo.jpg"), Path(L"sub\\photo album.txt")}));

    COrvantisDoc::SetPasswordKey(CString());
    results.RemoveAll();
    m_doc->FindFilesByName(m_folder.Path(), L"photo", results);
    EXPECT_EQ(results.GetSize(), 2) << "without a key the encrypted file shows only its stored name";
    results.RemoveAll();
    m_doc->FindFilesByName(m_folder.Path(), L".DAT", results);
    EXPECT_EQ(results.GetSize(), 1);
    m_doc->m_Options.m_bRecurse = 0;
    results.RemoveAll();
    m_doc->FindFilesByName(m_folder.Path(), L"album", results);
    EXPECT_EQ(results.GetSize(), 0) << "subfolders only with recursion";
    results.RemoveAll();
    m_doc->FindFilesByName(m_folder.Path(), L"sub", results);
    EXPECT_EQ(results.GetSize(), 0) << "folders never match";
}
