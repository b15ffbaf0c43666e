// COrvantisDoc: the decryption jobs. Every encrypted file is decrypted into a
// temporary file, its stored CRC checked, the plain file given its stored
// name next to the encrypted one (never over an existing file) and the
// encrypted file deleted. Folder names are decrypted last, deepest first.
// Plain data that does not reach its target is wiped, never left behind.
#include "doc/OrvantisDoc.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"
#include "crypt/FileOps.h"
#include "crypt/PathParts.h"
#include "doc/FolderNameCache.h"
#include "doc/JobNames.h"
#include "doc/JobSteps.h"

bool COrvantisDoc::DecryptFolderJob()
{
    ProgressSetTitle(L"Decrypting");
    CAddInfoList list;
    CollectJobItems(m_job.folder, list);
    return DecryptItemList(list);
}

bool COrvantisDoc::DecryptSelectedJob()
{
    ProgressSetTitle(L"DeCrypting Selected Files");
    ProgressLog(LOG_PLAIN, L"Counting files");
    ProgressLongOperation(1);
    CAddInfoList list;
    int leftOut = ListSelection(list);
    ProgressLongOperation(0);
    return DecryptItemList(list, leftOut);
}

// The per-file work of DecryptItemList.
class CDecryptFileStep final : public CJobFileStep {
public:
    CDecryptFileStep(COrvantisDoc& doc, const CString& temp)
        : m_doc(doc), m_options(doc.RunningJob().options), m_cipher(&g_AbortRequested), m_temp(temp)
    {
    }

    const CString& Temp() const { return m_temp; }

    bool LeavesAlone(const CString& name) override
    {
        if (IsEncryptedFileName(name))
            return false;
        COrvantisDoc::ProgressLog(LOG_WARNING, name + L" :>>>Not Encoded (skipping)<<<");
        return true;
    }

    bool SkippedFileMovesBar() const override { return true; }

    FileOutcome Process(const CString& path) override
    {
        const CString name = PathFilePart(path);
        const CString folder = PathFolderPart(path);
        m_doc.BeginFile(path, L"Decrypting: " + name);
        CString storedName;
        uint8_t crc[4] = {};
        int result = m_cipher.CryptFile(path, m_temp, CRYPT_MODE_DECRYPT, storedName, crc, m_options.m_bCheckCrc);
        FileTimes times = m_options.m_bKeepDates ? InputTimesOf(m_cipher) : FileTimes();
        if (g_StopRequested) {
            WipeTemporary(m_temp);
            return FILE_STOPPED;
        }
        if (result == CRYPT_OK && storedName.IsEmpty())
            result = CRYPT_BAD_KEY;
        if (result != CRYPT_OK) {
            ReportDecryptionFailure(result, crc);
            WipeTemporary(m_temp);  // partial or damaged plain data
            return FILE_FAILED;
        }
        if (HasCrcBytes(crc))
            COrvantisDoc::ProgressLog(LOG_OK, CrcLine(crc, true));
        COrvantisDoc::ProgressLog(LOG_PLAIN, L"Decrypting Filename");
        COrvantisDoc::ProgressLog(LOG_PLAIN, L"Original name :" + storedName);
        return Place(path, name, folder, storedName, times);
    }

private:
    void ReportDecryptionFailure(int result, const uint8_t crc[4])
    {
        ++skipped;
        LogCryptFailure(result, crc, L"Decryption Failed (Wrong password or not encrypted file)",
                        L"ERROR code %d - Input file too big > 4GB ");
        COrvantisDoc::ProgressLog(LOG_ERROR, L"ERROR - Decoding Filename failed");
    }

