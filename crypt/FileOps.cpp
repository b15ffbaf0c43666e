#include "crypt/FileOps.h"

#include "crypt/PathParts.h"
#include "crypt/RawFile.h"
#include "framework/base/CException.h"

#include <algorithm>
#include <memory>
#include <new>

#ifdef __WINE__
#include <sys/stat.h>
#include <unistd.h>
extern "C" char* CDECL wine_get_unix_file_name(const WCHAR* dosName);
#endif

namespace {

const DWORD kReadShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
const size_t kCompareBlock = 10000;

int CountBackslashes(const CString& path)
{
    int count = 0;
    for (int i = 0; i < path.GetLength(); ++i)
        count += path[i] == L'\\';
    return count;
}

CString Upper(CString text)
{
    text.MakeUpper();
    return text;
}

// The folder of a search pattern, with its trailing backslash ("C:\a\*.*" -> "C:\a\").
CString PatternFolder(const CString& pattern) { return pattern.Left(pattern.ReverseFind(L'\\') + 1); }


#ifdef __WINE__
// Calls use(Unix path) for a path of the system; false when it has none.
template <class Use>
bool WithUnixPath(const CString& path, Use use)
{
    CString trimmed = path;
    trimmed.TrimRight(L'\\');  // "link\" would lead the Unix side through the link
    // Only the long form "\\?\X:\..." gives the file itself for a name like
    // "aux.c"; the plain form gives the device's Unix path.
    if (trimmed.GetLength() >= 3 && trimmed[1] == L':' && trimmed[2] == L'\\')
        trimmed = L"\\\\?\\" + trimmed;
    char* unixPath = wine_get_unix_file_name(trimmed);
    if (!unixPath)
        return false;
    bool result = use(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}
#endif

}  // namespace

CFExeption::CFExeption(DWORD systemError) : m_strText(SystemErrorText(systemError)), m_nCode((int)systemError) {}

CFExeption::CFExeption(const CString& text) : m_strText(text), m_nCode(0) {}

void CFileOps::Init()
{
    m_strError = L"No error";
    m_nError = 0;
    m_bKeptItem = 0;
    m_nCopyBudget = -1;
    m_Skipped.RemoveAll();
}

int CFileOps::GetPathType(const CString& path)
{
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? PATH_MISSING : PATH_UNREADABLE;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PATH_FOLDER : PATH_FILE;
}

bool CFileOps::CanReadFile(const CString& path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

void CFileOps::AddBackslash(CString& path)
{
    if (path.IsEmpty() || path[path.GetLength() - 1] != L'\\')
        path += L'\\';
}

bool CFileOps::IsLink(const CString& path) { return IsLink(path, GetFileAttributesW(path)); }

bool CFileOps::IsLink(const CString& path, DWORD attributes)
{
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
#ifdef __WINE__
    // The system shows a Unix link to a file as a plain file, and one whose
    // target is gone as nothing at all.
    return WithUnixPath(path, [](const char* unixPath) {
        struct stat info;
        return lstat(unixPath, &info) == 0 && S_ISLNK(info.st_mode);
    });
#else
    return false;
#endif
}

// Wine's deletion and folder removal follow a Unix link and would remove its
// target instead, so there the link itself is unlinked on the Unix side.
bool CFileOps::RemoveLink(const CString& path)
{
#ifdef __WINE__
    bool removed = WithUnixPath(path, [](const char* unixPath) { return unlink(unixPath) == 0; });
    if (!removed)
        SetLastError(ERROR_ACCESS_DENIED);
    return removed;
#else
    DWORD attributes = GetFileAttributesW(path);
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path) != FALSE : DeleteFileW(path) != FALSE;
#endif
}

bool CFileOps::FilesEqual(const CString& pathA, const CString& pathB)
{
    if (!CanReadFile(pathA) || !CanReadFile(pathB))
        return false;
    CRawFile a, b;
    if (!a.OpenRead(pathA, kReadShare) || !b.OpenRead(pathB, kReadShare))
        return false;
    std::unique_ptr<uint8_t[]> bufferA(new (std::nothrow) uint8_t[kCompareBlock]);
    std::unique_ptr<uint8_t[]> bufferB(new (std::nothrow) uint8_t[kCompareBlock]);
    if (!bufferA || !bufferB)
        return false;
    // Until both files end together: a longer file shows as a round of unequal counts.
    bool equal = true;
    for (;;) {
        int64_t gotA = a.Read(bufferA.get(), kCompareBlock);
        int64_t gotB = b.Read(bufferB.get(), kCompareBlock);
        if (gotA < 0 || gotA != gotB || memcmp(bufferA.get(), bufferB.get(), (size_t)gotA) != 0) {
            equal = false;
            break;
        }
        if (gotA == 0)
            break;
    }
    // Either file may be a decrypted copy.
    SecureZeroMemory(bufferA.get(), kCompareBlock);
    SecureZeroMemory(bufferB.get(), kCompareBlock);
    return equal;
}

// Runs a throwing step; a failure's text and code are kept in the object. False after a failure.
template <class Step>
bool CFileOps::Guarded(Step step)
{
    try {
        step();
    } catch (CFExeption* e) {
        m_strError = e->GetText();
        m_nError = e->GetCode();
        delete e;
        return false;
    }
    return true;
}

bool CFileOps::Delete(const CString& path)
{
    // A cancelled deletion (code 0) counts as success.
    return Guarded([&] { DeletePath(path); }) || m_nError == 0;
}

bool CFileOps::RenamePath(const CString& oldPath, const CString& newPath)
{
    return Guarded([&] { Rename(oldPath, newPath); });
}

bool CFileOps::CopyPathInto(const CString& source, const CString& destinationFolder)
{
    bool ok = IsAlreadyInFolder(source, destinationFolder) || Guarded([&] { Copy(source, destinationFolder); });
    m_nCopyBudget = -1;
    return ok;
}

bool CFileOps::CopyPathTo(const CString& source, const CString& target)
{
    bool ok = Guarded([&] { CopyAs(source, target); });
    m_nCopyBudget = -1;
    return ok;
}

CString CFileOps::DeleteReadOnlyQuestion(const CString& fileName)
{
    // "want delete" is the program's own wording.
    return fileName + L" is read only. Do you want delete it?";
}

int CFileOps::AskDeleteReadOnly(const CString&)
{
    return IDNO;
}

bool CFileOps::ConfirmDeleteReadOnly(const CString& path)
{
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (!(attributes & FILE_ATTRIBUTE_READONLY))
        return true;
    switch (AskDeleteReadOnly(path.Mid(path.ReverseFind(L'\\') + 1))) {
    case IDYES:
        return SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL) != FALSE;
    case IDNO:
        return false;
    default:
        // Cancel ends the whole deletion, which still counts as success.
        m_bKeptItem = 1;
        throw new CFExeption((DWORD)0);
    }
}

