// CPkExtractFile: the temporary file an entry is extracted into, created
// beside its target. Only a complete, checked file replaces the target
// (renamed over it through the open handle); otherwise it is deleted, so no
// partial file is left and an existing file is never lost.
#pragma once

#include "framework/base/CString.h"

#include <cstdint>

class CPkExtractFile {
public:
    CPkExtractFile() = default;
    ~CPkExtractFile() { Discard(); }
    CPkExtractFile(const CPkExtractFile&) = delete;
    CPkExtractFile& operator=(const CPkExtractFile&) = delete;

    // Creates a new, unique file in the folder; failures throw CFileException.
    void Create(const CString& folder);
    void Write(const void* bytes, uint32_t count);
    // Times (0 or less: now) and attributes in one call; false when refused.
    bool SetTimesAndAttributes(int64_t modification, int64_t creation, int64_t access, DWORD attributes);
    // Renames the file over the target; false (error in GetLastError) when refused.
    bool ReplaceTarget(const CString& target) { return MoveTo(target, true); }
    // Renames the file to the target only while nothing stands there; false
    // (error in GetLastError) when refused or when something does.
    bool TakeFreeTarget(const CString& target) { return MoveTo(target, false); }
    // Deletes the file unless it replaced its target.
    void Discard();
    const CString& GetPath() const { return m_path; }

private:
    bool MoveTo(const CString& target, bool replace);

    HANDLE m_file = INVALID_HANDLE_VALUE;
    CString m_path;
};
