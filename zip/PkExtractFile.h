// CPkExtractFile: the file an entry is extracted into. Where nothing stands at
// the target it is created there at once (never over anything); otherwise it
// is a temporary file beside the target, and only a complete, checked file
// replaces the target (renamed over it through the open handle). A file that
// is not kept or renamed is deleted, so no partial file is left and an
// existing file is never lost.
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
    // Creates the target itself; false when something already stands there,
    // other failures throw CFileException.
    bool CreateAtTarget(const CString& target);
    void Write(const void* bytes, uint32_t count);
    // Times (0 or less: now) and attributes in one call; false when refused.
    bool SetTimesAndAttributes(int64_t modification, int64_t creation, int64_t access, DWORD attributes);
    // Renames the file over the target; false (error in GetLastError) when refused.
    bool ReplaceTarget(const CString& target);
    // Closes a file created at its target, which then stays.
    void KeepAtTarget();
    // Deletes the file unless it replaced its target or was kept.
    void Discard();
    const CString& GetPath() const { return m_path; }

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    CString m_path;
};
