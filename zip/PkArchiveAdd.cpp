// Adding entries: AddFile, the entry writer and in-place replacement.
#include "zip/PkArchive.h"

#include "zip/PkException.h"
#include "zip/PkMemFile.h"
#include "zip/PkPathComponent.h"
#include "zip/ZipFileSystem.h"

#include <algorithm>
#include <utility>

namespace {
const uint32_t kTinyFile = 5;
const uint64_t kMaxEntrySize = 0xFFFFFFFEull;

// Keeps the password aside for one entry and puts it back in every case.
class PasswordAside {
public:
    PasswordAside(CPkAutoBuffer& password, bool active) : m_password(password), m_active(active)
    {
        if (m_active) {
            m_kept = m_password;
            m_password.SecureRelease();
        }
    }
    ~PasswordAside()
    {
        if (m_active) {
            m_password = m_kept;
            m_kept.SecureRelease();
        }
    }

private:
    CPkAutoBuffer& m_password;
    CPkAutoBuffer m_kept;
    bool m_active;
};


bool StartsWithFolder(const CString& path, const CString& base)
{
    if (base.IsEmpty() || path.GetLength() < base.GetLength())
        return false;
    if (path.Left(base.GetLength()).CompareNoCase(base) != 0)
        return false;
    return path.GetLength() == base.GetLength() || IsPathSeparator(path[base.GetLength()]) ||
           IsPathSeparator(base[base.GetLength() - 1]);
}
}  // namespace

CString CPkArchive::PredictEntryName(const CString& path, bool fullPath, bool isFolder) const
{
    CString clean = path;
    clean.TrimRight(L"\\/");
    if (clean.IsEmpty())
        return CString();
    CString name;
    CPkPathComponent parts(clean);
    if (fullPath) {
        name = m_bRemoveDriveLetter ? parts.GetPathWithoutDrive() : clean;
    } else if (StartsWithFolder(clean, m_szRootPath)) {
        name = clean.Mid(m_szRootPath.GetLength());
        name.TrimLeft(L"\\/");
    } else {
        name = parts.GetFileName();
    }
    if (isFolder && !name.IsEmpty())
        name += L"\\";
    return name;
}

bool CPkArchive::CheckReplaceIndex(uint16_t& index)
{
    if (index == 0xFFFF)
        return true;
    if (m_storage.IsSegmented() || index >= m_centralDir.GetCount())
        return false;
    if (index == m_centralDir.GetCount() - 1) {
        RemoveLastEntry(true);
        index = 0xFFFF;
    }
    return true;
}

bool CPkArchive::RemoveLastEntry(bool force)
{
    if (m_centralDir.GetCount() == 0)
        return false;
    CPkFileHeader* last = m_centralDir.GetAt(m_centralDir.GetCount() - 1);
    if (!force && last->IsCompressionEffective())
        return false;
    m_centralDir.RemoveLastEntry(last);
    return true;
}

