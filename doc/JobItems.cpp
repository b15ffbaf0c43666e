// COrvantisDoc: the job lists, temporary files, one-file deletion and file times.
#include "doc/OrvantisDoc.h"

#include "crypt/EncryptedFileName.h"
#include "crypt/FileCipher.h"
#include "crypt/FileOps.h"
#include "crypt/KeyState.h"
#include "crypt/PathParts.h"
#include "doc/JobNames.h"
#include "doc/JobSteps.h"

namespace {

CString WithoutTrailingBackslashes(const CString& path)
{
    CString copy = path;
    copy.TrimRight(L'\\');
    return copy;
}

// "X:" or "X:\..." or a network or device path "\\...". An empty or
// relative folder would be taken from the current drive or folder.
bool IsFullFolderPath(const CString& path)
{
    WCHAR drive = path.IsEmpty() ? 0 : (WCHAR)(path[0] | 0x20);
    if (path.GetLength() >= 2 && drive >= L'a' && drive <= L'z' && path[1] == L':')
        return path.GetLength() == 2 || path[2] == L'\\';
    return path.GetLength() > 2 && path[0] == L'\\' && path[1] == L'\\';
}

// The name a copy of `selected` takes in `destination` (ending in "\"): its
// own, or, when something stands there under it, a free one that is logged:
// a new random encrypted name for an encrypted file, else "name (n).ext".
CString FreeCopyName(const CString& selected, const CString& destination, bool folder)
{
    CString name = PathFilePart(selected);
    if (!PathIsTaken(destination + name))
        return name;
    CString freeName;
    if (!folder && IsEncryptedFileName(name)) {
        do
            freeName = MakeRandomEncryptedFileName();
        while (PathIsTaken(destination + freeName));
    } else {
        freeName = UniqueNameInFolder(destination, name);
    }
    COrvantisDoc::ProgressLog(LOG_WARNING, name + L" already exists in the destination, copying as: " + freeName);
    return freeName;
}

// Deletes one file of a job, wiped first when `secure`. A link is left alone:
// the system would delete what it leads to.
OriginalDeletion DeleteJobFile(const CString& path, bool secure)
{
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || CFileOps::IsLink(path, attributes))
        return ORIGINAL_STAYS;
    if ((attributes & FILE_ATTRIBUTE_READONLY) && !SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL))
        return ORIGINAL_STAYS;
    if (!secure)
        return DeleteFileW(path) ? ORIGINAL_DELETED : ORIGINAL_STAYS;
    if (CFileOps::SecureDeleteFile(path) == SECURE_DELETE_WIPED_NOT_DELETED)
        return ORIGINAL_WIPED_BUT_STAYS;
    // A wipe that could not delete the file must not count as a deletion.
    return GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES ? ORIGINAL_DELETED : ORIGINAL_STAYS;
}

// Copies a selected item into `destination` under a free name, with the copy
// lines of the jobs, and returns the copy's path. The links and names of
// devices the copy left out are counted into `leftOut`, each with its line.
CString CopyIntoDestination(const CString& selected, const CString& destination, bool folder, int& leftOut)
{
    CString path = destination + FreeCopyName(selected, destination, folder);
    if (folder) {
        COrvantisDoc::ProgressLog(LOG_PLAIN, L"Copy Folder: " + selected + L" >>> " + path);
        COrvantisDoc::ProgressLog(LOG_PLAIN, L"May take some time depending on the file sizes...");
    } else {
        COrvantisDoc::ProgressLog(LOG_PLAIN, L"Copy: " + selected + L" >>> " + path);
    }
    CFileOps ops;
    bool copied = ops.CopyPathTo(selected, path);
    if (folder)
        COrvantisDoc::ProgressLog(copied ? LOG_OK : LOG_ERROR, copied ? L"Copy ok" : L"Copy FAILED");
    else
        COrvantisDoc::ProgressLog(copied ? LOG_OK : LOG_ERROR, copied ? L"File Copy ok" : L"File Copy FAILED");
    for (int i = 0; i < ops.m_Skipped.GetSize(); ++i)
        leftOut += SkipLinkOrDevice(ops.m_Skipped[i]) ? 1 : 0;
    return path;
}

}  // namespace

bool COrvantisDoc::CollectFolderItems(const CString& folder, CAddInfoList& list)
{
    return CollectItems(folder, list, m_Options.m_bRecurse != 0);
}

bool COrvantisDoc::CollectJobItems(const CString& folder, CAddInfoList& list)
{
    return CollectItems(folder, list, m_job.options.m_bRecurse != 0);
}

bool COrvantisDoc::CollectItems(const CString& folder, CAddInfoList& list, bool recurse)
{
    CString base = WithoutTrailingBackslashes(folder);
    if (!IsFullFolderPath(base))
        return true;
    CAddInfoList files, folders;
    ForEachEntry(base + L"\\*", [&](const WIN32_FIND_DATAW& entry) {
        CString path = base + L"\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.Add(new CAddInfo(path, 0, 1));
        else
            files.Add(new CAddInfo(path, entry.nFileSizeLow, 0));
    });
    files.SetCompare(CompareAddInfo);
    files.Sort();
    folders.SetCompare(CompareAddInfo);
    folders.Sort();
    list.TakeAllFrom(files);
    for (int i = 0; i < folders.GetSize(); ++i) {
        CAddInfo* item = folders.GetAt(i);
        list.Add(item);
        folders.ElementAt(i) = nullptr;  // the output owns it now
        // A folder link is listed but never entered: it may lead outside the
        // tree or back into it without end.
        if (recurse && !CFileOps::IsLink(item->m_strPath))
            CollectItems(item->m_strPath, list, true);
    }
    return true;
}