void CFileOps::DeletePath(const CString& path)
{
    if (IsLink(path)) {
        if (!RemoveLink(path))
            throw new CFExeption(GetLastError());
        return;
    }
    if (GetPathType(path) == PATH_FILE) {
        if (!ConfirmDeleteReadOnly(path)) {
            m_bKeptItem = 1;
            return;
        }
        if (!DeleteFileW(path))
            throw new CFExeption(GetLastError());
        return;
    }
    // A folder (or a path that is missing or unreadable, which then fails at the removal).
    CString folder = path;
    AddBackslash(folder);
    ForEachEntry(folder + L"*.*", [&](const WIN32_FIND_DATAW& entry) { DeletePath(folder + entry.cFileName); });
    if (!RemoveDirectoryW(path) && !m_bKeptItem)
        throw new CFExeption(GetLastError());
}

void CFileOps::Rename(const CString& oldPath, const CString& newPath)
{
    if (!MoveFileW(oldPath, newPath))
        throw new CFExeption(GetLastError());
}

void CFileOps::SetCopyBudget(const CString& source, const CString& destination)
{
    // A copy into the source's own subtree may enter only as many subfolders as
    // the destination lies deeper, or it would copy its own copies without end.
    int sourceDepth = CountBackslashes(source), destinationDepth = CountBackslashes(destination);
    if (Upper(destination).Find(Upper(source)) >= 0 && destinationDepth >= sourceDepth)
        m_nCopyBudget = destinationDepth - sourceDepth;
}

