#include "zip/ZipFileSystem.h"

#include "zip/PkAbstractFile.h"
#include "framework/base/PkAutoBuffer.h"
#include "zip/PkException.h"
#include "zip/PkPathComponent.h"

#include <shellapi.h>

#include <cstring>

namespace ZipFileSystem {

namespace {
const WCHAR kLongPrefix[] = L"\\\\?\\";
const WCHAR kLongUncPrefix[] = L"\\\\?\\unc\\";
const int kShortLimit = 248;
const int kLongLimit = 260;
const LONGLONG kEpochDifference = 116444736000000000LL;  // 1601 to 1970 in 100 ns

CString TrimmedDrive(const CString& path)
{
    CPkPathComponent parts(path);
    CString drive = parts.GetDrive();
    drive.TrimRight(L"\\/");
    return drive + L"\\";
}
}  // namespace

int LongPrefixLength(const CString& path)
{
    CString head = path.Left(8);
    head.MakeLower();
    int n = 0;
    while (n < head.GetLength() && head[n] == kLongUncPrefix[n])
        ++n;
    return n;
}

void AddLongPrefix(CString& path)
{
    int n = LongPrefixLength(path);
    if (n >= 4)
        return;
    if (n == 2)
        path = CString(L"\\\\?\\UNC\\") + path.Mid(2);
    else
        path = CString(kLongPrefix) + path;
}

CString ToLongPath(const CString& path, bool shortLimit)
{
    CString result = path;
    if (result.GetLength() >= (shortLimit ? kShortLimit : kLongLimit))
        AddLongPrefix(result);
    return result;
}

bool CreateFolderTree(const CString& folder)
{
    CString path = folder;
    path.TrimRight(L'\\');
    if (path.IsEmpty())
        return true;
    CString parent = CPkPathComponent(path).GetFolderPath();
    if (parent == path)
        return true;
    if (PathExists(path) == -1)
        return true;
    if (!parent.IsEmpty() && !CreateFolderTree(parent))
        return false;
    return CreateDirectoryW(ToLongPath(path, true), nullptr) != FALSE;
}

bool GetFileLength(const CString& path, uint32_t& length)
{
    CPkFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone, false))
        return false;
    bool ok = false;
    try {
        ULONGLONG size = file.GetLength();
        if (size < 0x100000000ull) {
            length = (uint32_t)size;
            ok = true;
        }
        file.Close();
    } catch (CException* e) {
        e->Delete();
    }
    return ok;
}

bool FileTimeToSeconds(const FILETIME& fileTime, int64_t& seconds)
{
    ULONGLONG value = ((ULONGLONG)fileTime.dwHighDateTime << 32) | fileTime.dwLowDateTime;
    if (value == 0) {
        seconds = 0;
        return false;
    }
    // Signed: times before 1970 are negative, not huge.
    seconds = ((LONGLONG)value - kEpochDifference) / 10000000;
    return seconds > 0;
}

FILETIME SecondsToFileTime(int64_t seconds)
{
    ULONGLONG value = (ULONGLONG)((seconds + 11644473600LL) * 10000000LL);
    FILETIME ft;
    ft.dwLowDateTime = (DWORD)value;
    ft.dwHighDateTime = (DWORD)(value >> 32);
    return ft;
}

int64_t CurrentTime()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    int64_t seconds = 0;
    FileTimeToSeconds(now, seconds);
    return seconds;
}

ULONGLONG GetDriveFreeSpace(const CString& path)
{
    CString drive = CPkPathComponent(path).GetDrive();
    ULARGE_INTEGER available, total, freeBytes;
    if (GetDiskFreeSpaceExW(drive.IsEmpty() ? nullptr : (const WCHAR*)drive, &available, &total, &freeBytes))
        return freeBytes.QuadPart;
    drive = TrimmedDrive(path);
    if (GetDiskFreeSpaceExW(drive, &available, &total, &freeBytes))
        return freeBytes.QuadPart;
    return 0;
}

CString MakeTempFileName(const WCHAR* folder, uint32_t needed)
{
    CString chosen;
    if (folder && (needed == 0 || GetDriveFreeSpace(folder) >= needed))
        chosen = folder;
    if (chosen.IsEmpty()) {
        WCHAR temp[MAX_PATH + 1];
        DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        if (n > 0 && n <= MAX_PATH) {
            if (GetDriveFreeSpace(temp) >= needed) {
                chosen = temp;
            } else {
                CString current;
                if (GetCurrentFolder(current) && (needed == 0 || GetDriveFreeSpace(current) >= needed))
                    chosen = current;
            }
        }
    }
    if (chosen.IsEmpty())
        return CString();
    WCHAR name[MAX_PATH + 1];
    if (!GetTempFileNameW(chosen, L"ZAR", 0, name))
        return CString();
    return name;
}

bool GetCurrentFolder(CString& folder)
{
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0)
        return false;
    DWORD got = GetCurrentDirectoryW(n, folder.GetBuffer((int)n));
    folder.ReleaseBuffer(got > 0 && got < n ? (int)got : 0);
    return got > 0 && got < n;
}

