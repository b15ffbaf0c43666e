// What the test's receiving programs share: their arguments and whole-file
// reads and writes. A mark file is written under another name and then
// renamed, so a test that sees it sees it complete.
#pragma once

#include "framework/base/CString.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace receiver {

inline std::vector<CString> Arguments()
{
    std::vector<CString> arguments;
    int count = 0;
    LPWSTR* list = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 1; list && i < count; ++i)
        arguments.push_back(CString(list[i]));
    ::LocalFree(list);
    return arguments;
}

// The file's bytes; false when it cannot be opened.
inline bool ReadAll(const CString& path, std::string& bytes)
{
    HANDLE file = ::CreateFileW(path.GetString(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.clear();
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    ::CloseHandle(file);
    return true;
}

inline bool WriteAll(const CString& path, const std::string& bytes)
{
    HANDLE file = ::CreateFileW(path.GetString(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD wrote = 0;
    bool ok = ::WriteFile(file, bytes.data(), (DWORD)bytes.size(), &wrote, nullptr) && wrote == bytes.size();
    ::CloseHandle(file);
    return ok;
}

inline bool WriteMark(const CString& mark, const std::string& bytes)
{
    CString part = mark + L".part";
    return WriteAll(part, bytes) && ::MoveFileExW(part, mark, MOVEFILE_REPLACE_EXISTING);
}

}  // namespace receiver