CString CFileOps::GetFolderName(const CString& pattern)
{
    CString folder = PatternFolder(pattern);
    folder.TrimRight(L'\\');
    CString name = folder.Mid(folder.ReverseFind(L'\\') + 1);
    // A drive root has no name of its own.
    return name.Find(L':') >= 0 ? CString() : name;
}

bool CFileOps::IsAlreadyInFolder(const CString& source, const CString& destinationFolder)
{
    if (GetPathType(source) != PATH_FOLDER)
        return false;
    return source.Left(std::max(source.ReverseFind(L'\\'), 0)).CompareNoCase(destinationFolder) == 0;
}

void CFileOps::CheckCopySource(const CString& source)
{
    if (IsDeviceName(PathFilePart(source)))
        throw new CFExeption(source + L" has the name of a device and is not copied");
    if (IsLink(source))
        throw new CFExeption(source + L" is a link and is not copied");
    if (GetPathType(source) == PATH_MISSING)
        throw new CFExeption(source + L" not found");
}

void CFileOps::Copy(const CString& source, const CString& destination)
{
    SetCopyBudget(source, destination);
    CheckCopySource(source);
    int sourceType = GetPathType(source), destinationType = GetPathType(destination);
    if (destinationType == PATH_MISSING)
        throw new CFExeption(destination + L" not found");
    if (sourceType == PATH_FOLDER && destinationType == PATH_FILE)
        throw new CFExeption(CString(L"Wrong operation"));

    if (sourceType == PATH_FOLDER && destinationType == PATH_FOLDER) {
        CString from = source, to = destination;
        AddBackslash(from);
        AddBackslash(to);
        if (!ForEachEntry(from + L"*.*", [](const WIN32_FIND_DATAW&) {}))
            throw new CFExeption(from + L" not found");
        CString name = GetFolderName(from);
        if (!name.IsEmpty()) {
            to += name + L"\\";
            if (!CreateDirectoryW(to, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                throw new CFExeption(GetLastError());
        }
        CopyTree(from + L"*.*", to);
    } else if (sourceType == PATH_FILE && destinationType == PATH_FILE) {
        CopyFile(source, destination);
    } else if (sourceType == PATH_FILE && destinationType == PATH_FOLDER) {
        CString to = destination;
        AddBackslash(to);
        CopyFile(source, to + PathFilePart(source));
    }
}

void CFileOps::CopyAs(const CString& source, const CString& target)
{
    SetCopyBudget(source, PathFolderPart(target));
    CheckCopySource(source);
    if (GetPathType(source) != PATH_FOLDER) {
        CopyFile(source, target);
        return;
    }
    // A new folder: a copy never merges into a folder that stands there.
    if (!CreateDirectoryW(target, nullptr))
        throw new CFExeption(GetLastError());
    CString from = source;
    AddBackslash(from);
    CopyTree(from + L"*.*", target + L"\\");
}

void CFileOps::CopyTree(const CString& pattern, const CString& destinationFolder)
{
    CString from = PatternFolder(pattern);
    ForEachEntry(pattern, [&](const WIN32_FIND_DATAW& entry) {
        CString name = entry.cFileName;
        if (IsDeviceName(name) || IsLink(from + name)) {
            m_Skipped.Add(from + name);
            return;
        }
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            CopyFile(from + name, destinationFolder + name);
            return;
        }
        if (m_nCopyBudget == 0)
            return;
        CString to = destinationFolder + name + L"\\";
        if (GetPathType(to) != PATH_FOLDER && !CreateDirectoryW(to, nullptr))
            throw new CFExeption(GetLastError());
        if (m_nCopyBudget > 0)
            --m_nCopyBudget;
        CopyTree(from + name + L"\\*.*", to);
    });
}

void CFileOps::CopyFile(const CString& source, const CString& destination)
{
    // Never over a file that stands there: it may be someone's other file.
    if (!::CopyFileW(source, destination, TRUE))
        throw new CFExeption(GetLastError());
}
