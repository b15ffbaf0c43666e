// COrvantisDoc: the folder backup. A folder is packed into one zip archive
// ("compressed.zip" in the folder), entry names encrypted with the folder-name
// codec while a password is set, and the packed files are deleted once the
// archive is known to hold them; the reverse unpacks such an archive. Both run
// on the user-interface thread and send no job reports.
#include "doc/OrvantisDoc.h"

#include "crypt/FileOps.h"
#include "crypt/PathParts.h"
#include "framework/windows/AfxMessageBox.h"
#include "framework/base/CFile.h"
#include "framework/windows/CWaitCursor.h"
#include "zip/PkException.h"

#include <map>
#include <vector>

namespace {

const uint64_t kMaxBackupBytes = 2000000000;
// The archive's entry count is a 16-bit field.
const int kMaxEntries = 65535;
const uint32_t kEntryBufferSize = 65536;
const int kCompressionLevel = 6;
const uint32_t kAddRules = 1;

const WCHAR kArchiveName[] = L"\\compressed.zip";

// Closes the archive when it is still open as the operation ends: after a
// failure nothing more is written to it.
class ArchiveCloser {
public:
    explicit ArchiveCloser(CPkArchive& archive) : m_archive(archive) {}
    ~ArchiveCloser()
    {
        if (!m_archive.IsOpen())
            return;
        try {
            m_archive.CloseArchive(CPkArchive::cmAfterException);
        } catch (CException* e) {
            e->Delete();
        }
    }
    ArchiveCloser(const ArchiveCloser&) = delete;
    ArchiveCloser& operator=(const ArchiveCloser&) = delete;

private:
    CPkArchive& m_archive;
};

// Entry names compared as stored: separators as "\", no trailing one.
CString NormalName(const CString& name)
{
    CString normal = name;
    normal.Replace(L'/', L'\\');
    normal.TrimRight(L'\\');
    return normal;
}

bool ReadFileSize(const CString& path, uint64_t& size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    return true;
}

// A full path: "X:\..." or a network or device path "\\...".
bool IsFullPath(const CString& path)
{
    if (path.GetLength() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'))
        return true;
    return path.GetLength() >= 3 && path[0] == L'\\' && path[1] == L'\\';
}

bool IsDriveRoot(const CString& folder)
{
    CString trimmed = folder;
    trimmed.TrimRight(L"\\/");
    return trimmed.GetLength() == 2 && trimmed[1] == L':';
}

bool StartsWithLocalHeader(const CString& path)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary))
        return false;
    unsigned char bytes[4] = {};
    UINT got = file.Read(bytes, 4);
    return got == 4 && bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] == 3 && bytes[3] == 4;
}

// Takes the links and the names of devices out of the items: a link would be
// packed from what it leads to and then deleted through, and a device would
// be read in place of the file. Returns how many were taken out.
int LeaveOutLinksAndDevices(CAddInfoList& items)
{
    int leftOut = 0;
    for (int i = items.GetSize() - 1; i >= 0; --i) {
        const CString& path = items[i]->m_strPath;
        if (!IsDeviceName(PathFilePart(path)) && !CFileOps::IsLink(path))
            continue;
        delete items[i];
        items.RemoveAt(i);
        ++leftOut;
    }
    return leftOut;
}

// A file packed into the archive under `entryName`.
struct PackedFile {
    CString path;
    CString entryName;
};

// Entries that tested sound, by normal name, with their sizes.
typedef std::map<CString, uint64_t> SoundEntries;

// The name an item is stored under: its path relative to the folder with
// every component encrypted, or "" (the library's default, the plain relative
// path) when the codec cannot give the relative path back.
CString StoredName(const CNameCrypt& names, const CString& base, const CString& path)
{
    CString relative = path.Mid(base.GetLength());
    relative.TrimLeft(L'\\');
    CString encrypted = names.EncryptPathNames(relative);
    return names.DecryptPathNames(encrypted) == relative ? encrypted : CString();
}

