// The file interface through which the storage reads and writes an archive,
// and its disk implementation CPkFile over the framework's CFile. Positions
// and lengths are 64-bit.
#pragma once

#include "framework/base/CFile.h"
#include "framework/base/CString.h"

#include <cstdint>

class CPkAbstractFile {
public:
    virtual bool Open(const WCHAR* path, UINT openFlags, bool throwOnFailure);
    virtual void Close() = 0;
    virtual void Flush() = 0;
    virtual ULONGLONG GetPosition() const = 0;
    virtual ULONGLONG Seek(LONGLONG offset, UINT origin) = 0;
    virtual ULONGLONG GetLength() const = 0;
    virtual void SetLength(ULONGLONG length) = 0;
    virtual ULONGLONG SeekToBegin() { return Seek(0, CFile::begin); }
    virtual ULONGLONG SeekToEnd() { return Seek(0, CFile::end); }
    virtual CString GetFilePath() const = 0;
    virtual bool HasFilePath() const = 0;
    virtual UINT Read(void* buffer, UINT count) = 0;
    virtual void Write(const void* buffer, UINT count) = 0;
    virtual bool IsClosed() const = 0;
    virtual ~CPkAbstractFile() = default;

    // Seeks to an unsigned position: from the beginning, or counted back from
    // the end; an offset above the signed range flips the direction.
    ULONGLONG SeekDirected(ULONGLONG offset, bool fromBeginning);
};

class CPkFile : public CPkAbstractFile, public CFile {
public:
    CPkFile() = default;
    // Opens at once; failures throw the framework's file exception.
    CPkFile(const WCHAR* path, UINT openFlags) { Open(path, openFlags, true); }
    ~CPkFile() override;

    bool Open(const WCHAR* path, UINT openFlags, bool throwOnFailure) override;
    using CFile::Open;
    void Close() override;
    void Flush() override { CFile::Flush(); }
    ULONGLONG GetPosition() const override { return CFile::GetPosition(); }
    ULONGLONG Seek(LONGLONG offset, UINT origin) override { return CFile::Seek(offset, origin); }
    ULONGLONG GetLength() const override { return CFile::GetLength(); }
    void SetLength(ULONGLONG length) override { CFile::SetLength(length); }
    ULONGLONG SeekToBegin() override { return CFile::Seek(0, CFile::begin); }
    ULONGLONG SeekToEnd() override { return CFile::Seek(0, CFile::end); }
    CString GetFilePath() const override;
    bool HasFilePath() const override { return true; }
    UINT Read(void* buffer, UINT count) override { return CFile::Read(buffer, count); }
    void Write(const void* buffer, UINT count) override { CFile::Write(buffer, count); }
    bool IsClosed() const override { return m_hFile == INVALID_HANDLE_VALUE; }
};
