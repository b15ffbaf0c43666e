#include "framework/base/CException.h"


BOOL CException::GetErrorMessage(WCHAR* buffer, UINT size, UINT* helpContext) const
{
    if (helpContext)
        *helpContext = 0;
    if (buffer && size)
        buffer[0] = 0;
    return FALSE;
}

CString CException::GetErrorMessage() const
{
    WCHAR buffer[1024];
    if (!GetErrorMessage(buffer, 1024))
        return CString();
    return CString(buffer);
}

CFileException::CFileException(int cause, LONG osError, const WCHAR* fileName)
    : m_cause(cause), m_lOsError(osError), m_strFileName(fileName)
{
}

BOOL CFileException::GetErrorMessage(WCHAR* buffer, UINT size, UINT* helpContext) const
{
    if (helpContext)
        *helpContext = 0;
    if (!buffer || !size)
        return FALSE;
    static const WCHAR* const causeText[] = {
        L"No error occurred.",
        L"An unspecified error occurred.",
        L"The file could not be located.",
        L"All or part of the path is invalid.",
        L"The permitted number of open files was exceeded.",
        L"The file could not be accessed.",
        L"There was an attempt to use an invalid file handle.",
        L"The current working directory cannot be removed.",
        L"There are no more directory entries.",
        L"There was an error trying to set the file pointer.",
        L"There was a hardware error.",
        L"SHARE.EXE was not loaded, or a shared region was locked.",
        L"There was an attempt to lock a region that was already locked.",
        L"The disk is full.",
        L"The end of file was reached.",
    };
    CString text;
    if (m_lOsError > 0)
        text = SystemErrorText((DWORD)m_lOsError);
    if (text.IsEmpty())
        text = causeText[(m_cause >= none && m_cause <= endOfFile) ? m_cause : genericException];
    if (!m_strFileName.IsEmpty())
        text = m_strFileName + L": " + text;
    lstrcpynW(buffer, text, (int)size);
    return TRUE;
}

int CFileException::OsErrorToException(LONG osError)
{
    switch (osError) {
    case NO_ERROR: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE: return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_CURRENT_DIRECTORY: return removeCurrentDir;
    case ERROR_NO_MORE_FILES: return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK: return badSeek;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE: return hardIO;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_LOCK_VIOLATION: return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    default: return genericException;
    }
}

void CFileException::ThrowOsError(LONG osError, const WCHAR* fileName)
{
    throw new CFileException(OsErrorToException(osError), osError, fileName);
}

void CFileException::Throw(int cause, LONG osError, const WCHAR* fileName)
{
    throw new CFileException(cause, osError, fileName);
}

CString SystemErrorText(DWORD error)
{
    WCHAR buffer[1024];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, buffer,
                             1024, nullptr);
    CString text(buffer, (int)n);
    text.TrimRight();
    return text;
}