// Creates the archive and adds the items in list order, each on its own: an
// item the library refuses or fails on is left out and the rest go on. The
// files added are listed in `packed`. False when not every item was added.
bool PackItems(CPkArchive& archive, const CNameCrypt& names, const CString& base, const CString& archivePath,
               const CAddInfoList& items, std::vector<PackedFile>& packed, bool& created)
{
    ArchiveCloser closer(archive);
    archive.SetIoBuffers(1500000, 65536, 32768);
    created = false;
    try {
        archive.OpenArchive(archivePath, CPkStorage::omCreate, 0);
    } catch (CException* e) {
        AfxReportException(*e);
        e->Delete();
        return false;
    }
    created = true;
    archive.SetPassword(nullptr);
    archive.SetBaseFolder(base);
    // The library compresses on its worker threads and writes in list order.
    std::vector<ZipAddRequest> requests;
    for (int i = 0; i < items.GetSize(); ++i) {
        requests.emplace_back(items[i]->m_strPath, false);
        requests.back().m_szFileNameInZip = StoredName(names, base, items[i]->m_strPath);
        requests.back().m_iComprLevel = kCompressionLevel;
        requests.back().m_iSmartLevel = ZipFlagWord(kAddRules);
    }
    std::vector<ZipEntryResult> added;
    bool allAdded = true;
    try {
        archive.AddFiles(requests, added);
    } catch (CException* e) {
        e->Delete();
        allAdded = false;
    }
    for (size_t i = 0; i < added.size(); ++i) {
        if (!added[i].m_bDone)
            allAdded = false;
        else if (!items[(int)i]->m_bFolder)
            packed.push_back({items[(int)i]->m_strPath, requests[i].m_szFileNameInZip});
    }
    archive.SetBaseFolder(nullptr);
    archive.SetScratchFolder(nullptr);
    try {
        archive.CloseArchive(CPkArchive::cmNormal, false);
    } catch (CException* e) {
        // The central directory could not be written: the check will fail.
        e->Delete();
        return false;
    }
    return allAdded;
}

// Tests every entry of the archive, opened read-only, and compares each file
// entry with the file of its name in the folder, when there is one. Sound
// entries go into `sound` (when given). A failed test or an error of the
// library ends the check; a size that differs fails it.
bool CheckArchive(CPkArchive& archive, const CString& base, const CString& archivePath, SoundEntries* sound)
{
    ArchiveCloser closer(archive);
    bool result = true;
    try {
        archive.OpenArchive(archivePath, CPkStorage::omReadOnly, 0);
        uint16_t count = archive.GetEntryCount();
        if (!archive.TestEntries(0, count, kEntryBufferSize))
            return false;
        for (uint16_t i = 0; i < count; ++i) {
            CPkFileHeader header;
            if (!archive.GetEntryInfo(header, i))
                return false;
            if (header.IsDirectory())
                continue;
            CString name = NormalName(header.GetEntryName(true));
            uint64_t size = 0;
            if (ReadFileSize(base + L"\\" + name, size) && size != header.m_uUncomprSize)
                result = false;
            else if (sound)
                (*sound)[name] = header.m_uUncomprSize;
        }
        archive.CloseArchive(CPkArchive::cmNormal, false);
    } catch (CException* e) {
        e->Delete();
        return false;
    }
    return result;
}

// Moves the archive into place (copied when the two lie on different
// volumes), replacing an older one; true when the placed file is complete.
bool PlaceArchive(const CString& from, const CString& to)
{
    uint64_t size = 0, placedSize = 0;
    if (!ReadFileSize(from, size))
        return false;
    if (!MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
        return false;
    return ReadFileSize(to, placedSize) && placedSize == size;
}

}  // namespace

// Folders the backup works on must be given as full paths: an empty or
// relative one would resolve against the current folder or a drive's root.
bool COrvantisDoc::CheckBackupFolder(const CString& folder)
{
    if (IsFullPath(folder))
        return true;
    AfxMessageBox(L"This command works on a folder of the disk: open one in the list first.", MB_OK);
    return false;
}