bool CPkArchive::BeginEntryWrite(CPkFileHeader& tmpl, int level, uint16_t replaceIndex)
{
    if (!CanWriteEntries() || m_centralDir.GetCount() >= 65535)
        return false;
    tmpl.SetSystemCompatibility((uint8_t)m_iArchiveSystCompatib);
    if (tmpl.m_uModTime == 0 && tmpl.m_uModDate == 0)
        SecondsToDosTime(ZipFileSystem::CurrentTime(), tmpl.m_uModDate, tmpl.m_uModTime);
    bool folder = tmpl.IsDirectory();
    CString name = tmpl.GetEntryName();
    if (folder && (name.IsEmpty() || !IsPathSeparator(name[name.GetLength() - 1])))
        tmpl.SetEntryName(name + L"\\");
    else if (name.IsEmpty()) {
        CString generated;
        generated.Format(L"file%u", (unsigned)m_centralDir.GetCount());
        tmpl.SetEntryName(generated);
    }
    if (IsEncryptionActive()) {
        tmpl.m_uEncryptionMethod = (uint8_t)m_iEncryptionMethod;
        CreateCryptograph(m_iEncryptionMethod);
    } else {
        tmpl.m_uEncryptionMethod = kEncryptionNone;
        m_pCryptograph.reset();
    }
    if (level < -1 || level > 9)
        level = -1;
    tmpl.m_uMethod = (level == 0 || folder) ? 0 : m_uCompressionMethod;
    CreateCompressor(tmpl.m_uMethod);
    if (!m_pCompressor)
        return false;

    CPkFileHeader* header = m_centralDir.AddNewEntry(tmpl, replaceIndex, level);
    try {
        if (replaceIndex != 0xFFFF && replaceIndex < m_centralDir.GetCount()) {
            header->EncodeText();
            uint64_t needed = (uint64_t)header->GetLocalSize() + header->GetDataDescriptorSize(m_storage) +
                              header->m_uLocalComprSize;
            MakeSpace(replaceIndex, needed, header->GetEntryName());
        }
        header->WriteLocalHeader(m_storage);
        if (m_pCryptograph)
            m_pCryptograph->BeginEncryption(m_pszPassword, *header, m_storage);
        m_pCompressor->BeginCompression(level, header, m_pCryptograph.get());
    } catch (...) {
        // No partial entry stays in the directory.
        m_centralDir.AbandonNewEntry();
        m_pCryptograph.reset();
        throw;
    }
    m_iFileOpened = 1;
    return true;
}

bool CPkArchive::WriteEntryData(const void* bytes, uint32_t count)
{
    if (m_iFileOpened != 1)
        return false;
    m_pCompressor->Compress(bytes, count);
    return true;
}

bool CPkArchive::WritePreparedEntryData(const void* bytes, uint32_t count, uint32_t plainCount, uint32_t plainCrc)
{
    if (m_iFileOpened != 1)
        return false;
    m_pCompressor->AppendPrepared(bytes, count, plainCount, plainCrc);
    return true;
}

bool CPkArchive::EndEntryWrite(bool afterFailure)
{
    if (m_iFileOpened != 1)
        return false;
    CPkFileHeader* header = m_centralDir.m_pOpenedFile;
    if (!afterFailure) {
        m_pCompressor->EndCompression(false);
        if (m_pCryptograph)
            m_pCryptograph->EndEncryption(*header, m_storage);
        m_centralDir.CloseNewEntry();
    } else {
        m_pCompressor->EndCompression(true);
        m_centralDir.AbandonNewEntry();
    }
    m_pCryptograph.reset();
    m_iFileOpened = 0;
    return true;
}

