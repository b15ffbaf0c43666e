// The zip library's whole contact with the file system: the long-path rule,
// attributes, times, existence, folders, free space, temporary names, drives,
// deletion and renaming. Times are signed seconds since 1970-01-01 UTC.
#pragma once

#include "framework/base/CString.h"

#include <cstdint>

namespace ZipFileSystem {

// Options of RemoveFile.
enum RemoveOptions : int {
    RemoveClearReadOnly = 0x01,
    RemoveToRecycleBin = 0x04,
};

// 0 none, 2 UNC ("\\server"), 4 "\\?\", 8 "\\?\unc\" (1 for a single "\").
int LongPrefixLength(const CString& path);
void AddLongPrefix(CString& path);
// The path with the long prefix from 248 characters (shortLimit) or 260.
CString ToLongPath(const CString& path, bool shortLimit);

bool CreateFolderTree(const CString& folder);
bool GetFileLength(const CString& path, uint32_t& length);
bool FileTimeToSeconds(const FILETIME& fileTime, int64_t& seconds);
FILETIME SecondsToFileTime(int64_t seconds);
int64_t CurrentTime();
ULONGLONG GetDriveFreeSpace(const CString& path);
// Creates a unique "ZAR" file in the first folder with room; empty when none.
CString MakeTempFileName(const WCHAR* folder, uint32_t needed);
bool GetCurrentFolder(CString& folder);
bool GetAttributes(const CString& path, DWORD& attributes);
bool SetAttributes(const CString& path, DWORD attributes);
bool GetFileTimes(const CString& path, int64_t* modification, int64_t* creation = nullptr);
// Attributes and modification time in one query (the time falls back to now);
// false when the attributes cannot be read.
bool GetAttributesAndTime(const CString& path, DWORD& attributes, int64_t& modification);
// The same and the file's size, in the same query.
bool GetAttributesTimeAndSize(const CString& path, DWORD& attributes, int64_t& modification, uint64_t& size);
// A time of 0 or less becomes the current time; a null pointer leaves that time.
bool SetFileTimes(const CString& path, const int64_t* modification, const int64_t* creation, const int64_t* access);
bool SetFileTimes(HANDLE file, const int64_t* modification, const int64_t* creation, const int64_t* access);
// 0 none, -1 folder, 1 file.
int PathExists(const CString& path);
bool IsRemovableDrive(const CString& path);
bool SetDriveLabel(const CString& path, const CString& label);
bool RemoveFile(const CString& path, int options, bool throwOnFailure);
bool RenameFile(const CString& oldPath, const CString& newPath);

}  // namespace ZipFileSystem
