// COrvantisDoc: saving the secure editor's text back into its encrypted
// file. The text is encrypted from memory into a new file beside the old one
// with the file's own options; only a complete and verified new file takes
// the old one's place, and the old one then goes as the jobs remove the
// files they replace (wiped first with the "SecureDelete" option). No plain
// copy of the text is ever written.
#include "doc/OrvantisDoc.h"

#include "crypt/FileCipher.h"
#include "crypt/FileOps.h"
#include "crypt/MemoryEncrypt.h"
#include "crypt/PathParts.h"
#include "crypt/RecoveryRecord.h"

#include <cstring>

namespace {

// True when the file ends in a recovery section, sound or not.
bool HasRecoverySection(const CString& path)
{
    CRecoveryRecord record;
    int64_t badIndex = -1, badCount = 0;
    int result = record.Verify(path, badIndex, badCount);
    return result != RECOVERY_NO_SECTION && result != RECOVERY_CANNOT_OPEN;
}

// A new empty file with a unique "ENC....tmp" name in `folder`; "" on failure.
CString NewFileBeside(const CString& folder)
{
    WCHAR name[MAX_PATH] = {};
    if (!GetTempFileNameW(folder, COrvantisDoc::kTempFilePrefix, 0, name))
        return CString();
    return CString(name);
}

// True when `path` decrypts with the installed key to exactly `size` bytes of `text`.
bool DecryptsTo(const CString& path, const BYTE* text, size_t size)
{
    CFileCipher cipher;
    CString name;
    if (cipher.DecryptFileToMemory(path, name) != CRYPT_OK)
        return false;
    return cipher.GetMemorySize() == size && (size == 0 || memcmp(cipher.GetMemoryData(), text, size) == 0);
}

void RemoveReplacedFile(const CString& path, bool secure)
{
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (secure)
        CFileOps::SecureDeleteFile(path);
    else
        DeleteFileW(path);
}

// Puts `made` in the place of `target`: the old file is moved aside first and
// comes back when the new one cannot take its name. The old file's path aside, or "".
CString SwapIn(const CString& made, const CString& target)
{
    CString aside = NewFileBeside(PathFolderPart(target));
    if (aside.IsEmpty())
        return CString();
    if (!MoveFileExW(target, aside, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(aside);
        return CString();
    }
    if (!MoveFileW(made, target)) {
        MoveFileExW(aside, target, MOVEFILE_REPLACE_EXISTING);
        return CString();
    }
    return aside;
}

}  // namespace

int COrvantisDoc::SaveEditorText(const CString& encryptedPath, const BYTE* text, size_t size)
{
    if (m_strPassword.IsEmpty())
        return EDITOR_SAVE_NO_PASSWORD;
    SetPasswordKey(m_strPassword);
    // The header must open with this password: a file made with another one
    // is not overwritten under the present one.
    EncryptedFileOptions options;
    int result = ReadEncryptedFileOptions(encryptedPath, options);
    if (result != CRYPT_OK)
        return result;
    const bool recovery = HasRecoverySection(encryptedPath);

    CString made = NewFileBeside(PathFolderPart(encryptedPath));
    if (made.IsEmpty())
        return CRYPT_WRITE_FAILED;
    result = EncryptMemoryToFile(text, size, options.storedName, options.crcStored, made);
    if (result == CRYPT_OK && recovery && CRecoveryRecord::Append(made) != RECOVERY_OK)
        result = CRYPT_WRITE_FAILED;
    if (result == CRYPT_OK && !DecryptsTo(made, text, size))
        result = CRYPT_WRITE_FAILED;
    CString aside = result == CRYPT_OK ? SwapIn(made, encryptedPath) : CString();
    if (aside.IsEmpty()) {
        DeleteFileW(made);
        return result == CRYPT_OK ? CRYPT_WRITE_FAILED : result;
    }
    RemoveReplacedFile(aside, m_Options.m_bSecureDelete != 0);
    return CRYPT_OK;
}

CString COrvantisDoc::EditorSaveMessage(int code)
{
    switch (code) {
    case CRYPT_OK: return CString();
    case EDITOR_SAVE_NO_PASSWORD:
        return L"No password is set: enter the password (Enter Password), then save again. The file was not "
               L"changed.";
    case CRYPT_BAD_KEY:
        return L"The current active password cannot unlock this file, so it was not saved with it. The file was "
               L"not changed.";
    case CRYPT_OPEN_INPUT_FAILED: return L"The encrypted file cannot be opened. The file was not changed.";
    case CRYPT_TOO_BIG: return L"The text is too large to be encrypted. The file was not changed.";
    default:
        return L"The encrypted file could not be written (" + CString(CryptResultName(code)) +
               L"). The file was not changed.";
    }
}
