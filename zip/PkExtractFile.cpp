#include "zip/PkExtractFile.h"

#include "framework/base/CException.h"
#include "framework/base/PkAutoBuffer.h"
#include "zip/ZipFileSystem.h"

#include <cstring>

namespace {
// The NT form of a path, which renaming by handle needs.
CString NtPath(const CString& path)
{
    CString full = ZipFileSystem::ToLongPath(path, false);
    if (ZipFileSystem::LongPrefixLength(full) >= 4)
        return L"\\??\\" + full.Mid(4);
    DWORD n = GetFullPathNameW(full, 0, nullptr, nullptr);
    CString absolute;
    DWORD got = n ? GetFullPathNameW(full, n, absolute.GetBuffer((int)n), nullptr) : 0;
    absolute.ReleaseBuffer(got > 0 && got < n ? (int)got : 0);
    if (absolute.Left(2) == L"\\\\")
        return L"\\??\\UNC\\" + absolute.Mid(2);
    return L"\\??\\" + absolute;
}

LARGE_INTEGER FileTimeValue(int64_t seconds)
{
    FILETIME ft = ZipFileSystem::SecondsToFileTime(seconds > 0 ? seconds : ZipFileSystem::CurrentTime());
    LARGE_INTEGER value;
    value.LowPart = ft.dwLowDateTime;
    value.HighPart = (LONG)ft.dwHighDateTime;
    return value;
}
}  // namespace

void CPkExtractFile::Create(const CString& folder)
{
    static LONG counter = (LONG)(GetTickCount() ^ (GetCurrentProcessId() << 16));
    CString base = folder.IsEmpty() ? CString(L".") : folder;
    for (int attempt = 0; attempt < 65536; ++attempt) {
        CString name;
        name.Format(L"%s\\ZAR%04X.tmp", (const WCHAR*)base, (unsigned)(InterlockedIncrement(&counter) & 0xFFFF));
        HANDLE file = CreateFileW(ZipFileSystem::ToLongPath(name, false), GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_file = file;
            m_path = name;
            return;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            CFileException::ThrowOsError((LONG)error, name);
    }
    CFileException::ThrowOsError(ERROR_FILE_EXISTS, base);
}

bool CPkExtractFile::CreateAtTarget(const CString& target)
{
    HANDLE file = CreateFileW(ZipFileSystem::ToLongPath(target, false), GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        // A folder at the target may answer "access denied".
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
            (error == ERROR_ACCESS_DENIED && ZipFileSystem::PathExists(target) != 0))
            return false;
        CFileException::ThrowOsError((LONG)error, target);
    }
    m_file = file;
    m_path = target;
    return true;
}

void CPkExtractFile::KeepAtTarget()
{
    CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    m_path.Empty();
}

void CPkExtractFile::Write(const void* bytes, uint32_t count)
{
    DWORD wrote = 0;
    if (!WriteFile(m_file, bytes, count, &wrote, nullptr))
        CFileException::ThrowOsError((LONG)GetLastError(), m_path);
    if (wrote != count)
        CFileException::Throw(CFileException::diskFull, -1, m_path);
}

bool CPkExtractFile::SetTimesAndAttributes(int64_t modification, int64_t creation, int64_t access, DWORD attributes)
{
    FILE_BASIC_INFO info = {};
    info.CreationTime = FileTimeValue(creation);
    info.LastAccessTime = FileTimeValue(access);
    info.LastWriteTime = FileTimeValue(modification);
    info.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(m_file, FileBasicInfo, &info, sizeof info) != FALSE;
}

bool CPkExtractFile::ReplaceTarget(const CString& target)
{
    CString name = NtPath(target);
    uint32_t size = (uint32_t)(sizeof(FILE_RENAME_INFO) + sizeof(WCHAR) * (size_t)name.GetLength());
    CPkAutoBuffer buffer(size, true);
    FILE_RENAME_INFO* info = (FILE_RENAME_INFO*)buffer.GetBuffer();
    info->ReplaceIfExists = TRUE;
    info->FileNameLength = (DWORD)(sizeof(WCHAR) * (size_t)name.GetLength());
    memcpy(info->FileName, (const WCHAR*)name, info->FileNameLength);
    if (!SetFileInformationByHandle(m_file, FileRenameInfo, info, size))
        return false;
    CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    m_path.Empty();
    return true;
}

void CPkExtractFile::Discard()
{
    if (m_file == INVALID_HANDLE_VALUE)
        return;
    FILE_DISPOSITION_INFO dispose = {TRUE};
    bool marked = SetFileInformationByHandle(m_file, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
    if (!marked) {
        // A read-only file refuses deletion: it loses the attribute first.
        FILE_BASIC_INFO plain = {};
        plain.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        marked = SetFileInformationByHandle(m_file, FileBasicInfo, &plain, sizeof plain) &&
                 SetFileInformationByHandle(m_file, FileDispositionInfo, &dispose, sizeof dispose);
    }
    CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    if (!marked)
        DeleteFileW(ZipFileSystem::ToLongPath(m_path, false));
    m_path.Empty();
}