bool CPkArchive::AddFile(ZipAddRequest& request)
{
    if (m_iBufferSize == 0)
        return false;
    CString path = request.m_pFile ? request.m_pFile->GetFilePath() : request.m_szFilePath;
    if (!request.m_pFile) {
        path.TrimRight(L"\\/");
        if (path.IsEmpty())
            return false;
    }
    if (!CanWriteEntries() || !CheckReplaceIndex(request.m_uReplaceIndex))
        return false;

    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    int64_t modified = ZipFileSystem::CurrentTime();
    if (!request.m_pFile) {
        if (!ZipFileSystem::GetAttributesAndTime(path, attributes, modified))
            ThrowError(ZipCauseFileError, path);
    }
    bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CPkFileHeader header;
    header.m_iSystemCompatibility = (uint8_t)m_iArchiveSystCompatib;
    header.SetSystemAttributes(attributes);
    if (request.m_szFileNameInZip.IsEmpty())
        request.m_szFileNameInZip = PredictEntryName(path, request.m_bFullPath, folder);
    header.SetEntryName(request.m_szFileNameInZip);
    header.SetModificationTime(modified);
    uint32_t rules = request.m_iSmartLevel;

    if (folder) {
        CPkActionCallback* callback = GetCallback(CPkActionCallback::cbAdd);
        CPkCallbackScope scope(callback);
        if (callback) {
            callback->Init(request.m_szFileNameInZip, path);
            callback->SetTotal(0);
        }
        PasswordAside aside(m_pszPassword, (rules & ZipAddRequest::rlFolderPlain) != 0);
        if (!BeginEntryWrite(header, 0, request.m_uReplaceIndex))
            return false;
        try {
            EndEntryWrite(false);
        } catch (...) {
            EndEntryWrite(true);
            throw;
        }
        return true;
    }

    int level = request.m_iComprLevel;
    if (level < -1 || level > 9)
        level = -1;
    if (m_uCompressionMethod == 0)
        level = 0;
    bool second = (rules & ZipAddRequest::rlStoredAgain) == ZipAddRequest::rlStoredAgain;
    bool compress = level != 0;
    bool check = !second && (rules & ZipAddRequest::rlCheckEfficiency) && compress;
    bool replacing = request.m_uReplaceIndex != 0xFFFF;
    bool useTrial = (check && m_storage.IsSegmented()) || (replacing && compress);
    bool sizeKnown = false;
    uint64_t size = 0;
    if (!second && (((rules & ZipAddRequest::rlStoreTiny) && compress) ||
                    ((rules & ZipAddRequest::rlEmptyPlain) && IsEncryptionActive()) || useTrial)) {
        if (request.m_pFile) {
            size = request.m_pFile->GetLength();
            sizeKnown = true;
        } else {
            uint32_t length = 0;
            sizeKnown = ZipFileSystem::GetFileLength(path, length);
            size = length;
        }
        if (!sizeKnown) {
            check = useTrial = false;
            if (replacing)
                level = 0;
        }
    }
    if (sizeKnown && size > kMaxEntrySize)
        ThrowError(ZipCauseTooBigSize, path);
    PasswordAside aside(m_pszPassword, sizeKnown && size == 0 && (rules & ZipAddRequest::rlEmptyPlain) &&
                                           IsEncryptionActive());
    if (sizeKnown && size < kTinyFile && (rules & ZipAddRequest::rlStoreTiny) && compress)
        level = 0;
    if (useTrial && level != 0)
        return AddFileThroughTrial(request, header, path, level, check, size);
    return AddFileDirect(request, header, path, level, check, replacing, sizeKnown, size);
}

bool CPkArchive::AddFileDirect(ZipAddRequest& request, CPkFileHeader& header, const CString& path, int level,
                               bool check, bool replacing, bool sizeKnown, uint64_t size)
{
    CPkFile ownFile;
    CPkAbstractFile* source = request.m_pFile;
    if (source) {
        source->SeekToBegin();
    } else {
        if (!ownFile.Open(path, CFile::modeRead | CFile::shareDenyNone, false))
            return false;
        source = &ownFile;
    }
    if (!sizeKnown || !request.m_pFile)
        size = source->GetLength();
    // Sizes are 32-bit fields: refuse before anything is written.
    if (size > kMaxEntrySize)
        ThrowError(ZipCauseTooBigSize, path);
    // An entry replaced in place is stored: the room made for it must be
    // known before its data is written.
    if (replacing) {
        level = 0;
        check = false;
    }
    header.m_uLocalUncomprSize = (uint32_t)size;
    header.m_uLocalComprSize = level == 0 ? (uint32_t)size : 0;
    if (!BeginEntryWrite(header, level, replacing ? request.m_uReplaceIndex : 0xFFFF))
        return false;

    uint32_t rules = request.m_iSmartLevel;
    bool second = (rules & ZipAddRequest::rlStoredAgain) == ZipAddRequest::rlStoredAgain;
    CPkActionCallback* callback = GetCallback(second ? CPkActionCallback::cbAddStore : CPkActionCallback::cbAdd);
    CString name = request.m_szFileNameInZip;
    bool stopped = false, unfinished = false;
    try {
        CPkCallbackScope scope(callback);
        if (callback) {
            callback->Init(name, path);
            callback->SetTotal(size);
        }
        CPkAutoBuffer block(request.m_nBufSize ? request.m_nBufSize : 65536, false);
        for (;;) {
            uint32_t got = source->Read(block.GetBuffer(), block.GetSize());
            if (got == 0)
                break;
            m_pCompressor->Compress(block.GetBuffer(), got);
            if (callback && !callback->RequestCallback(got)) {
                stopped = true;
                char probe;
                unfinished = got == block.GetSize() && source->Read(&probe, 1) == 1;
                break;
            }
            if (got < block.GetSize())
                break;
        }
        if (unfinished) {
            EndEntryWrite(true);
            ThrowZipException((replacing || m_storage.IsSegmented()) ? ZipCauseAbortedAction : ZipCauseAbortedSafely);
        }
        EndEntryWrite(false);
        if (!stopped && callback && !callback->RequestLastCallback())
            stopped = true;
        if (stopped)
            ThrowZipException(ZipCauseAbortedSafely);
    } catch (...) {
        if (m_iFileOpened == 1)
            EndEntryWrite(true);
        throw;
    }
    if (check) {
        ownFile.Close();
        if (RemoveLastEntry(false)) {
            ZipAddRequest again = request;
            again.m_iComprLevel = 0;
            again.m_iSmartLevel = ZipAddRequest::rlStoredAgain;
            return AddFile(again);
        }
    }
    return true;
}

