// COrvantisDoc: the encryption jobs. Every file is encrypted into a temporary
// file, optionally given a recovery section, decrypted again in memory and
// compared with its source (no plain copy is written), moved next to the
// source under an encrypted name, given the source's times, and then the
// source is deleted (wiped on request). Folder names are encrypted last,
// deepest first.
#include "doc/OrvantisDoc.h"

#include "crypt/FileCipher.h"
#include "crypt/PathParts.h"
#include "crypt/RecoveryRecord.h"
#include "doc/FolderNameCache.h"
#include "doc/JobNames.h"
#include "doc/JobSteps.h"

bool COrvantisDoc::EncryptFolderJob()
{
    ProgressSetTitle(L"Encrypting");
    ProgressLog(LOG_PLAIN, L"Counting files");
    CAddInfoList list;
    CollectJobItems(m_job.folder, list);
    return EncryptItemList(list);
}

bool COrvantisDoc::EncryptSelectedJob()
{
    ProgressSetTitle(L"Encrypting Selected Files");
    ProgressLog(LOG_PLAIN, L"Counting files");
    CAddInfoList list;
    int leftOut = ListSelection(list);
    return EncryptItemList(list, leftOut);
}

// The per-file work of EncryptItemList.
class CEncryptFileStep final : public CJobFileStep {
public:
    CEncryptFileStep(COrvantisDoc& doc, const CString& encryptedTemp)
        : m_doc(doc), m_options(doc.RunningJob().options), m_cipher(&g_AbortRequested), m_t1(encryptedTemp)
    {
        if (m_options.m_bAddRecovery)
            m_cipher.SetTrailerSize(&CRecoveryRecord::SectionSize);
        // The verification reads the new file through the engine's handle on
        // it; a recovery section is appended through its path, so then none is kept.
        m_cipher.SetKeepOutput(!m_options.m_bAddRecovery);
    }

    int refused = 0;

    bool LeavesAlone(const CString& name) override
    {
        if (!IsGeneratedEncryptedFileName(name))
            return false;
        COrvantisDoc::ProgressLog(LOG_WARNING, L"File: " + name + L" seems to be already Encrypted (Skipping)");
        return true;
    }

    bool SkippedFileMovesBar() const override { return false; }

    FileOutcome Process(const CString& path) override
    {
        const CString name = PathFilePart(path);
        const CString folder = PathFolderPart(path);
        m_doc.BeginFile(path, L"Encrypting: " + name);
        CString storedName;
        int result = m_cipher.CryptFile(path, m_t1, CRYPT_MODE_ENCRYPT, storedName, nullptr, TRUE);
        FileTimes times = m_options.m_bKeepDates ? InputTimesOf(m_cipher) : FileTimes();
        // The section covers the file as written, before the verification reads it.
        bool recoveryFailed = result == CRYPT_OK && m_options.m_bAddRecovery && CRecoveryRecord::Append(m_t1) != RECOVERY_OK;
        if (g_StopRequested) {
            m_cipher.CloseKeptOutput();
            if (CanOpenForReading(m_t1))
                m_doc.DeleteOriginal(m_t1);
            return FILE_STOPPED;
        }
        if (result != CRYPT_OK) {
            ReportEncryptionFailure(result);
            return FILE_FAILED;
        }
        if (recoveryFailed) {
            COrvantisDoc::ProgressLog(LOG_ERROR, L"ERROR - Recovery Record could not be added");
            ++skipped;
            m_doc.DeleteOriginal(m_t1);
            return FILE_FAILED;
        }
        bool verified = !m_options.m_bVerify || Verify(path);
        // Closed before the file is moved or deleted.
        m_cipher.CloseKeptOutput();
        if (!verified) {
            m_doc.DeleteOriginal(m_t1);
            return FILE_FAILED;
        }
        return Place(path, name, folder, times) ? FILE_DONE : FILE_FAILED;
    }

private:
    void ReportEncryptionFailure(int result)
    {
        ++skipped;
        if (result == CRYPT_TOO_BIG)
            ++refused;
        const uint8_t noCrc[4] = {};
        // "Skippig": the misspelling is intended.
        LogCryptFailure(result, noCrc, nullptr, L"(Skippig) Input file too big to encrypt");
    }

