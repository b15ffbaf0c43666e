#include "doc/JobSteps.h"

#include "crypt/FileCipher.h"
#include "crypt/FileOps.h"
#include "crypt/PathParts.h"
#include "doc/OrvantisDoc.h"

#include <windows.h>

CString CrcLine(const uint8_t crc[4], bool ok)
{
    CString line;
    line.Format(ok ? L"CRC: %02x%02x%02x%02x (OK)" : L"CRC: %02x%02x%02x%02x (Failed)", crc[0], crc[1], crc[2], crc[3]);
    return line;
}

bool HasCrcBytes(const uint8_t crc[4]) { return (crc[0] | crc[1] | crc[2] | crc[3]) != 0; }

bool CanOpenForReading(const CString& path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

void WipeTemporary(const CString& path)
{
    if (!path.IsEmpty() && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        CFileOps::SecureDeleteFile(path);
}

bool MoveToNewName(const CString& from, const CString& to)
{
    return MoveFileExW(from, to, MOVEFILE_COPY_ALLOWED) != FALSE;
}

bool IsNameTaken(DWORD error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }

void LogCryptFailure(int result, const uint8_t crc[4], const WCHAR* badKeyLine, const WCHAR* tooBigLine)
{
    switch (result) {
    case CRYPT_BAD_KEY:
        if (badKeyLine)
            COrvantisDoc::ProgressLog(LOG_ERROR, badKeyLine);
        break;
    case CRYPT_OPEN_INPUT_FAILED:
        COrvantisDoc::ProgressLog(LOG_ERROR, L"ERROR code %d - Can't read input file", result);
        break;
    case CRYPT_WRITE_FAILED:
        COrvantisDoc::ProgressLog(LOG_ERROR, L"ERROR code %d - Can't create output file", result);
        break;
    case CRYPT_TOO_BIG: COrvantisDoc::ProgressLog(LOG_ERROR, tooBigLine, result); break;
    case CRYPT_CRC_MISMATCH:
        COrvantisDoc::ProgressLog(LOG_ERROR, L"Data Error - CRC failed");
        COrvantisDoc::ProgressLog(LOG_ERROR, CrcLine(crc, false));
        break;
    default: break;
    }
}

FileTimes InputTimesOf(const CFileCipher& cipher)
{
    FileTimes times;
    times.valid = cipher.GetInputTimes(times.created, times.accessed, times.written);
    return times;
}

bool SkipLinkOrDevice(const CString& path)
{
    // The name first: a device name is not looked at on the disk at all.
    if (IsDeviceName(PathFilePart(path))) {
        COrvantisDoc::ProgressLog(LOG_WARNING, L"Name of a device, never opened (Skipping): " + path);
        return true;
    }
    if (CFileOps::IsLink(path)) {
        COrvantisDoc::ProgressLog(LOG_WARNING, L"Link, never followed (Skipping): " + path);
        return true;
    }
    return false;
}

bool RunFileList(const CAddInfoList& list, CJobFileStep& step)
{
    for (int i = 0; i < list.GetSize(); ++i) {
        const CAddInfo* item = list.GetAt(i);
        if (!item->m_bFolder) {
            const CString& path = item->m_strPath;
            if (SkipLinkOrDevice(path) || step.LeavesAlone(PathFilePart(path))) {
                ++step.skipped;
                if (g_StopRequested)
                    return false;
                if (!step.SkippedFileMovesBar())
                    continue;
            } else {
                FileOutcome outcome = step.Process(path);
                if (outcome == FILE_STOPPED)
                    return false;
                if (outcome == FILE_FAILED)
                    ++step.errors;
            }
        }
        COrvantisDoc::ProgressSetIndex(i);
    }
    return true;
}

CString NumberText(int64_t value)
{
    CString text;
    text.Format(L"%lld", (long long)value);
    return text;
}
