// COrvantisDoc: verifying and repairing encrypted files through their
// recovery sections. The job reads encrypted bytes only, so it needs no
// password; with a key set it shows each file under its plain name.
#include "doc/OrvantisDoc.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "crypt/PathParts.h"
#include "crypt/RecoveryRecord.h"
#include "doc/JobSteps.h"

namespace {

void LogFileLine(const CString& shownName) { COrvantisDoc::ProgressLog(LOG_ERROR, L"File: " + shownName); }

}  // namespace

bool COrvantisDoc::RecoveryJob(bool repair)
{
    ProgressSetTitle(L"Verify parity");
    CAddInfoList list;
    CollectJobItems(m_job.folder, list);
    const int n = list.GetSize();
    ProgressSetCount(n);
    ProgressLog(LOG_INFO, L"Files: %d", n);
    if (repair)
        ProgressLog(LOG_PLAIN, L"Searching for repairable files.....");

    CRecoveryRecord record;
    CFileCipher cipher;
    int repairable = 0, unrecoverable = 0;
    for (int i = 0; i < n; ++i) {
        const CAddInfo* item = list.GetAt(i);
        if (item->m_bFolder)
            continue;
        if (g_StopRequested)
            break;
        const CString& path = item->m_strPath;
        CString name = PathFilePart(path);
        if (!IsEncryptedFileName(name))
            continue;
        // A repair writes into the file: never through a link.
        if (SkipLinkOrDevice(path))
            continue;
        CString shown = name;
        if (HasKey()) {
            shown = cipher.ReadOriginalName(path);
            if (shown.IsEmpty())
                shown = L"BAD PASSWORD? " + name;
        }
        ProgressSetFile(path);
        int64_t badIndex = -1, badCount = 0;
        int result = record.Verify(path, badIndex, badCount);
        switch (result) {
        case RECOVERY_OK:
            if (!repair)
                ProgressLog(LOG_OK, L"File: " + shown + L"  CRC Matches in all " +
                                        NumberText(record.GetBlockCount()) + L" blocks");
            break;
        case RECOVERY_CANNOT_OPEN:
            LogFileLine(shown);
            ProgressLog(LOG_ERROR, L"Cannot open file");
            break;
        case RECOVERY_NO_SECTION:
            if (!repair)
                ProgressLog(LOG_WARNING, L"File: " + shown + L"  has No recovery record");
            break;
        case RECOVERY_DAMAGED_SECTION:
            LogFileLine(shown);
            ProgressLog(LOG_ERROR, L"The Recovery block seems to be damaged");
            break;
        case RECOVERY_UNRECOVERABLE:
            LogFileLine(shown);
            ProgressLog(LOG_ERROR, L"ERROR: " + NumberText(badCount) + L" blocks are damaged - unrecoverable file!");
            ++unrecoverable;
            break;
        case RECOVERY_NO_MEMORY:
            LogFileLine(shown);
            ProgressLog(LOG_ERROR, L"Memory error, the block is too big?");
            break;
        case RECOVERY_ONE_BAD_BLOCK:
            LogFileLine(shown);
            ProgressLog(LOG_ERROR, L"Block number " + NumberText(badIndex) + L" is damaged ");
            if (!repair) {
                ++repairable;
                break;
            }
            ProgressLog(LOG_INFO, L"RECOVERING");
            if (record.Repair(path) != RECOVERY_OK) {
                ProgressLog(LOG_ERROR, L"Error, file had not been recovered ");
                break;
            }
            // "veryfying": the misspelling is intended.
            ProgressLog(LOG_PLAIN, L"Recovery block found, replacing and veryfying again.....");
            result = record.Verify(path, badIndex, badCount);
            if (result != RECOVERY_OK) {
                ProgressLog(LOG_ERROR,
                            L"Recovery failed.... File can't be recovered - the damage is too large ERROR %d", result);
            } else {
                ProgressLog(LOG_OK, L"Good: CRC matches in all " + NumberText(record.GetBlockCount()) + L" blocks");
                ProgressLog(LOG_OK, L"Recovery Successfull.");
            }
            ProgressLog(LOG_PLAIN, L"Continue Searching for repairable files.....");
            break;
        default: break;
        }
    }
    // Every file has been through: the bar ends full.
    if (!g_StopRequested)
        ProgressSetIndex(n);
    ProgressLog(LOG_PLAIN, L"******* Finished ***********");
    if (!repair && repairable > 0)
        ProgressLog(LOG_ERROR, L"Damaged but can be repaired: %d ", repairable);
    // "beyonf": the misspelling is intended.
    if (unrecoverable > 0)
        ProgressLog(LOG_ERROR, L"Damaged beyonf repair: %d ", unrecoverable);
    ProgressFinish(true, L"Verify log: ");
    return true;
}