    // Decrypts the new encrypted file in memory, checking its CRC, and
    // compares it with the source; the lines are those of a decryption into
    // a file followed by a comparison of the two files.
    bool Verify(const CString& path)
    {
        COrvantisDoc::ProgressLog(LOG_PLAIN, L"Veryfying encryption");
        uint8_t crc[4] = {};
        bool same = false;
        int result = m_cipher.VerifyEncryptedFile(m_t1, path, crc, same);
        bool verified = false;
        if (result == CRYPT_BAD_KEY) {
            COrvantisDoc::ProgressLog(LOG_ERROR, L"Decryption Error");
        } else if (result == CRYPT_CRC_MISMATCH) {
            COrvantisDoc::ProgressLog(LOG_ERROR, L"Data Error - CRC failed");
            COrvantisDoc::ProgressLog(LOG_ERROR, CrcLine(crc, false));
        } else if (result != CRYPT_OK) {
            COrvantisDoc::ProgressLog(LOG_ERROR, L"ERROR decryption code %d", result);
        } else {
            if (HasCrcBytes(crc))
                COrvantisDoc::ProgressLog(LOG_OK, CrcLine(crc, true));
            COrvantisDoc::ProgressLog(LOG_PLAIN, L"Binary Comparing Files");
            verified = same;
            if (verified)
                COrvantisDoc::ProgressLog(LOG_OK, L"Binary Compare operation finished: 100% match");
            else
                COrvantisDoc::ProgressLog(
                    LOG_ERROR, L"ERROR - Decrypted File is not same as encrypted = Encryption FAILED (skipping)");
        }
        return verified;
    }

    // The encrypted name in the source's folder. A static name that is taken
    // gives way to a random one. Random names are not looked up first: a
    // lookup of a name that is not there costs a search through the whole
    // folder on some systems, and the move, which never replaces a file,
    // finds the one time in 2^56 that a random name is taken.
    CString ChooseEncryptedName(const CString& name, const CString& folder)
    {
        if (m_options.m_bRandomNames)
            return m_cipher.MakeRandomEncryptedName();
        CString newName = m_cipher.MakeStaticEncryptedName(name);
        if (!m_names.Exists(folder, newName))
            return newName;
        COrvantisDoc::ProgressLog(LOG_WARNING, L"A file named " + newName + L" already exists, using a random name");
        return m_cipher.MakeRandomEncryptedName();
    }

    // Logs the new name and moves the encrypted file there; a random name
    // that turns out to be taken is drawn again (a few times at most).
    bool MoveToEncryptedName(const CString& name, const CString& folder, CString& newName, CString& target)
    {
        newName = ChooseEncryptedName(name, folder);
        for (int attempt = 0;; ++attempt) {
            COrvantisDoc::ProgressLog(LOG_PLAIN, newName);
            target = NetworkLongPath(folder + newName);
            COrvantisDoc::ProgressLog(LOG_PLAIN, L"Attempt to create:" + target);
            if (MoveToNewName(m_t1, target)) {
                m_names.Added(folder, newName);
                return true;
            }
            if (!IsNameTaken(GetLastError()) || attempt == 8)
                return false;
            newName = m_cipher.MakeRandomEncryptedName();
        }
    }

    // Moves the encrypted file next to the source, then deletes the source.
    bool Place(const CString& path, const CString& name, const CString& folder, const FileTimes& times)
    {
        COrvantisDoc::ProgressLog(LOG_PLAIN, L"Encrypting Filename");
        CString newName, target;
        if (!MoveToEncryptedName(name, folder, newName, target)) {
            COrvantisDoc::ProgressLog(LOG_ERROR, L"ERROR - FAILED to move encrypted FILE to destination folder");
            return false;
        }
        OriginalDeletion deletion = ORIGINAL_STAYS;
        if (!m_doc.ReplaceOriginal(path, target, times, deletion))
            return false;
        if (deletion == ORIGINAL_DELETED)
            m_names.Removed(folder, name);
        COrvantisDoc::ProgressLog(LOG_OK, L"Ok: " + name + L" >>> " + newName);
        if (deletion == ORIGINAL_WIPED_BUT_STAYS) {
            // Its content is gone: the user must not take it for the plain file.
            COrvantisDoc::ProgressLog(LOG_ERROR, L"Error, original wiped but can't delete it (file is open?): " + path);
            ++errors;
        } else if (deletion != ORIGINAL_DELETED) {
            COrvantisDoc::ProgressLog(LOG_ERROR, L"Error, can't delete original (file is open?): " + path);
            ++errors;
        }
        return true;
    }

