// Reading entries: BeginEntryRead/EndEntryRead, extraction and testing.
#include "zip/PkArchive.h"

#include "zip/PkException.h"
#include "zip/PkExtractFile.h"
#include "zip/PkPathComponent.h"
#include "zip/ZipFileSystem.h"

namespace {
bool HasDriveOrStreamColon(const CString& segment) { return segment.Find(L':') >= 0; }

// The entry name as a relative path of clean segments ("." dropped), or
// false when it is absolute in a way that would leave the target folder.
bool NormaliseEntryPath(const CString& name, CString& relative)
{
    CString text = name;
    text.Replace(L'/', L'\\');
    if (text.GetLength() >= 2 && text[0] == L'\\' && text[1] == L'\\')
        return false;  // UNC, "\\?\" and "\\.\" prefixes
    if (text.GetLength() >= 2 && text[1] == L':')
        return false;  // a drive letter
    relative.Empty();
    int start = 0;
    while (start <= text.GetLength()) {
        int end = text.Find(L'\\', start);
        if (end < 0)
            end = text.GetLength();
        CString segment = text.Mid(start, end - start);
        start = end + 1;
        if (segment.IsEmpty() || segment == L".")
            continue;
        if (segment == L".." || HasDriveOrStreamColon(segment))
            return false;
        if (!relative.IsEmpty())
            relative += L"\\";
        relative += segment;
    }
    return true;
}

CString FullPathOf(const CString& path)
{
    DWORD n = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (n == 0)
        return CString();
    CString full;
    DWORD got = GetFullPathNameW(path, n, full.GetBuffer((int)n), nullptr);
    full.ReleaseBuffer(got > 0 && got < n ? (int)got : 0);
    return full;
}

bool StaysUnder(const CString& target, const CString& folder)
{
    CString base = FullPathOf(folder.IsEmpty() ? CString(L".") : folder);
    CString full = FullPathOf(target);
    if (base.IsEmpty() || full.IsEmpty())
        return false;
    base.TrimRight(L'\\');
    if (full.GetLength() < base.GetLength() || full.Left(base.GetLength()).CompareNoCase(base) != 0)
        return false;
    return full.GetLength() == base.GetLength() || full[base.GetLength()] == L'\\';
}

CString ParentFolder(const CString& path)
{
    int slash = path.ReverseFind(L'\\');
    return slash > 0 ? path.Left(slash) : CString();
}

}  // namespace

bool CPkArchive::BeginEntryRead(uint16_t index)
{
    CPkFileHeader* header = GetHeader(index);
    if (!header || m_storage.IsNewSegmented() || m_iFileOpened != 0)
        return false;
    // An encrypted entry holds at least its 12-byte encryption header.
    if (header->IsEncrypted() && header->m_uComprSize < CPkFileHeader::kEncryptionHeaderSize)
        ThrowError(ZipCauseBadZipFile);
    try {
        m_centralDir.OpenEntry(index);
        if (header->m_uMethod != 0 && header->m_uMethod != 8) {
            m_centralDir.m_pOpenedFile = nullptr;
            return false;
        }
        if (!header->IsEncrypted()) {
            m_pCryptograph.reset();
        } else {
            if (m_pszPassword.GetSize() == 0)
                ThrowError(ZipCauseBadPassword);
            CreateCryptograph(header->m_uEncryptionMethod);
            bool skip = (m_centralDir.m_iCheckOptions & CPkCentralDir::coSkipPasswordCheck) != 0;
            if (!m_pCryptograph->BeginDecryption(m_pszPassword, *header, m_storage, skip))
                ThrowError(ZipCauseBadPassword);
        }
        CreateCompressor(header->m_uMethod);
        m_pCompressor->BeginDecompression(header, m_pCryptograph.get());
    } catch (...) {
        m_centralDir.m_pOpenedFile = nullptr;
        m_pCryptograph.reset();
        throw;
    }
    m_iFileOpened = -1;
    return true;
}

uint32_t CPkArchive::ReadEntryData(void* buffer, uint32_t capacity)
{
    if (m_iFileOpened != -1)
        return 0;
    return m_pCompressor->Decompress(buffer, capacity);
}

bool CPkArchive::SetExtractedAttributes(const CString& path, CPkFileHeader& header) const
{
    DWORD attributes = header.GetSystemAttributes() & kExtractedAttributes;
    return ZipFileSystem::SetAttributes(ZipFileSystem::ToLongPath(path, true), attributes);
}

