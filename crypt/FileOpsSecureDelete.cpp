// CFileOps: secure deletion (overwrite passes through write-through handles, then deletion).
#include "crypt/FileOps.h"

#include "crypt/PathParts.h"
#include "crypt/SystemRandom.h"

#include <algorithm>
#include <mutex>
#include <new>

namespace {

const size_t kPatternSize = 65536;

// The three patterns (0x00, 0xFF, random), made on first use and kept for the
// life of the process; all or none exist.
struct WipePatterns {
    std::mutex lock;
    uint8_t* pattern[3] = {nullptr, nullptr, nullptr};

    bool Ensure()
    {
        std::lock_guard<std::mutex> guard(lock);
        if (pattern[2])
            return true;
        uint8_t* made[3];
        for (int i = 0; i < 3; ++i) {
            made[i] = new (std::nothrow) uint8_t[kPatternSize];
            if (!made[i]) {
                while (i--)
                    delete[] made[i];
                return false;
            }
        }
        memset(made[0], 0x00, kPatternSize);
        memset(made[1], 0xFF, kPatternSize);
        FillSystemRandom(made[2], kPatternSize);
        std::copy(made, made + 3, pattern);
        return true;
    }
};

WipePatterns g_patterns;

bool MoveBy(HANDLE file, int64_t distance)
{
    LARGE_INTEGER move;
    move.QuadPart = distance;
    return SetFilePointerEx(file, move, nullptr, FILE_CURRENT) != FALSE;
}

bool MoveTo(HANDLE file, uint64_t position)
{
    LARGE_INTEGER move;
    move.QuadPart = (LONGLONG)position;
    return SetFilePointerEx(file, move, nullptr, FILE_BEGIN) != FALSE;
}

bool StillExists(const CString& path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool CFileOps::WritePatternPasses(HANDLE file, uint64_t length, bool randomOnly)
{
    if (!g_patterns.Ensure())
        return false;
    for (int pass = randomOnly ? 2 : 0; pass < 3; ++pass) {
        if (pass != (randomOnly ? 2 : 0) && !MoveBy(file, -(int64_t)length))
            return false;
        for (uint64_t done = 0; done < length;) {
            DWORD piece = (DWORD)std::min<uint64_t>(length - done, kPatternSize), wrote = 0;
            if (!WriteFile(file, g_patterns.pattern[pass], piece, &wrote, nullptr) || wrote != piece)
                return false;
            done += piece;
        }
    }
    return true;
}

// Never through a link (its target would be overwritten) nor a device name
// (the device would be written to, the file of that name stay as it was).
int CFileOps::OverwriteFile(const CString& path, bool headOnly)
{
    if (IsDeviceName(PathFilePart(path)) || IsLink(path))
        return WIPE_FAILED;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL))
        return WIPE_READ_ONLY;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_WRITE_THROUGH, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return WIPE_FAILED;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) != FALSE;
    uint64_t n = ok ? (uint64_t)size.QuadPart : 0;
    if (ok && n > 0) {
        // The last byte gets all three passes, the bytes before it the random pattern.
        uint64_t head = headOnly ? std::min<uint64_t>(n - 1, kPatternSize) : n - 1;
        ok = MoveTo(file, n - 1) && WritePatternPasses(file, 1, false) && MoveTo(file, 0) &&
             (head == 0 || WritePatternPasses(file, head, true));
    }
    CloseHandle(file);
    return ok ? WIPE_OK : WIPE_FAILED;
}

int CFileOps::WipeFile(const CString& path, bool headOnly)
{
    int result = OverwriteFile(path, headOnly);
    if (result != WIPE_OK)
        return result;
    return DeleteFileW(path) ? WIPE_OK : WIPE_FAILED;
}

int CFileOps::WipeFileData(const CString& path) { return WipeFile(path, false); }

int CFileOps::WipeFileHead(const CString& path) { return WipeFile(path, true); }

int CFileOps::SecureDelete(const CString& path, bool headOnly)
{
    if (IsDeviceName(PathFilePart(path)))
        return SECURE_DELETE_FAILED;
    if (IsLink(path))
        return RemoveLink(path) ? SECURE_DELETE_NOT_WIPED : SECURE_DELETE_FAILED;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return SECURE_DELETE_NOT_WIPED;
    // Overwriting in place does not reach the stored bytes of these files.
    const DWORD unwipeable = FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_ENCRYPTED | FILE_ATTRIBUTE_SPARSE_FILE;
    if (data.dwFileAttributes & unwipeable) {
        DeleteFileW(path);
        return StillExists(path) ? SECURE_DELETE_FAILED : SECURE_DELETE_NOT_WIPED;
    }
    // After a failed overwrite the deletion is the plain fallback.
    bool overwritten = OverwriteFile(path, headOnly) == WIPE_OK;
    DeleteFileW(path);
    if (!StillExists(path))
        return SECURE_DELETE_WIPED;
    return overwritten ? SECURE_DELETE_WIPED_NOT_DELETED : SECURE_DELETE_FAILED;
}

int CFileOps::SecureDeleteFile(const CString& path) { return SecureDelete(path, false); }

int CFileOps::SecureDeleteFileQuick(const CString& path) { return SecureDelete(path, true); }
