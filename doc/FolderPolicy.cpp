#include "doc/FolderPolicy.h"

#include "doc/OrvantisDoc.h"
#include "framework/windows/AfxMessageBox.h"

#include <shlobj.h>

#include <cstdlib>

#ifdef __WINE__
extern "C" char* CDECL wine_get_unix_file_name(const WCHAR* dosName);
#endif

namespace {

// The Unix system's own folders, below the Unix root.
const WCHAR* const kUnixSystemFolders[] = {L"bin",  L"boot", L"dev",  L"etc", L"lib", L"lib64", L"proc",
                                           L"root", L"run",  L"sbin", L"sys", L"usr", L"var"};

CString Normalised(CString path)
{
    path.MakeLower();
    path.TrimRight(L'\\');
    return path;
}

bool IsDriveLetter(WCHAR ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }

// "x:" or "x:\...", or a network path "\\server\...".
bool IsFullPath(const CString& path)
{
    if (path.GetLength() >= 2 && IsDriveLetter(path[0]) && path[1] == ':')
        return path.GetLength() == 2 || path[2] == '\\';
    return path.GetLength() > 2 && path[0] == '\\' && path[1] == '\\';
}

// Without the long-path prefixes, so "\\?\C:\..." is judged as "C:\...".
CString WithoutLongPrefix(const CString& path)
{
    CString lower = path;
    lower.MakeLower();
    if (lower.Left(8) == L"\\\\?\\unc\\")
        return L"\\\\" + path.Mid(8);
    if (lower.Left(4) == L"\\\\?\\" || lower.Left(4) == L"\\\\.\\")
        return path.Mid(4);
    return path;
}

// "." and ".." resolved, so that "c:\x\..\windows" is seen as "c:\windows".
CString Resolved(const CString& path)
{
    WCHAR buffer[4096];
    DWORD length = GetFullPathNameW(path, 4096, buffer, nullptr);
    return (length == 0 || length >= 4096) ? path : CString(buffer, (int)length);
}

bool ContainsFolder(const CString& path, const CString& protectedFolder)
{
    CString folder = Normalised(protectedFolder);
    return !folder.IsEmpty() && path.Find(folder) >= 0;
}

bool IsInside(const CString& path, const CString& folder)
{
    return path == folder || path.Left(folder.GetLength() + 1) == folder + L"\\";
}

#ifdef __WINE__
CString UnixPathAsDosPath(const char* unixPath, WCHAR drive)
{
    CString path = CString::FromUtf8(unixPath);
    path.Replace(L'/', L'\\');
    return CString(drive) + L":" + path;
}
#endif

}  // namespace

FolderPolicyPaths FolderPolicyPaths::OfThisSystem()
{
    FolderPolicyPaths paths;
    paths.programFiles = COrvantisDoc::GetSpecialFolderPath(CSIDL_PROGRAM_FILES);
    paths.windows = COrvantisDoc::GetSpecialFolderPath(CSIDL_WINDOWS);
    WCHAR expanded[MAX_PATH + 1];
    DWORD length = ExpandEnvironmentStringsW(L"%ProgramW6432%", expanded, MAX_PATH + 1);
    if (length > 0 && length <= MAX_PATH + 1)
        paths.programW6432 = expanded;
#ifdef __WINE__
    for (WCHAR letter = 'a'; letter <= 'z' && !paths.unixRootDrive; ++letter) {
        WCHAR root[] = {letter, ':', '\\', 0};
        if (char* unixPath = wine_get_unix_file_name(root)) {
            if (strcmp(unixPath, "/") == 0)
                paths.unixRootDrive = letter;
            HeapFree(GetProcessHeap(), 0, unixPath);
        }
    }
    if (paths.unixRootDrive && !paths.windows.IsEmpty()) {
        if (char* unixPath = wine_get_unix_file_name(paths.windows)) {
            paths.windowsOnUnixDrive.Add(UnixPathAsDosPath(unixPath, paths.unixRootDrive));
            if (char* real = realpath(unixPath, nullptr)) {
                paths.windowsOnUnixDrive.Add(UnixPathAsDosPath(real, paths.unixRootDrive));
                free(real);
            }
            HeapFree(GetProcessHeap(), 0, unixPath);
        }
    }
#endif
    return paths;
}

CString FolderPolicyRefusal(const CString& folder, bool allowRoot, const FolderPolicyPaths& paths)
{
    CString path = WithoutLongPrefix(folder);
    if (!IsFullPath(path))
        return L"Encrypting a folder without its full path is forbidden";
    if (path.GetLength() == 2)
        path += L'\\';  // "c:" alone would resolve to the drive's current folder
    path = Normalised(Resolved(path));
    WCHAR drive = path[0];
    WCHAR unixDrive = paths.unixRootDrive ? (WCHAR)(paths.unixRootDrive | 0x20) : 0;
    if (path.GetLength() == 2 && !allowRoot)
        return L"Starting from the Root folder is disabled (see Settings in menu Options)";
    if (path.GetLength() == 2 && drive == 'c')
        return L"Encrypting the root of C:\\ disk is disabled";
    if (path.GetLength() == 2 && drive == unixDrive)
        return L"Encrypting the root of " + CString((WCHAR)(unixDrive - 0x20)) + L":\\ disk is disabled";
    if (drive == 'c') {
        if (ContainsFolder(path, paths.programFiles))
            return L"Encrypting inside Program Files folder is forbidden";
        if (ContainsFolder(path, paths.windows))
            return L"Encrypting inside Windows folder is forbidden";
        if (ContainsFolder(path, paths.programW6432))
            return L"Encrypting inside Program Files folder is forbidden";
    }
    if (unixDrive && drive == unixDrive) {
        for (const WCHAR* name : kUnixSystemFolders)
            if (IsInside(path, CString(unixDrive) + L":\\" + name))
                return L"Encrypting inside system folders is forbidden";
        for (const CString& windows : paths.windowsOnUnixDrive)
            if (ContainsFolder(path, windows))
                return L"Encrypting inside Windows folder is forbidden";
    }
    return CString();
}

CString COrvantisDoc::GetSpecialFolderPath(int csidl)
{
    WCHAR path[MAX_PATH + 1] = {};
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    HRESULT result = SHGetFolderPathW(nullptr, csidl, token, SHGFP_TYPE_CURRENT, path);
    if (token)
        CloseHandle(token);
    return SUCCEEDED(result) ? CString(path) : CString();
}

bool COrvantisDoc::CheckFolderPolicy(const CString& folder)
{
    CString refusal = FolderPolicyRefusal(folder, m_bAllowRootFolder != 0, FolderPolicyPaths::OfThisSystem());
    if (refusal.IsEmpty())
        return true;
    AfxMessageBox(refusal, MB_OK);
    return false;
}
