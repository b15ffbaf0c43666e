#include "framework/base/CFile.h"

CFile::CFile() : m_hFile(INVALID_HANDLE_VALUE) {}

CFile::CFile(const WCHAR* path, UINT openFlags) : m_hFile(INVALID_HANDLE_VALUE)
{
    CFileException error;
    if (!Open(path, openFlags, &error))
        CFileException::Throw(error.m_cause, error.m_lOsError, error.m_strFileName);
}

CFile::~CFile()
{
    if (IsOpen())
        Abort();
}

BOOL CFile::Open(const WCHAR* path, UINT openFlags, CFileException* error)
{
    if (IsOpen())
        Abort();
    m_strFileName = path;

    DWORD access = 0;
    switch (openFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD share = 0;
    switch (openFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = 0; break;
    }
    DWORD creation = OPEN_EXISTING;
    if (openFlags & modeCreate)
        creation = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (openFlags & osNoBuffer) attributes |= FILE_FLAG_NO_BUFFERING;
    if (openFlags & osWriteThrough) attributes |= FILE_FLAG_WRITE_THROUGH;
    if (openFlags & osRandomAccess) attributes |= FILE_FLAG_RANDOM_ACCESS;
    if (openFlags & osSequentialScan) attributes |= FILE_FLAG_SEQUENTIAL_SCAN;

    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, (openFlags & modeNoInherit) ? FALSE : TRUE};
    HANDLE h = CreateFileW(path, access, share, &sa, creation, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) {
            DWORD os = GetLastError();
            error->m_lOsError = (LONG)os;
            error->m_cause = CFileException::OsErrorToException((LONG)os);
            error->m_strFileName = path;
        }
        return FALSE;
    }
    m_hFile = h;
    return TRUE;
}

void CFile::Close()
{
    if (!IsOpen())
        return;
    BOOL ok = CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (!ok)
        ThrowLastError();
}

void CFile::Abort()
{
    if (IsOpen())
        CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

UINT CFile::Read(void* buffer, UINT count)
{
    if (count == 0)
        return 0;
    DWORD got = 0;
    if (!ReadFile(m_hFile, buffer, count, &got, nullptr))
        ThrowLastError();
    return got;
}

void CFile::Write(const void* buffer, UINT count)
{
    if (count == 0)
        return;
    DWORD wrote = 0;
    if (!WriteFile(m_hFile, buffer, count, &wrote, nullptr))
        ThrowLastError();
    if (wrote < count)
        CFileException::Throw(CFileException::diskFull, -1, m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from)
{
    LARGE_INTEGER distance, position;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(m_hFile, distance, &position, from))
        ThrowLastError();
    return (ULONGLONG)position.QuadPart;
}

ULONGLONG CFile::GetPosition() const
{
    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(m_hFile, zero, &position, FILE_CURRENT))
        ThrowLastError();
    return (ULONGLONG)position.QuadPart;
}

ULONGLONG CFile::GetLength() const
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_hFile, &size))
        ThrowLastError();
    return (ULONGLONG)size.QuadPart;
}

void CFile::SetLength(ULONGLONG length)
{
    Seek((LONGLONG)length, begin);
    if (!SetEndOfFile(m_hFile))
        ThrowLastError();
}

void CFile::Flush()
{
    if (IsOpen() && !FlushFileBuffers(m_hFile))
        ThrowLastError();
}

CString CFile::GetFileName() const
{
    int slash = m_strFileName.ReverseFind('\\');
    int other = m_strFileName.ReverseFind('/');
    if (other > slash)
        slash = other;
    return m_strFileName.Mid(slash + 1);
}

void CFile::Remove(const WCHAR* path)
{
    if (!DeleteFileW(path))
        CFileException::ThrowOsError((LONG)GetLastError(), path);
}

void CFile::Rename(const WCHAR* oldPath, const WCHAR* newPath)
{
    if (!MoveFileW(oldPath, newPath))
        CFileException::ThrowOsError((LONG)GetLastError(), oldPath);
}

void CFile::ThrowLastError() const { CFileException::ThrowOsError((LONG)GetLastError(), m_strFileName); }