bool GetAttributes(const CString& path, DWORD& attributes)
{
    attributes = GetFileAttributesW(ToLongPath(path, true));
    return attributes != INVALID_FILE_ATTRIBUTES;
}

bool SetAttributes(const CString& path, DWORD attributes)
{
    return SetFileAttributesW(ToLongPath(path, true), attributes) != FALSE;
}

bool GetFileTimes(const CString& path, int64_t* modification, int64_t* creation)
{
    if (modification)
        *modification = 0;
    if (creation)
        *creation = 0;
    bool ok = false;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(ToLongPath(path, true), &data);
    if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        ok = true;
        if (modification && !FileTimeToSeconds(data.ftLastWriteTime, *modification))
            ok = false;
        if (creation && !FileTimeToSeconds(data.ftCreationTime, *creation))
            ok = false;
    }
    if (!ok) {
        int64_t now = CurrentTime();
        if (modification && *modification <= 0)
            *modification = now;
        if (creation && *creation <= 0)
            *creation = now;
    }
    return ok;
}

bool GetAttributesAndTime(const CString& path, DWORD& attributes, int64_t& modification)
{
    uint64_t size = 0;
    return GetAttributesTimeAndSize(path, attributes, modification, size);
}

bool GetAttributesTimeAndSize(const CString& path, DWORD& attributes, int64_t& modification, uint64_t& size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(ToLongPath(path, true), GetFileExInfoStandard, &data))
        return false;
    attributes = data.dwFileAttributes;
    if (!FileTimeToSeconds(data.ftLastWriteTime, modification) || modification <= 0)
        modification = CurrentTime();
    size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    return true;
}

bool SetFileTimes(HANDLE file, const int64_t* modification, const int64_t* creation, const int64_t* access)
{
    int64_t now = CurrentTime();
    FILETIME ftModification, ftCreation, ftAccess;
    auto convert = [now](const int64_t* t, FILETIME& out) -> FILETIME* {
        if (!t)
            return nullptr;
        out = SecondsToFileTime(*t > 0 ? *t : now);
        return &out;
    };
    return SetFileTime(file, convert(creation, ftCreation), convert(access, ftAccess),
                       convert(modification, ftModification)) != FALSE;
}

bool SetFileTimes(const CString& path, const int64_t* modification, const int64_t* creation, const int64_t* access)
{
    HANDLE file = CreateFileW(ToLongPath(path, true), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = SetFileTimes(file, modification, creation, access);
    CloseHandle(file);
    return ok;
}

int PathExists(const CString& path)
{
    DWORD attributes;
    if (!GetAttributes(path, attributes))
        return 0;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? -1 : 1;
}

bool IsRemovableDrive(const CString& path)
{
    CString drive = TrimmedDrive(path);
    return GetDriveTypeW(drive) == DRIVE_REMOVABLE;
}

bool SetDriveLabel(const CString& path, const CString& label)
{
    return SetVolumeLabelW(TrimmedDrive(path), label) != FALSE;
}

namespace {
bool DeleteToRecycleBin(const CString& path)
{
    CString target = path;
    if (target.GetLength() > 259) {
        CString longPath = ToLongPath(path, false);
        DWORD n = GetShortPathNameW(longPath, nullptr, 0);
        if (n == 0)
            return false;
        CString shortPath;
        DWORD got = GetShortPathNameW(longPath, shortPath.GetBuffer((int)n), n);
        shortPath.ReleaseBuffer(got > 0 && got < n ? (int)got : 0);
        if (got == 0 || got >= n)
            return false;
        target = shortPath.Mid(LongPrefixLength(shortPath));
    }
    // The shell wants a list ending in two zero characters.
    CPkAutoBuffer list((uint32_t)(2 * target.GetLength() + 4), true);
    memcpy(list.GetBuffer(), (const WCHAR*)target, 2 * (size_t)target.GetLength());
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = (const WCHAR*)list.GetBuffer();
    op.fFlags = 0x454;  // silent, no confirmation, allow undo, no error interface
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}
}  // namespace

bool RemoveFile(const CString& path, int options, bool throwOnFailure)
{
    if (options & RemoveClearReadOnly) {
        DWORD attributes;
        if (GetAttributes(path, attributes) && (attributes & FILE_ATTRIBUTE_READONLY))
            SetAttributes(path, FILE_ATTRIBUTE_ARCHIVE);
    }
    bool ok;
    if (options & RemoveToRecycleBin)
        ok = DeleteToRecycleBin(path);
    else
        ok = DeleteFileW(ToLongPath(path, false)) != FALSE;
    if (!ok && throwOnFailure)
        ThrowZipException(ZipCauseNotRemoved, path);
    return ok;
}

bool RenameFile(const CString& oldPath, const CString& newPath)
{
    if (!MoveFileW(ToLongPath(oldPath, false), ToLongPath(newPath, false)))
        ThrowZipException(ZipCauseNotRenamed, oldPath);
    return true;
}

}  // namespace ZipFileSystem