int CPkArchive::EndEntryRead(const WCHAR* extractedPath, bool afterFailure)
{
    if (m_iFileOpened != -1)
        return 0;
    int result = 1;
    CPkFileHeader* header = m_centralDir.m_pOpenedFile;
    {
        if (afterFailure) {
            m_pCompressor->EndDecompression(true);
        } else {
            // Data left over, or fewer bytes than the header promised: not the entry it claims to be.
            if (m_pCompressor->m_uComprLeft > 0 || m_pCompressor->m_uUncomprLeft > 0) {
                result = -1;
            } else if (!(m_centralDir.m_iCheckOptions & CPkCentralDir::coNoCrcOnRead) &&
                       m_pCompressor->m_uCrc32 != header->m_uCrc32) {
                ThrowError(ZipCauseBadCrc);
            }
            m_pCompressor->EndDecompression(false);
            if (extractedPath) {
                int64_t modification = header->GetModificationTime();
                bool timesSet = ZipFileSystem::SetFileTimes(extractedPath, &modification, &header->m_tCreationTime,
                                                            &header->m_tLastAccessTime);
                if (!SetExtractedAttributes(extractedPath, *header) || !timesSet)
                    result = -2;
            }
            if (m_pCryptograph)
                m_pCryptograph->EndDecryption(*header, m_storage);
            if (!(m_centralDir.m_iCheckOptions & CPkCentralDir::coNoDescriptorCheck) && result != -1 &&
                !header->CheckDataDescriptor(m_storage))
                ThrowError(ZipCauseBadZipFile);
        }
    }
    // After an exception above the entry stays open; the caller ends it after the failure.
    m_centralDir.m_pOpenedFile = nullptr;
    m_iFileOpened = 0;
    m_pCryptograph.reset();
    return result;
}

CString CPkArchive::PredictExtractedName(const CString& entryName, const CString& folder, bool fullPath,
                                         const WCHAR* newName) const
{
    CString name = newName ? CString(newName) : entryName;
    CString target = folder;
    if (name.IsEmpty())
        return target;
    if (!target.IsEmpty()) {
        target.TrimRight(L"\\/");
        target += L"\\";
    }
    name.TrimRight(L"\\/");
    CString relative;
    if (!NormaliseEntryPath(name, relative))
        ThrowError(ZipCauseBadZipFile, name);
    if (relative.IsEmpty())
        return folder;
    if (!fullPath) {
        CString root = m_szRootPath;
        if (!root.IsEmpty() && relative.GetLength() > root.GetLength() &&
            relative.Left(root.GetLength()).CompareNoCase(root) == 0 && relative[root.GetLength()] == L'\\')
            relative = relative.Mid(root.GetLength() + 1);
        else
            relative = CPkPathComponent(relative).GetFileName();
    }
    target += relative;
    if (!StaysUnder(target, folder))
        ThrowError(ZipCauseBadZipFile, name);
    return target;
}

bool CPkArchive::ExtractEntry(uint16_t index, const CString& folder, bool fullPath, const WCHAR* newName, int flags,
                              uint32_t bufferSize)
{
    if ((bufferSize == 0 && folder.IsEmpty()) || !IsOpen())
        return false;
    CPkFileHeader* header = GetHeader(index);
    if (!header)
        return false;
    if (bufferSize == 0)
        bufferSize = 65536;
    CString name = header->GetEntryName(true);
    CString target = PredictExtractedName(name, folder, fullPath, newName);
    CPkActionCallback* callback = GetCallback(CPkActionCallback::cbExtract);
    CPkCallbackScope scope(callback);
    if (callback)
        callback->Init(name, target);

    if (header->IsDirectory()) {
        if (callback)
            callback->SetTotal(0);
        ZipFileSystem::CreateFolderTree(target);
        ZipFileSystem::SetAttributes(target, header->GetSystemAttributes() & kExtractedAttributes);
        return true;
    }

    CString parent = ParentFolder(target);
    if (!parent.IsEmpty() && ZipFileSystem::PathExists(parent) != -1)
        ZipFileSystem::CreateFolderTree(parent);
    bool exists = ZipFileSystem::PathExists(target) != 0;
    if (exists) {
        int64_t entryTime = header->GetModificationTime();
        int64_t fileTime = 0;
        if ((flags & efSkipNotOlder) && entryTime > 0 && ZipFileSystem::GetFileTimes(target, &fileTime) &&
            fileTime > 0 && fileTime >= entryTime) {
            if (callback) {
                callback->SetTotal(header->m_uUncomprSize);
                if (!callback->RequestLastCallback(header->m_uUncomprSize))
                    ThrowError(ZipCauseAbortedSafely, target);
            }
            return true;
        }
        // The existing file is replaced only after the new one is complete;
        // refuse now what could not be replaced then.
        DWORD attributes = 0;
        if (ZipFileSystem::GetAttributes(target, attributes) &&
            ((attributes & FILE_ATTRIBUTE_DIRECTORY) ||
             ((attributes & FILE_ATTRIBUTE_READONLY) && !(flags & ZipFileSystem::RemoveClearReadOnly)))) {
            SetLastError(ERROR_ACCESS_DENIED);
            ThrowError(ZipCauseNotRemoved, target);
        }
    }
    return ExtractToTarget(index, *header, target, exists, flags, bufferSize, callback);
}