bool COrvantisDoc::ZipFolderBackup(const CString& folder, const CString& tempArchive)
{
    // The caller made the temporary file: it goes first, so that no refusal leaves it behind.
    if (GetFileAttributesW(tempArchive) != INVALID_FILE_ATTRIBUTES)
        RemoveTempFile(tempArchive, true);
    if (IsDriveRoot(folder)) {
        AfxMessageBox(L"For security reasons adding root folder into single protected archive is forbidden", MB_OK);
        return false;
    }
    if (!CheckBackupFolder(folder))
        return false;
    CWaitCursor wait;
    CString base = folder;
    base.TrimRight(L'\\');
    const CString target = base + kArchiveName;

    CAddInfoList items;
    CollectFolderItems(base, items);
    int leftOut = LeaveOutLinksAndDevices(items);
    if (items.GetSize() > kMaxEntries) {
        AfxMessageBox(L"The folder holds more than 65535 files and folders, more than one archive can hold.\nAborting.",
                      MB_OK);
        return false;
    }
    uint64_t total = 0;
    for (int i = 0; i < items.GetSize(); ++i) {
        uint64_t size = 0;
        if (!items[i]->m_bFolder && ReadFileSize(items[i]->m_strPath, size))
            total += size;
    }
    if (total > kMaxBackupBytes) {
        AfxMessageBox(L"The result archive must be < 2GB\nAborting.", MB_OK);
        return false;
    }

    std::vector<PackedFile> packed;
    bool created = false;
    if (leftOut > 0) {
        CString text;
        text.Format(L"%d link(s) or file(s) named like a device (nul, aux.c...) are not packed; they stay in the folder.",
                    leftOut);
        AfxMessageBox(text, MB_OK);
    }
    bool allPacked = PackItems(m_Archive, m_NameCrypt, base, tempArchive, items, packed, created) && leftOut == 0;
    if (!created) {
        RemoveTempFile(tempArchive, false);
        return false;
    }
    // Every packed file must stand in the archive as an entry of its size
    // that tested sound before anything is deleted.
    SoundEntries sound;
    bool checked = CheckArchive(m_Archive, base, tempArchive, &sound);
    for (const PackedFile& file : packed) {
        auto entry = sound.find(NormalName(file.entryName));
        uint64_t size = 0;
        if (entry == sound.end() || !ReadFileSize(file.path, size) || size != entry->second)
            checked = false;
    }
    if (!checked)
        AfxMessageBox(L"Error when checking package. \nThe original files will not be removed for safety.", MB_OK);

    // An archive that failed its check never replaces an older one, which
    // may hold the only copy of files an earlier backup deleted.
    bool olderArchive = GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES;
    bool placed = (checked || !olderArchive) && PlaceArchive(tempArchive, target);
    // The temporary archive is a plain copy of the folder's files.
    if (GetFileAttributesW(tempArchive) != INVALID_FILE_ATTRIBUTES)
        RemoveTempFile(tempArchive, false);
    if (!checked || !placed)
        return false;

    CString lowerTarget = target;
    lowerTarget.MakeLower();
    bool allRemoved = true;
    for (const PackedFile& file : packed) {
        CString lowerPath = file.path;
        if (lowerPath.MakeLower() == lowerTarget)
            continue;
        // Looked at once more: a file changed since the check stays.
        uint64_t size = 0;
        if (!ReadFileSize(file.path, size) || size != sound[NormalName(file.entryName)] ||
            !RemoveTempFile(file.path, false))
            allRemoved = false;
    }
    for (int i = items.GetSize() - 1; i >= 0; --i)
        if (items[i]->m_bFolder && items[i]->m_strPath != folder)
            RemoveDirectoryW(items[i]->m_strPath);
    return allPacked && allRemoved;
}

bool COrvantisDoc::VerifyZipPackage(const CString& folder, const CString& archive)
{
    CString base = folder;
    base.TrimRight(L'\\');
    return CheckArchive(m_Archive, base, archive, nullptr);
}

bool COrvantisDoc::UnzipFolderBackup(const CString& destination, const CString& archive)
{
    if (!StartsWithLocalHeader(archive)) {
        AfxMessageBox(L"incorrect header file", MB_OK);
        return false;
    }
    if (!CheckBackupFolder(destination))
        return false;
    CWaitCursor wait;
    ArchiveCloser closer(m_Archive);
    try {
        m_Archive.OpenArchive(archive, CPkStorage::omReadOnly, 0);
    } catch (CException* e) {
        AfxMessageBox(L"incorrect file", MB_OK);
        AfxReportException(*e);
        e->Delete();
        return false;
    }
    m_Archive.SetDirectoryOption(0);
    CString target = destination;
    if (target.Left(2) == L"\\\\" && target.Left(4) != L"\\\\?\\")
        target = L"\\\\?\\UNC\\" + target.Mid(2);

    // The library refuses names that would leave the destination, and writes
    // each entry to a temporary file that replaces an existing file only once
    // it is complete and its CRC is checked.
    bool allExtracted = true;
    uint16_t count = m_Archive.GetEntryCount();
    std::vector<ZipExtractRequest> requests;
    for (uint16_t i = 0; i < count; ++i) {
        CPkFileHeader header;
        if (!m_Archive.GetEntryInfo(header, i)) {
            allExtracted = false;
            continue;
        }
        CString stored = header.GetEntryName(true);
        CString name = m_NameCrypt.DecryptPathNames(stored);
        requests.emplace_back();
        requests.back().m_uIndex = i;
        requests.back().m_szFolder = target;
        requests.back().m_szNewName = name.IsEmpty() ? stored : name;
        requests.back().m_nBufSize = kEntryBufferSize;
    }
    std::vector<ZipEntryResult> extracted;
    try {
        m_Archive.ExtractEntries(requests, extracted);
    } catch (CException* e) {
        e->Delete();
        allExtracted = false;
    }
    for (const ZipEntryResult& result : extracted)
        if (!result.m_bDone)
            allExtracted = false;
    try {
        m_Archive.CloseArchive(CPkArchive::cmNormal, false);
    } catch (CException* e) {
        e->Delete();
    }
    return allExtracted;
}