    // Gives the decrypted file its stored name, or a free variant of it, in
    // the encrypted file's folder; then deletes the encrypted file.
    FileOutcome Place(const CString& path, const CString& name, const CString& folder, const CString& storedName,
                      const FileTimes& times)
    {
        if (!IsUsableNamePart(storedName)) {
            COrvantisDoc::ProgressLog(LOG_ERROR, L"ERROR - FAILED to create Decrypted File in the destination folder");
            COrvantisDoc::ProgressLog(LOG_ERROR, L"The stored name cannot be used as a file name");
            return KeepEncryptedUnderShortName(folder, storedName);
        }
        CString plainName =
            UniqueNameInFolder(storedName, [&](const CString& candidate) { return m_names.Exists(folder, candidate); });
        if (plainName != storedName)
            COrvantisDoc::ProgressLog(LOG_WARNING, L"A file named " + storedName + L" already exists, saving as: " +
                                                       plainName);
        CString target = NetworkLongPath(folder + plainName);
        COrvantisDoc::ProgressLog(LOG_PLAIN, L"Creating:" + target);
        if (!MoveToNewName(m_temp, target)) {
            if (IsNameTaken(GetLastError()))
                m_names.Added(folder, plainName);  // made by someone else meanwhile
            COrvantisDoc::ProgressLog(LOG_ERROR, L"ERROR - FAILED to create Decrypted File in the destination folder");
            if (!CanOpenForReading(m_temp))
                return ReportVanishedTemp(name);
            COrvantisDoc::ProgressLog(LOG_ERROR, L"???? Perhaps the filename is wrong or too long");
            return KeepEncryptedUnderShortName(folder, storedName);
        }
        m_names.Added(folder, plainName);
        // A failed deletion is not reported (the encrypted file may stay),
        // unless the secure deletion overwrote it: then it is no use any more.
        OriginalDeletion deletion = ORIGINAL_STAYS;
        if (!m_doc.ReplaceOriginal(path, target, times, deletion))
            return FILE_FAILED;
        if (deletion == ORIGINAL_DELETED)
            m_names.Removed(folder, name);
        COrvantisDoc::ProgressLog(LOG_OK, L"Ok: " + name + L" >>> " + plainName);
        if (deletion == ORIGINAL_WIPED_BUT_STAYS) {
            COrvantisDoc::ProgressLog(LOG_ERROR, L"Error, encrypted file wiped but can't delete it (file is open?): " +
                                                     path);
            ++errors;
        }
        return FILE_DONE;
    }

    // The decrypted file vanished between decryption and move (typically
    // taken by a virus scanner); the next file gets a new temporary file.
    FileOutcome ReportVanishedTemp(const CString& name)
    {
        COrvantisDoc::ProgressLog(LOG_ERROR, L"REASON: The Decrypted file has been deleted just after decryption, "
                                             L"(Likely by anti-virus)");
        COrvantisDoc::ProgressLog(LOG_ERROR, L"The file was probably infected and your Anti-Virus is doing good job "
                                             L"watching all file operations");
        COrvantisDoc::ProgressLog(LOG_ERROR, L"If you are sure he file is clean and want it decrypted you will need "
                                             L"to disable your Anti-virus during decryption");
        COrvantisDoc::ProgressLog(LOG_INFO, L"The file: " + name + L" will remain in the destination in its encrypted "
                                                                   L"state");
        m_temp = COrvantisDoc::MakeTempFileName();
        return FILE_FAILED;
    }

    // Saves the plain file under a short name beside the encrypted one, which stays.
    FileOutcome KeepEncryptedUnderShortName(const CString& folder, const CString& storedName)
    {
        CString shortName = UniqueNameInFolder(folder, ShortenedStoredName(storedName));
        COrvantisDoc::ProgressLog(LOG_ERROR, L"Trying to shorten the name to: " + shortName);
        if (MoveToNewName(m_temp, folder + shortName)) {
            m_names.Added(folder, shortName);
            COrvantisDoc::ProgressLog(LOG_OK, L"Shortening Worked, but we will still keep the encrypted file");
        } else {
            WipeTemporary(m_temp);
        }
        return FILE_FAILED;
    }