bool CPkArchive::AddFileThroughTrial(ZipAddRequest& request, CPkFileHeader& header, const CString& path, int level,
                                     bool check, uint64_t size)
{
    uint32_t rules = request.m_iSmartLevel;
    std::unique_ptr<CPkMemFile> memory;
    CString trialPath;
    CPkArchive trial;
    trial.SetIoBuffers(m_storage.m_iWriteBufferSize, (int)m_iBufferSize, m_storage.m_iLocateBufferSize);
    if (check && (rules & ZipAddRequest::rlCheckInMemory)) {
        memory.reset(new CPkMemFile);
        trial.OpenArchive(*memory, CPkStorage::omCreate);
    } else {
        trialPath = ZipFileSystem::MakeTempFileName(m_szTempPath.IsEmpty() ? nullptr : (const WCHAR*)m_szTempPath,
                                                    (uint32_t)std::min<uint64_t>(size, 0xFFFFFFFFu));
        if (trialPath.IsEmpty())
            return AddFileDirect(request, header, path, level, check, request.m_uReplaceIndex != 0xFFFF, false, 0);
        trial.OpenArchive(trialPath, CPkStorage::omCreate);
    }
    bool result = false;
    bool failed = true;
    try {
        trial.m_szRootPath = m_szRootPath;
        trial.m_pszPassword = m_pszPassword;
        trial.m_iEncryptionMethod = m_iEncryptionMethod;
        trial.m_iArchiveSystCompatib = m_iArchiveSystCompatib;
        if (CPkActionCallback* callback = GetCallback(CPkActionCallback::cbAdd))
            trial.SetCallback(callback, CPkActionCallback::cbAdd);
        ZipAddRequest inner = request;
        inner.m_iSmartLevel = 0;
        inner.m_uReplaceIndex = 0xFFFF;
        inner.m_iComprLevel = level;
        if (trial.AddFile(inner)) {
            if (check && !trial.m_centralDir.GetAt(0)->IsCompressionEffective()) {
                ZipAddRequest again = request;
                again.m_iComprLevel = 0;
                again.m_iSmartLevel = ZipAddRequest::rlStoredAgain;
                result = AddFile(again);
            } else {
                trial.m_storage.Flush();
                result = CopyEntryFrom(trial, 0, request.m_uReplaceIndex, GetCallback(CPkActionCallback::cbAddTmp));
            }
        }
        failed = !result;
    } catch (...) {
        try {
            trial.CloseArchive(cmAfterException);
        } catch (CException* e) {
            e->Delete();
        }
        if (!trialPath.IsEmpty())
            ZipFileSystem::RemoveFile(trialPath, 0, false);
        ReleaseGeneralBuffer();
        throw;
    }
    try {
        trial.CloseArchive(failed ? cmAfterException : cmNormal);
    } catch (CException* e) {
        e->Delete();
    }
    if (!trialPath.IsEmpty())
        ZipFileSystem::RemoveFile(trialPath, 0, false);
    ReleaseGeneralBuffer();
    return result;
}