bool COrvantisDoc::AddFileItem(const CString& path, CAddInfoList& list)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    DWORD size = GetFileAttributesExW(path, GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
    list.Add(new CAddInfo(path, size, 0));
    return true;
}

CString COrvantisDoc::MakeTempFileName()
{
    WCHAR folder[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return CString();
    WCHAR name[MAX_PATH];
    if (!GetTempFileNameW(folder, kTempFilePrefix, 0, name))
        return CString();
    return name;
}

namespace {

// The files in the user's temporary folder that carry the jobs' prefix.
std::set<CString> TempFilesOfJobs()
{
    std::set<CString> files;
    WCHAR folder[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length > MAX_PATH)
        return files;
    ForEachEntry(CString(folder) + COrvantisDoc::kTempFilePrefix + L"*", [&](const WIN32_FIND_DATAW& found) {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.insert(CString(folder) + found.cFileName);
    });
    return files;
}

}  // namespace

bool COrvantisDoc::Start()
{
    m_tempFilesBeforeJob = TempFilesOfJobs();
    m_bJobStarted = true;
    return CThread::Start();
}

void COrvantisDoc::WipeTempFilesOfJob()
{
    if (!m_bJobStarted)
        return;  // no job started: every such file is someone else's
    // Files that were there before the job are someone else's. (Not told by
    // their times: a file system may keep creation times in whole seconds.)
    for (const CString& path : TempFilesOfJobs()) {
        if (!m_tempFilesBeforeJob.count(path))
            CFileOps::SecureDeleteFile(path);
    }
}

void COrvantisDoc::FindFilesByName(const CString& folder, const CString& text, CStringArray& results)
{
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, (LPCWSTR)IDC_WAIT));
    CAddInfoList list;
    CollectFolderItems(folder, list);
    bool keySet = HasKey();
    CString wanted = text;
    wanted.MakeLower();
    CFileCipher cipher;
    for (int i = 0; i < list.GetSize(); ++i) {
        const CAddInfo* item = list.GetAt(i);
        if (item->m_bFolder)
            continue;
        CString shown = PathFilePart(item->m_strPath);
        if (keySet && IsEncryptedFileName(shown)) {
            CString plain = cipher.ReadOriginalName(item->m_strPath);
            if (!plain.IsEmpty())
                shown = plain;
        }
        shown.MakeLower();
        if (shown.Find(wanted) >= 0)
            results.Add(item->m_strPath);
    }
    SetCursor(previous);
}

// The selection as a job list. In copy mode each selected item is copied into
// the destination first, never over anything that stands there, and the copy
// is listed: its path is the destination plus the copy's name, so a failed
// copy is never replaced by the original. A selected folder stands before its
// contents. Links and names of devices are left out, each with its line.
int COrvantisDoc::ListSelection(CAddInfoList& list)
{
    const CStringArray& selection = m_job.selection;
    bool copyMode = !m_job.source.IsEmpty() && !m_job.destination.IsEmpty();
    int leftOut = 0;
    for (int i = 0; i < selection.GetSize(); ++i) {
        CString selected = WithoutTrailingBackslashes(selection[i]);
        if (SkipLinkOrDevice(selected)) {
            ++leftOut;
            continue;
        }
        bool folder = CFileOps::GetPathType(selected) == PATH_FOLDER;
        CString path = copyMode ? CopyIntoDestination(selected, m_job.destination, folder, leftOut) : selected;
        if (folder) {
            int insertAt = list.GetSize();
            CollectJobItems(path, list);
            list.InsertAt(insertAt, new CAddInfo(path, 0, 1));
        } else {
            AddFileItem(path, list);
        }
    }
    return leftOut;
}

bool COrvantisDoc::DeleteOriginal(const CString& path)
{
    return DeleteJobFile(path, m_job.options.m_bSecureDelete != 0) == ORIGINAL_DELETED;
}

void COrvantisDoc::BeginFile(const CString& path, const CString& line)
{
    ProgressSetFile(path);
    ProgressLog(LOG_PLAIN, line);
}

bool COrvantisDoc::ReplaceOriginal(const CString& original, const CString& target, const FileTimes& times,
                                   OriginalDeletion& deletion)
{
    // Setting the times opens the target for reading and writing, which shows
    // that it can be read; only without that is it opened once more.
    bool timesSet = m_job.options.m_bKeepDates && times.ApplyTo(target);
    if (!timesSet && !CanOpenForReading(target)) {
        ProgressLog(LOG_ERROR, L"Something wrong, the encrypted file cannot be written to destination?");
        return false;
    }
    if (m_job.options.m_bSecureDelete)
        ProgressLog(LOG_WARNING, L"Secure Delete Original");
    // The jobs' moves never replace a file, so the target is a new file; the
    // comparison only guards against a system that moves a file onto itself.
    deletion = target.CompareNoCase(original) != 0 ? DeleteJobFile(original, m_job.options.m_bSecureDelete != 0) : ORIGINAL_STAYS;
    return true;
}

bool FileTimes::ApplyTo(const CString& path) const
{
    if (!valid)
        return false;
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = SetFileTime(file, &created, &accessed, &written) != FALSE;
    CloseHandle(file);
    return ok;
}