    COrvantisDoc& m_doc;
    const JobOptions& m_options;  // the job's
    CFileCipher m_cipher;
    CString m_temp;
    CFolderNameCache m_names;
};

bool COrvantisDoc::DecryptItemList(CAddInfoList& list, int leftOut)
{
    const int n = list.GetSize();
    CDecryptFileStep step(*this, MakeTempFileName());
    step.skipped = leftOut;
    ProgressSetCount(n);
    ProgressLog(LOG_INFO, L"Files: %d", n);
    ProgressLog(LOG_HEADING, L"Decrypting Files:");
    bool stopped = !RunFileList(list, step);
    if (!stopped)
        DecryptFolderNames(list, step.errors, step.skipped);

    ProgressLog(LOG_PLAIN, L"Cleanup...");
    DeleteOriginal(step.Temp());
    const int errors = step.errors, skipped = step.skipped;
    if (errors == 0)
        ProgressLog(LOG_HEADING_OK, L"Finished with No Errors");
    else
        ProgressLog(LOG_HEADING_ERROR, L"Finished with %d Errors", errors);
    ProgressLog(LOG_INFO, L"Skipped %d items", skipped);
    // "Decryping": the misspelling is intended.
    FinishFileJob(errors, skipped, L"Decryping Folder: ");
    return true;
}

void COrvantisDoc::DecryptFolderNames(CAddInfoList& list, int& errors, int& skipped)
{
    ProgressLog(LOG_HEADING, L"Folders");
    ProgressSetIndex(list.GetSize());
    for (int i = list.GetSize() - 1; i >= 0; --i) {
        const CAddInfo* item = list.GetAt(i);
        if (!item->m_bFolder)
            continue;
        const CString& path = item->m_strPath;
        CString name = PathFilePart(path);
        CString parent = PathFolderPart(path);
        if (SkipLinkOrDevice(path)) {
            ++skipped;
            continue;
        }
        if (!IsEncryptedName(name)) {
            ProgressLog(LOG_WARNING, L"Folder name skipped (it is not encrypted)");
            ++skipped;
            continue;
        }
        CString plain = m_NameCrypt.DecryptName(name);
        if (plain == name || !IsUsableNamePart(plain)) {
            // "tamperred": the misspelling is intended.
            ProgressLog(LOG_ERROR, L"Decrypting folder name failed: Not Encrypted/Bad Password/Folder tamperred with");
            ++errors;
            ++skipped;
            continue;
        }
        ProgressLog(LOG_OK, L"Encrypted  Folder:" + name);
        ProgressLog(LOG_OK, L"Decrypted Folder:" + plain);
        CString newPath = parent + plain;
        if (CFileOps::GetPathType(newPath) == PATH_FOLDER) {
            ProgressLog(LOG_ERROR, L"Decrypting Folder: " + plain + L" Error: Folder '" + plain +
                                       L"' already exist, trying to rename");
            ++errors;
        }
        CFileOps ops;
        if (ops.RenamePath(path, newPath)) {
            ProgressLog(LOG_OK, L"Folder Name Changed OK");
            continue;
        }
        ProgressLog(LOG_ERROR, newPath);
        ProgressLog(LOG_ERROR, L"Error: Could Not rename the folder (Folder already Exist?). Trying change the name to:");
        ++errors;
        CString candidate;
        for (int k = 1;; ++k) {
            candidate = newPath + L"~" + NumberText(k);
            int type = CFileOps::GetPathType(candidate);
            if (type == PATH_MISSING)
                break;
            ProgressLog(LOG_WARNING, candidate);
            if (type != PATH_FOLDER)
                break;
        }
        ProgressLog(LOG_INFO, candidate);
        if (ops.RenamePath(path, candidate)) {
            ProgressLog(LOG_OK, L"Folder Name Changed OK");
        } else {
            ProgressLog(LOG_ERROR, L"Could Not rename the folder at all - throwing error - Some Files in the folder may "
                                   L"be locked");
            ++errors;
        }
    }
}