void CPkArchive::MakeSpace(uint16_t index, uint64_t needed, const CString& name)
{
    uint64_t position = m_storage.GetPosition();
    uint64_t next = UINT64_MAX;
    for (uint16_t i = 0; i < m_centralDir.GetCount(); ++i) {
        uint64_t offset = m_centralDir.GetAt(i)->m_uOffset;
        if (i != index && offset > position && offset < next)
            next = offset;
    }
    if (next == UINT64_MAX)
        ThrowError(ZipCauseInternal);
    uint64_t available = next - position;
    if (available == needed)
        return;
    CPkAbstractFile* file = m_storage.GetFile();
    m_storage.Flush();
    uint64_t end = file->GetLength() - m_storage.GetBytesBeforeZip();
    bool grow = needed > available;
    uint64_t difference = grow ? needed - available : available - needed;
    CPkActionCallback* callback = GetCallback(CPkActionCallback::cbMoveData);
    if (callback) {
        callback->Init(name, m_storage.GetArchivePath());
        callback->SetTotal(end - next);
    }
    AllocateGeneralBuffer();
    try {
        if (grow)
            file->SetLength(end + difference + m_storage.GetBytesBeforeZip());
        MoveData(next, end, difference, callback, grow, true);
        if (!grow)
            file->SetLength(end - difference + m_storage.GetBytesBeforeZip());
    } catch (...) {
        ReleaseGeneralBuffer();
        throw;
    }
    ReleaseGeneralBuffer();
    if (callback)
        callback->CallbackEnd();
    m_storage.SeekToLogical(position);
    for (uint16_t i = 0; i < m_centralDir.GetCount(); ++i) {
        CPkFileHeader* header = m_centralDir.GetAt(i);
        if (i != index && header->m_uOffset > position)
            header->m_uOffset = (uint32_t)(grow ? header->m_uOffset + difference : header->m_uOffset - difference);
    }
}

void CPkArchive::MoveData(uint64_t start, uint64_t end, uint64_t distance, CPkActionCallback* callback,
                          bool towardsEnd, bool lastGroup)
{
    CPkAbstractFile* file = m_storage.GetFile();
    uint64_t base = m_storage.GetBytesBeforeZip();
    uint64_t left = end > start ? end - start : 0;
    uint32_t chunkSize = m_pBuffer.GetSize() ? m_pBuffer.GetSize() : 65536;
    if (!m_pBuffer.GetSize())
        AllocateGeneralBuffer();
    while (left > 0) {
        uint32_t n = (uint32_t)std::min<uint64_t>(chunkSize, left);
        uint64_t from = towardsEnd ? start + left - n : end - left;
        uint64_t to = towardsEnd ? from + distance : from - distance;
        file->Seek((LONGLONG)(from + base), CFile::begin);
        if (file->Read(m_pBuffer.GetBuffer(), n) != n)
            ThrowError(ZipCauseInternal);
        file->Seek((LONGLONG)(to + base), CFile::begin);
        file->Write(m_pBuffer.GetBuffer(), n);
        left -= n;
        if (callback && !callback->RequestCallback(n)) {
            callback->CallbackEnd();
            ThrowZipException(ZipCauseAbortedAction);
        }
    }
    if (callback && lastGroup && !callback->RequestLastCallback()) {
        callback->CallbackEnd();
        ThrowZipException(ZipCauseAbortedAction);
    }
}