    COrvantisDoc& m_doc;
    const JobOptions& m_options;  // the job's
    CFileCipher m_cipher;
    CString m_t1;
    CFolderNameCache m_names;
};

bool COrvantisDoc::EncryptItemList(CAddInfoList& list, int leftOut)
{
    const int n = list.GetSize();
    ProgressSetCount(n);
    ProgressLog(LOG_INFO, L"Files: %d", n);
    CString t1 = MakeTempFileName();
    ProgressLog(LOG_HEADING, L"Encrypting files");

    CEncryptFileStep step(*this, t1);
    step.skipped = leftOut;
    bool stopped = !RunFileList(list, step);
    // Every item has been through: the bar ends full.
    if (!stopped)
        ProgressSetIndex(n);
    if (!stopped && m_job.options.m_bEncryptFolderNames)
        EncryptFolderNames(list, step.errors, step.skipped);

    ProgressLog(LOG_PLAIN, L"Cleanup...");
    // The temporary file holds encrypted data only; it must not stay behind.
    if (GetFileAttributesW(t1) != INVALID_FILE_ATTRIBUTES)
        DeleteFileW(t1);
    const int errors = step.errors, skipped = step.skipped, refused = step.refused;
    if (errors == 0) {
        ProgressLog(LOG_HEADING_OK, L"Finished with No Errors");
    } else if (errors == refused) {
        ProgressLog(LOG_OK, L"Finished with %d file(s) not allowed to encrypt (4GB size restriction)", errors);
    } else {
        CString line;
        // "Erros": the misspelling is intended.
        line.Format(L"Finished with %d Erros and %d restricted (>4GB) file(s)", errors - refused, refused);
        ProgressLog(LOG_ERROR, line);
    }
    if (skipped > 0)
        ProgressLog(LOG_HEADING_ERROR, L"Skipped %d items", skipped);
    FinishFileJob(errors, skipped, L"Encrypting Folder: ");
    return true;
}

void COrvantisDoc::EncryptFolderNames(CAddInfoList& list, int& errors, int& skipped)
{
    ProgressLog(LOG_HEADING, L"Encrypting folders");
    for (int i = list.GetSize() - 1; i >= 0; --i) {
        const CAddInfo* item = list.GetAt(i);
        if (!item->m_bFolder)
            continue;
        const CString& path = item->m_strPath;
        ProgressSetFile(path);
        if (SkipLinkOrDevice(path)) {
            ++skipped;
            continue;
        }
        CString name = PathFilePart(path);
        if (m_NameCrypt.DecryptName(name) != name) {
            ProgressLog(LOG_WARNING, L"Folder Already Encrypted (skipping):" + name);
            ++skipped;
            continue;
        }
        CString encrypted = m_NameCrypt.EncryptName(name);
        ProgressLog(LOG_PLAIN, L"Encrypting Folder to:" + name);
        CString check = m_NameCrypt.DecryptName(encrypted);
        // "dedcripting": the misspelling is intended.
        ProgressLog(LOG_PLAIN, L"Verify by dedcripting:" + check);
        if (check != name) {
            ProgressLog(LOG_ERROR, L"Encryption of folder failed");
            ++errors;
            ++skipped;
            continue;
        }
        CString newPath = PathFolderPart(path) + encrypted;
        if (newPath == path)
            continue;
        if (GetFileAttributesW(newPath) != INVALID_FILE_ATTRIBUTES) {
            ProgressLog(LOG_ERROR, L"Error Encrypting Folder: " + path);
            ProgressLog(LOG_ERROR, L"Folder: '" + encrypted + L"' already exist. Folder name will stay un-encrypted: " +
                                       encrypted);
            ++errors;
        } else if (!MoveFileW(path, newPath)) {
            ++errors;
            ProgressLog(LOG_ERROR, newPath);
            ProgressLog(LOG_ERROR, L"ERROR: Is any file inside open by other app?, Does other folder with that "
                                   L"encrypted name exist?");
        } else {
            ProgressLog(LOG_OK, L"OK :" + newPath);
        }
    }
}
