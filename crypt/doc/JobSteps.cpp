#include "crypt/doc/JobSteps.h"

#include "crypt/FileOps.h"

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

CString NumberText(int64_t value)
{
    CString text;
    text.Format(L"%lld", (long long)value);
    return text;
}
