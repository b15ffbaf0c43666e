// CFile: a file handle with the program's open flags; failures of reads,
// writes and seeks are thrown as CFileException (by pointer).
#pragma once

#include "framework/base/CException.h"
#include "framework/base/CObject.h"
#include "framework/base/CString.h"

class CFile : public CObject {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeNoTruncate = 0x00200,
        modeCreate = 0x01000,
        typeText = 0x04000,
        typeBinary = 0x08000,
        osNoBuffer = 0x10000,
        osWriteThrough = 0x20000,
        osRandomAccess = 0x40000,
        osSequentialScan = 0x80000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile();
    CFile(const WCHAR* path, UINT openFlags);  // throws on failure
    ~CFile() override;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // False on failure, with the cause in *error when given.
    virtual BOOL Open(const WCHAR* path, UINT openFlags, CFileException* error = nullptr);
    virtual void Close();
    // Closes without throwing (for clean-up after a failure).
    virtual void Abort();

    virtual UINT Read(void* buffer, UINT count);
    virtual void Write(const void* buffer, UINT count);
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    ULONGLONG SeekToBegin() { return Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    virtual void SetLength(ULONGLONG length);
    virtual void Flush();

    CString GetFilePath() const { return m_strFileName; }
    CString GetFileName() const;
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

    static void Remove(const WCHAR* path);
    static void Rename(const WCHAR* oldPath, const WCHAR* newPath);

    HANDLE m_hFile;

protected:
    [[noreturn]] void ThrowLastError() const;

    CString m_strFileName;
};
