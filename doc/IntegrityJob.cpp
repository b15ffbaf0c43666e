// COrvantisDoc: the integrity test. Every file of a folder is encrypted into
// a temporary file, decrypted back into a second one and compared byte by
// byte with the original, under a test password. The user's files are only
// read; the temporary files are wiped after every file and at the end.
#include "doc/OrvantisDoc.h"

#include "crypt/FileCipher.h"
#include "crypt/FileOps.h"
#include "doc/JobSteps.h"

namespace {

double FileSizeInMegabytes(const CString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return 0.0;
    uint64_t size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    return (double)size / 1048576.0;
}

}  // namespace

bool COrvantisDoc::IntegrityTestJob()
{
    ProgressSetTitle(L"Integrity test");
    CAddInfoList list;
    CollectJobItems(m_job.folder, list);
    SetPasswordKey(m_strPassword);
    CString t1 = MakeTempFileName(), t2 = MakeTempFileName();
    if (t1 == t2)
        t2 += L"0";
    const int n = list.GetSize();
    ProgressSetCount(n);
    int compareErrors = 0, skipped = 0, failedDecryptions = 0;
    double megabytes = 0.0;
    DWORD start = GetTickCount();

    CFileCipher cipher(&g_AbortRequested);
    for (int i = 0; i < n; ++i) {
        const CAddInfo* item = list.GetAt(i);
        if (item->m_bFolder)
            continue;
        const CString& path = item->m_strPath;
        ProgressSetFile(path);
        if (SkipLinkOrDevice(path)) {
            ++skipped;
            continue;
        }
        ProgressLog(LOG_PLAIN, L"Encrypting:" + path);
        megabytes += FileSizeInMegabytes(path);
        CString name;
        int result = cipher.CryptFile(path, t1, CRYPT_MODE_ENCRYPT, name, nullptr, TRUE);
        if (g_StopRequested)
            break;
        if (result != CRYPT_OK) {
            ++skipped;
            if (result == CRYPT_TOO_BIG)
                ProgressLog(LOG_INFO, L">>> Skipping <<<< The file is too big to encrypt");
            else
                ProgressLog(LOG_ERROR, L">>> Skipping <<<< Read ERROR code %d", result);
        } else {
            ProgressLog(LOG_PLAIN, L"Decrypting the file back");
            uint8_t crc[4] = {};
            result = cipher.CryptFile(t1, t2, CRYPT_MODE_DECRYPT, name, crc, TRUE);
            if (g_StopRequested)
                break;
            if (result != CRYPT_OK) {
                ++failedDecryptions;
                LogCryptFailure(result, crc, L"(Wrong password or not encrypted file)",
                                L"ERROR code %d - Input file too big > 4GB ");
            } else {
                if (HasCrcBytes(crc))
                    ProgressLog(LOG_OK, CrcLine(crc, true));
                ProgressLog(LOG_PLAIN, L"Comparing with original bit by bit");
                if (CFileOps::FilesEqual(path, t2)) {
                    ProgressLog(LOG_OK, L"Compare 100% Match");
                } else {
                    ProgressLog(LOG_ERROR, L"ERROR - Files are not the same");
                    ++compareErrors;
                }
            }
        }
        // The decrypted copy is plain data: it is wiped after every file.
        WipeTemporary(t2);
        ProgressSetIndex(i);
    }
    // Every file has been through: the bar ends full.
    if (!g_StopRequested)
        ProgressSetIndex(n);
    WipeTemporary(t2);
    WipeTemporary(t1);

    CString timing;
    timing.Format(L"Finished in %d ms, processed %d files", (int)(GetTickCount() - start), n);
    ProgressLog(LOG_INFO, timing);
    m_strPassword.SecureEmpty();
    SetPasswordKey(m_strPassword);
    if (compareErrors == 0)
        ProgressLog(LOG_HEADING_OK, L"Integrity Test Finished with Zero Compare Errors.");
    else
        ProgressLog(LOG_HEADING_ERROR, L"Finished with %d Compare Errors", compareErrors);
    CString total;
    total.Format(L"Chewed through %.3f MB of data", megabytes);
    ProgressLog(LOG_INFO, total);
    ProgressLog(LOG_INFO, L"Skipped %d items (not allowed to encrypt)", skipped);
    if (failedDecryptions > 0)
        ProgressLog(LOG_HEADING_ERROR, L"Failed to Decrypt %d items", failedDecryptions);
    ProgressFinish(true, L"Integrity Test");
    return true;
}
