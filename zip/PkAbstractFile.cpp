#include "zip/PkAbstractFile.h"

bool CPkAbstractFile::Open(const WCHAR*, UINT, bool) { return false; }

ULONGLONG CPkAbstractFile::SeekDirected(ULONGLONG offset, bool fromBeginning)
{
    if (offset > 0x7FFFFFFFFFFFFFFFull) {
        offset = GetLength() - offset;
        fromBeginning = !fromBeginning;
    }
    if (fromBeginning)
        return Seek((LONGLONG)offset, CFile::begin);
    return Seek(-(LONGLONG)offset, CFile::end);
}

CPkFile::~CPkFile()
{
    if (!IsClosed())
        Abort();
}

bool CPkFile::Open(const WCHAR* path, UINT openFlags, bool throwOnFailure)
{
    CFileException* error = new CFileException();
    if (CFile::Open(path, openFlags, error)) {
        error->Delete();
        return true;
    }
    if (!throwOnFailure) {
        error->Delete();
        return false;
    }
    throw error;
}

void CPkFile::Close()
{
    if (!IsClosed())
        CFile::Close();
}

CString CPkFile::GetFilePath() const { return CFile::GetFilePath(); }
