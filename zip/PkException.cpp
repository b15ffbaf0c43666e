#include "zip/PkException.h"

#include <cerrno>

namespace {

const WCHAR* FixedCauseText(int cause)
{
    switch (cause) {
    case 1: return L"Not super-user.";
    case 2: return L"No such file or directory.";
    case 4: return L"Interrupted system call.";
    case 5: return L"I/O error.";
    case 6: return L"No such device or address.";
    case 9: return L"Bad file number.";
    case 12: return L"Not enough space.";
    case 13: return L"Permission denied.";
    case 14: return L"Bad address.";
    case 17: return L"File exists.";
    case 18: return L"Cross-device link.";
    case 19: return L"No such device.";
    case 20: return L"Not a directory.";
    case 21: return L"Is a directory.";
    case 22: return L"Invalid argument.";
    case 23: return L"File table overflow.";
    case 24: return L"Too many open files.";
    case 27: return L"File too large.";
    case 28: return L"No space left on device.";
    case 29: return L"Illegal seek.";
    case 30: return L"Read-only file system.";
    case 201: return L"Damaged or not a zip file.";
    case 202: return L"Crc is mismatched.";
    case 203: return L"There is no spanned archive callback object set.";
    case 204: return L"The volume size was not defined for a split archive.";
    case 205: return L"Volume change aborted in a segmented archive.";
    case 206: return L"Action aborted.";
    case 207: return L"Action aborted safely.";
    case 208: return L"The device selected for the spanned archive is not removable.";
    case 209: return L"The limit of the maximum number of volumes has been reached.";
    case 210: return L"The limit of the maximum number of files in an archive has been reached.";
    case 211:
        return L"The filename, the comment or local or central extra field of the file added to the archive is too "
               L"long.";
    case 212: return L"The file size is too large to be supported.";
    case 213: return L"An incorrect password set for the file being decrypted.";
    case 214: return L"The directory with a non-zero size found while testing.";
    case 215: return L"An internal error.";
    case 220: return L"Cannot create a file for the specified platform.";
    case 221:
        return L"The central directory was not found in the archive (or you were trying to open not the last volume "
               L"of a segmented archive).";
    case 222: return L"The Zip64 format has not been enabled for the library, but is required to use the archive.";
    case 223:
        return L"WinZip AES encryption has not been enabled for the library, but is required to decompress the "
               L"archive.";
    case 500: return L"Zlib library error (end of stream).";
    case 503: return L"Zlib library error (stream error).";
    case 504: return L"Zlib library error (data error).";
    case 505: return L"Not enough memory.";
    case 506: return L"Zlib library error (buffer error).";
    case 507: return L"Zlib library error (version error).";
    default: return nullptr;
    }
}

const WCHAR* WithSystemTextPrefix(int cause)
{
    switch (cause) {
    case 216: return L"A file error occurred";
    case 218: return L"Error while removing a file";
    case 219: return L"Error while renaming a file";
    default: return nullptr;
    }
}

}  // namespace

CPkException::CPkException(int cause, const WCHAR* path)
    : m_szFileName(path), m_iCause(cause), m_uSystemError(GetLastError())
{
}

BOOL CPkException::GetErrorMessage(WCHAR* buffer, UINT size, UINT* /*helpContext*/) const
{
    if (!buffer || size == 0)
        return FALSE;
    CString text = DescribeCause();
    if (text.IsEmpty())
        return FALSE;
    lstrcpynW(buffer, text, (int)size);
    return TRUE;
}

CString CPkException::DescribeSystemError() const
{
    if (m_uSystemError != 0) {
        // The system's text as it gives it, line break included.
        WCHAR* text = nullptr;
        DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, m_uSystemError, 0x400, (WCHAR*)&text, 0, nullptr);
        CString result;
        if (n && text)
            result = CString(text, (int)n);
        if (text)
            LocalFree(text);
        return result;
    }
    if (errno != 0)
        return CauseText(errno, true);
    return CauseText(ZipCauseGeneric, true);
}

CString CPkException::CauseText(int cause, bool noSystem) const
{
    if (const WCHAR* fixed = FixedCauseText(cause))
        return fixed;
    if (const WCHAR* prefix = WithSystemTextPrefix(cause)) {
        CString text;
        text.Format(L"%s (%s).", prefix, (const WCHAR*)DescribeSystemError());
        return text;
    }
    if (cause == ZipCauseErrNo) {
        int current = errno;
        return CauseText(current == ZipCauseErrNo ? (int)ZipCauseGeneric : current, false);
    }
    if (noSystem)
        return L"Unspecified error";
    return DescribeSystemError();
}

void ThrowZipException(int cause, const WCHAR* path) { throw new CPkException(cause, path); }

int ZipCauseOf(CException* e)
{
    CPkException* zip = dynamic_cast<CPkException*>(e);
    return zip ? zip->m_iCause : -1;
}

bool IsZipStop(CException* e)
{
    int cause = ZipCauseOf(e);
    return cause == ZipCauseAbortedAction || cause == ZipCauseAbortedSafely;
}
