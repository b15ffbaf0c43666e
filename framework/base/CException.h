// Exceptions are thrown by pointer (throw new ...) and the catcher calls
// Delete(). CFileException carries a cause, the system error and the path.
#pragma once

#include "framework/base/CObject.h"
#include "framework/base/CString.h"

class CException : public CObject {
public:
    CException() = default;
    // Frees the exception; the catcher calls this instead of delete.
    void Delete() { delete this; }
    // Writes the message into the buffer; false when there is none.
    virtual BOOL GetErrorMessage(WCHAR* buffer, UINT size, UINT* helpContext = nullptr) const;
    CString GetErrorMessage() const;
};

class CFileException : public CException {
public:
    enum Cause {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    explicit CFileException(int cause = none, LONG osError = -1, const WCHAR* fileName = nullptr);

    using CException::GetErrorMessage;
    BOOL GetErrorMessage(WCHAR* buffer, UINT size, UINT* helpContext = nullptr) const override;

    static int OsErrorToException(LONG osError);
    [[noreturn]] static void ThrowOsError(LONG osError, const WCHAR* fileName = nullptr);
    [[noreturn]] static void Throw(int cause, LONG osError = -1, const WCHAR* fileName = nullptr);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

// The system's message text for an error code, without the trailing line break.
CString SystemErrorText(DWORD error);
