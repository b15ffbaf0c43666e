// The document saving the secure editor's text back into its encrypted file,
// without any window: the file's own options are kept (stored CRC or none,
// recovery section or none, the stored name), the old file is replaced only
// by a complete new one, and every refusal leaves the folder as it was.
#include "tests/doc/JobTestSupport.h"

#include "crypt/FileCipher.h"
#include "crypt/EncryptedFileHeader.h"
#include "crypt/RecoveryRecord.h"
#include "doc/JobSteps.h"

#include <string>

using namespace jobtest;

namespace {

const WCHAR kPassword[] = L"save password";

class EditorSaveTest : public JobTest {
protected:
    // An encrypted file of `content` stored as `plainName` in the test's
    // folder, made by the engine with or without a stored CRC.
    CString Encrypted(const CString& plainName, const std::string& content, bool storeCrc)
    {
        CString plain = MakeFolder(L"staging") + L"\\" + plainName;
        EXPECT_TRUE(qvtest::WriteFileBytes(plain, content));
        CString encrypted = Path(L"{0123456789abcdef0123456789abcdef}");
        CString stored;
        EXPECT_EQ(CRYPT_OK, CFileCipher().CryptFile(plain, encrypted, CRYPT_MODE_ENCRYPT, stored, nullptr,
                                                    storeCrc ? TRUE : FALSE));
        ::DeleteFileW(plain);
        ::RemoveDirectoryW(Path(L"staging"));
        return encrypted;
    }
    int Save(const CString& path, const std::string& text)
    {
        return m_doc->SaveEditorText(path, (const BYTE*)text.data(), text.size());
    }
};

}  // namespace

TEST_F(EditorSaveTest, TheNewContentKeepsTheFilesOwnOptions)
{
    struct Row {
        const char* fault;  // what the row would catch
        bool storeCrc;
        bool recovery;
        bool secureDelete;
        const char* unit;  // the text: this, `repeat` times
        int repeat;
    };
    const Row rows[] = {
        {"a stored CRC dropped or left stale", true, false, false, "new text\r\n", 1},
        {"a CRC added to a file made without one", false, false, true, "other text", 1},
        {"the recovery section lost", true, true, false, "x", 5003},
        {"an empty text refused or padded", true, false, false, "", 0},
        {"a text of whole blocks given a tail block", false, true, true, "b", 256},
    };
    for (const Row& row : rows) {
        std::string text;
        for (int i = 0; i < row.repeat; ++i)
            text += row.unit;
        SetPassword(kPassword);
        m_doc->m_Options.m_bSecureDelete = row.secureDelete ? 1 : 0;
        CString path = Encrypted(L"kept name.cpp", "the old content", row.storeCrc);
        if (row.recovery) {
            ASSERT_EQ(RECOVERY_OK, CRecoveryRecord::Append(path)) << row.fault;
        }

        ASSERT_EQ(CRYPT_OK, Save(path, text)) << row.fault;
        EXPECT_EQ(TreeListing(m_folder.Path(), false), std::vector<std::string>{PathFilePartOf(path).ToUtf8()})
            << "only the file itself is left: " << row.fault;

        CFileCipher cipher;
        CString name;
        ASSERT_EQ(CRYPT_OK, cipher.DecryptFileToMemory(path, name)) << row.fault;
        EXPECT_EQ(std::string((const char*)cipher.GetMemoryData(), cipher.GetMemorySize()), text) << row.fault;
        EXPECT_EQ(name, CString(L"kept name.cpp")) << row.fault;
        uint8_t crc[4] = {};
        CString copy = Path(L"check.out"), stored;
        EXPECT_EQ(CRYPT_OK, cipher.CryptFile(path, copy, CRYPT_MODE_DECRYPT, stored, crc, TRUE)) << row.fault;
        ::DeleteFileW(copy);
        EXPECT_EQ(HasCrcBytes(crc), row.storeCrc && !text.empty()) << row.fault;
        CRecoveryRecord record;
        int64_t badIndex = -1, badCount = 0;
        EXPECT_EQ(record.Verify(path, badIndex, badCount), row.recovery ? RECOVERY_OK : RECOVERY_NO_SECTION)
            << row.fault;
        uint64_t expected = EncryptedFileSize(text.size());
        if (row.recovery)
            expected += CRecoveryRecord::SectionSize(expected);
        EXPECT_EQ((uint64_t)qvtest::ReadFileBytes(path).size(), expected) << row.fault;
        ::DeleteFileW(path);
    }
}

TEST_F(EditorSaveTest, ARefusedSaveLeavesTheFolderAsItWas)
{
    struct Row {
        const char* fault;
        const WCHAR* password;  // the document's at the save
        bool fileThere;
        bool plainBytes;  // the file is not an encrypted one
        int code;
    };
    const Row rows[] = {
        {"saved under no password", L"", true, false, EDITOR_SAVE_NO_PASSWORD},
        {"saved under another password", L"another password", true, false, CRYPT_BAD_KEY},
        {"a plain file overwritten as encrypted", kPassword, true, true, CRYPT_BAD_KEY},
        {"a vanished file made anew", kPassword, false, false, CRYPT_OPEN_INPUT_FAILED},
    };
    for (const Row& row : rows) {
        SetPassword(kPassword);
        CString path = Encrypted(L"kept.txt", "kept content", true);
        if (row.plainBytes) {
            ASSERT_TRUE(qvtest::WriteFileBytes(path, std::string(2000, 'p')));
        }
        if (!row.fileThere)
            ::DeleteFileW(path);
        std::vector<std::string> before = TreeListing(m_folder.Path());
        SetPassword(row.password);

        EXPECT_EQ(Save(path, "replacement"), row.code) << row.fault;
        EXPECT_EQ(TreeListing(m_folder.Path()), before) << row.fault;
        EXPECT_FALSE(m_doc->EditorSaveMessage(row.code).IsEmpty()) << row.fault;
        ::DeleteFileW(path);
    }
    EXPECT_TRUE(m_doc->EditorSaveMessage(CRYPT_OK).IsEmpty());
}