bool CPkArchive::ExtractToTarget(uint16_t index, CPkFileHeader& header, const CString& target, bool targetExists,
                                 int flags, uint32_t bufferSize, CPkActionCallback* callback)
{
    if (!BeginEntryRead(index))
        return false;
    // The data goes to the target when nothing stands there (deleted again
    // unless complete and checked), else to a temporary file beside it, which
    // replaces the target only after its CRC was checked.
    CPkExtractFile output;
    int result = 0;
    bool stoppedComplete = false;
    try {
        bool atTarget = !targetExists && output.CreateAtTarget(target);
        if (!atTarget)
            output.Create(ParentFolder(target));
        CPkAutoBuffer buffer(bufferSize, false);
        if (callback)
            callback->SetTotal(header.m_uUncomprSize);
        for (;;) {
            uint32_t got = m_pCompressor->Decompress(buffer.GetBuffer(), bufferSize);
            if (got == 0)
                break;
            output.Write(buffer.GetBuffer(), got);
            if (callback && !callback->RequestCallback(got)) {
                char probe;
                if (got == bufferSize && m_pCompressor->Decompress(&probe, 1) == 1)
                    ThrowError(ZipCauseAbortedAction, target);
                stoppedComplete = true;
                break;
            }
        }
        if (!stoppedComplete && callback && !callback->RequestLastCallback())
            stoppedComplete = true;
        result = EndEntryRead(nullptr, false);
        if (result == -1)
            ThrowError(ZipCauseBadZipFile, target);
        if (!output.SetTimesAndAttributes(header.GetModificationTime(), header.m_tCreationTime,
                                          header.m_tLastAccessTime,
                                          header.GetSystemAttributes() & kExtractedAttributes))
            result = -2;
        if (targetExists && (flags & ZipFileSystem::RemoveToRecycleBin))
            ZipFileSystem::RemoveFile(target, flags, true);
        if (targetExists && (flags & ZipFileSystem::RemoveClearReadOnly))
            ZipFileSystem::SetAttributes(target, FILE_ATTRIBUTE_ARCHIVE);
        if (atTarget)
            output.KeepAtTarget();
        else if (!output.ReplaceTarget(target))
            ThrowError(targetExists ? ZipCauseNotRemoved : ZipCauseNotRenamed, target);
    } catch (...) {
        EndEntryRead(nullptr, true);
        throw;  // the temporary file is deleted with its object
    }
    if (stoppedComplete)
        ThrowError(result == 1 ? ZipCauseAbortedSafely : ZipCauseAbortedAction, target);
    return result == 1;
}

bool CPkArchive::TestEntry(uint16_t index, uint32_t bufferSize)
{
    if (!IsOpen() || m_storage.IsNewSegmented() || bufferSize == 0)
        return false;
    if (index >= m_centralDir.GetCount())
        ThrowError(ZipCauseGeneric);
    CPkFileHeader* header = m_centralDir.GetAt(index);
    CPkActionCallback* callback = GetCallback(CPkActionCallback::cbTest);
    CPkCallbackScope scope(callback);
    if (callback)
        callback->Init(header->GetEntryName(), nullptr);
    if (header->IsDirectory()) {
        if (callback)
            callback->SetTotal(0);
        bool empty = header->m_uComprSize == 0 && header->m_uUncomprSize == 0;
        bool emptyEncrypted = header->IsEncrypted() && header->m_uComprSize == CPkFileHeader::kEncryptionHeaderSize &&
                              header->m_uUncomprSize == 0;
        if (!empty && !emptyEncrypted)
            ThrowZipException(ZipCauseDirWithSize);
        return true;
    }
    if (callback)
        callback->SetTotal(header->m_uUncomprSize);
    if (!BeginEntryRead(index))
        return false;
    try {
        CPkAutoBuffer buffer(bufferSize, false);
        for (;;) {
            uint32_t got = m_pCompressor->Decompress(buffer.GetBuffer(), bufferSize);
            if (got == 0)
                break;
            if (callback && !callback->RequestCallback(got)) {
                char probe;
                if (got == bufferSize && m_pCompressor->Decompress(&probe, 1) == 1)
                    ThrowZipException(ZipCauseAbortedAction);
                int ended = 0;
                try {
                    ended = EndEntryRead(nullptr, false);
                } catch (CException* e) {
                    e->Delete();
                }
                ThrowZipException(ended == 1 ? ZipCauseAbortedSafely : ZipCauseAbortedAction);
            }
        }
        if (callback && !callback->RequestLastCallback()) {
            int ended = EndEntryRead(nullptr, false);
            ThrowZipException(ended == 1 ? ZipCauseAbortedSafely : ZipCauseAbortedAction);
        }
        if (EndEntryRead(nullptr, false) != 1)
            ThrowZipException(ZipCauseBadZipFile);
    } catch (...) {
        EndEntryRead(nullptr, true);
        throw;
    }
    return true;
}
