// CPkException: every zip failure that is not reported by a result. Thrown by
// pointer (ThrowZipException); the catcher calls Delete().
#pragma once

#include "framework/base/CException.h"
#include "framework/base/CString.h"

// Cause codes: C runtime error numbers 1-30, the library's own 200-223 and the
// compression library's 500-507.
enum ZipCause {
    ZipCauseNone = 0,
    ZipCauseGeneric = 200,
    ZipCauseBadZipFile = 201,
    ZipCauseBadCrc = 202,
    ZipCauseNoCallback = 203,
    ZipCauseNoVolumeSize = 204,
    ZipCauseAborted = 205,
    ZipCauseAbortedAction = 206,
    ZipCauseAbortedSafely = 207,
    ZipCauseNonRemovable = 208,
    ZipCauseTooManyVolumes = 209,
    ZipCauseTooManyFiles = 210,
    ZipCauseTooLongData = 211,
    ZipCauseTooBigSize = 212,
    ZipCauseBadPassword = 213,
    ZipCauseDirWithSize = 214,
    ZipCauseInternal = 215,
    ZipCauseFileError = 216,
    ZipCauseNotFound = 217,
    ZipCauseNotRemoved = 218,
    ZipCauseNotRenamed = 219,
    ZipCausePlatformNotSupported = 220,
    ZipCauseCdirNotFound = 221,
    ZipCauseNoZip64 = 222,
    ZipCauseNoAes = 223,
    ZipCauseStreamEnd = 500,
    ZipCauseNeedDict = 501,
    ZipCauseErrNo = 502,
    ZipCauseStreamError = 503,
    ZipCauseDataError = 504,
    ZipCauseMemError = 505,
    ZipCauseBufError = 506,
    ZipCauseVersionError = 507,
};

class CPkException : public CException {
public:
    CPkException(int cause, const WCHAR* path);

    using CException::GetErrorMessage;
    BOOL GetErrorMessage(WCHAR* buffer, UINT size, UINT* helpContext = nullptr) const override;

    CString DescribeCause() const { return CauseText(m_iCause, false); }
    CString DescribeSystemError() const;
    CString CauseText(int cause, bool noSystem) const;

    CString m_szFileName;  // empty when the thrower gave none
    int m_iCause;
    DWORD m_uSystemError;  // the thread's last Windows error when made
};

// Creates the exception (the thread's last error read now) and throws it.
[[noreturn]] void ThrowZipException(int cause, const WCHAR* path = nullptr);
// The cause of a caught exception: a CPkException's own, -1 for any other.
int ZipCauseOf(CException* e);
// A stop requested through a callback (causes 206 and 207).
bool IsZipStop(CException* e);
