// CFileOps: the file-system work of the jobs and the view that is not
// encryption: deleting, renaming and copying files and folder trees, reading
// tests, byte comparison, and secure deletion (overwrite, then delete).
//
// Tree operations stop at the first failure, keep its text and system code in
// m_strError / m_nError and return false (inside they throw CFExeption*).
// They never work through a link (a reparse point, or a Unix symbolic link,
// which the system shows as a plain file or folder): a link is removed or
// skipped as a link, never followed. Names the system takes for a device are
// never opened. Copies never replace a file. Secure deletion throws nothing
// and returns codes.
#pragma once

#include "framework/base/CString.h"
#include "framework/base/Collections.h"

#include <windows.h>

#include <cstdint>

// The directory walk of the program: calls visit(entry data) for every entry
// that a search pattern ("C:\a\*") finds, but "." and "..". False when the
// pattern finds nothing at all, also when the folder cannot be read.
template <class Visit>
bool ForEachEntry(const CString& pattern, Visit visit)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern, &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    struct Closer {
        HANDLE h;
        ~Closer() { FindClose(h); }
    } closer{find};
    do {
        bool dot = data.cFileName[0] == L'.' &&
                   (data.cFileName[1] == 0 || (data.cFileName[1] == L'.' && data.cFileName[2] == 0));
        if (!dot)
            visit(data);
    } while (FindNextFileW(find, &data));
    return true;
}

// Thrown by pointer inside the tree operations; the catcher copies and deletes it.
class CFExeption {
public:
    // A system error: the text is the system's message for the code.
    explicit CFExeption(DWORD systemError);
    // A failure of our own: the text as given, code 0.
    explicit CFExeption(const CString& text);

    CString GetText() const { return m_strText; }
    int GetCode() const { return m_nCode; }

private:
    CString m_strText;
    int m_nCode;
};

enum PathType {
    PATH_UNREADABLE = -1,  // the attributes cannot be read for another reason
    PATH_MISSING = 0,
    PATH_FILE = 1,
    PATH_FOLDER = 2,
};

enum SecureDeleteResult {
    SECURE_DELETE_WIPED = 0,       // a wipe was attempted and the file is gone
    SECURE_DELETE_NOT_WIPED = -1,  // missing path, a folder, or a file deleted without wiping
    SECURE_DELETE_FAILED = -2,     // the file still exists afterwards, not overwritten
    SECURE_DELETE_WIPED_NOT_DELETED = -3,  // overwritten, but the file could not be deleted and stays
};

enum WipeResult {
    WIPE_OK = 0,
    WIPE_FAILED = 64,     // cannot be opened, a write failed, or the deletion failed
    WIPE_READ_ONLY = 65,  // the read-only attribute could not be cleared
};

class CFileOps {
public:
    CFileOps() { Init(); }
    virtual ~CFileOps() = default;
    void Init();

    // Queries
    static int GetPathType(const CString& path);
    // True when the file can be opened for reading with sharing for readers only.
    static bool CanReadFile(const CString& path);
    static void AddBackslash(CString& path);
    // Byte-for-byte comparison; false when either file cannot be read.
    static bool FilesEqual(const CString& pathA, const CString& pathB);
    // True when the path's last component is a link (junction, symbolic link,
    // to a file or a folder, its target there or not): never entered, opened,
    // renamed or deleted through.
    static bool IsLink(const CString& path);
    // The same with the path's attributes (GetFileAttributesW) already read.
    static bool IsLink(const CString& path, DWORD attributes);

    // Tree operations
    // Deletes a file or a folder tree; true on success, and also when the user
    // cancelled at a read-only file (m_nError is then 0).
    bool Delete(const CString& path);
    bool RenamePath(const CString& oldPath, const CString& newPath);
    // Copies a file or folder tree into the destination folder under its own
    // name; a file of a name already taken there fails the copy.
    bool CopyPathInto(const CString& source, const CString& destinationFolder);
    // Copies a file or folder tree to `target`, a path where nothing stands yet.
    bool CopyPathTo(const CString& source, const CString& target);

    // Secure deletion (SecureDeleteResult); the quick form wipes only the head.
    // A link is removed as a link; nothing it leads to is wiped.
    static int SecureDeleteFile(const CString& path);
    static int SecureDeleteFileQuick(const CString& path);
    // Overwrite, then delete (WipeResult).
    static int WipeFileData(const CString& path);
    static int WipeFileHead(const CString& path);
    // Overwrites length bytes from the file position with the patterns 0x00,
    // 0xFF and random (or random only), moving back before each further pass.
    static bool WritePatternPasses(HANDLE file, uint64_t length, bool randomOnly);

    CString m_strError;
    int m_nError;
    BYTE m_bKeptItem;
    int m_nCopyBudget;
    // Links and names of devices the copies left out, by full path; kept
    // until Init.
    CStringArray m_Skipped;

    // The question a caller puts to the user before a read-only file is deleted.
    static CString DeleteReadOnlyQuestion(const CString& fileName);

protected:
    // Asks whether to delete a read-only file: IDYES, IDNO or IDCANCEL. The
    // engine shows nothing itself: without a caller that asks the user (an
    // override showing DeleteReadOnlyQuestion), the file is kept (IDNO).
    virtual int AskDeleteReadOnly(const CString& fileName);

    void DeletePath(const CString& path);
    void Rename(const CString& oldPath, const CString& newPath);
    void Copy(const CString& source, const CString& destination);
    void CopyAs(const CString& source, const CString& target);
    // Throws when the source may not be copied: missing, a link, or a device name.
    static void CheckCopySource(const CString& source);
    void CopyTree(const CString& pattern, const CString& destinationFolder);
    // (CopyFile is the system's macro for CopyFileW, so this member is CopyFileW too.)
    void CopyFile(const CString& source, const CString& destination);
    bool ConfirmDeleteReadOnly(const CString& path);
    void SetCopyBudget(const CString& source, const CString& destination);
    static CString GetFolderName(const CString& pattern);
    static bool IsAlreadyInFolder(const CString& source, const CString& destinationFolder);

private:
    template <class Step>
    bool Guarded(Step step);
    static int SecureDelete(const CString& path, bool headOnly);
    static int WipeFile(const CString& path, bool headOnly);
    // The overwrite passes of WipeFile, without the deletion (WipeResult).
    static int OverwriteFile(const CString& path, bool headOnly);
    // Removes a link itself, never what it leads to.
    static bool RemoveLink(const CString& path);
};
