#include "zip/PkArchive.h"

#include "zip/PkException.h"
#include "framework/base/ZipCodePage.h"
#include "zip/ZipFileSystem.h"

CPkArchive::CPkArchive() : m_centralDir(*this, m_storage) {}

CPkArchive::~CPkArchive()
{
    if (IsOpen()) {
        try {
            CloseArchive(cmAfterException);
        } catch (CException* e) {
            e->Delete();
        }
    }
    m_pszPassword.SecureRelease();
}

void CPkArchive::ResetState()
{
    m_pszPassword.SecureRelease();
    m_iFileOpened = 0;
    m_szRootPath.Empty();
    m_centralDir.m_iCheckOptions = CPkCentralDir::coDefault;
    m_centralDir.Close();
    m_centralDir.Init();
    m_iArchiveSystCompatib = 0;
}

bool CPkArchive::OpenArchive(const CString& path, int mode, uint64_t volumeSize)
{
    if (IsOpen())
        return false;
    m_storage.OpenStorage(path, mode, volumeSize);
    ReadOpenedArchive(mode);
    return true;
}

void CPkArchive::ReadOpenedArchive(int mode)
{
    ResetState();
    if (!(mode & CPkStorage::omOpen))
        return;
    try {
        m_centralDir.ReadDirectory();
    } catch (...) {
        // An archive that could not be read is never written to.
        m_storage.SetReadOnly();
        throw;
    }
    if (m_centralDir.GetCount() > 0) {
        int code = m_centralDir.GetAt(0)->m_iSystemCompatibility;
        if (CPkFileHeader::IsKnownSystem(code))
            m_iArchiveSystCompatib = code;
    }
}

bool CPkArchive::OpenArchive(CPkAbstractFile& file, int mode)
{
    if (IsOpen())
        return false;
    m_storage.OpenMemory(file, mode);
    ReadOpenedArchive(mode);
    return true;
}

CString CPkArchive::CloseArchive(int mode, bool updateFileTime)
{
    if (!IsOpen())
        return CString();
    if (m_iFileOpened == -1)
        EndEntryRead(nullptr, mode != cmNormal);
    else if (m_iFileOpened == 1)
        EndEntryWrite(mode != cmNormal);
    if (mode == cmNormal)
        CommitRewrites();
    bool written = false;
    if ((mode == cmNormal || mode == cmWriteDirectory) && !m_storage.IsReadOnly() && !m_storage.IsExistingSegmented() &&
        m_storage.GetFile() && !m_storage.GetFile()->IsClosed()) {
        m_centralDir.WriteDirectory();
        written = true;
    }
    int64_t latest = 0;
    if (updateFileTime)
        for (uint16_t i = 0; i < m_centralDir.GetCount(); ++i)
            if (m_centralDir.GetAt(i)->GetModificationTime() > latest)
                latest = m_centralDir.GetAt(i)->GetModificationTime();
    m_centralDir.Close();
    CString path = m_storage.CloseStorage(written, mode != cmAfterException);
    m_pszPassword.SecureRelease();
    if (updateFileTime && !path.IsEmpty())
        ZipFileSystem::SetFileTimes(path, &latest, nullptr, nullptr);
    return path;
}

void CPkArchive::SetIoBuffers(int writeBufferSize, int generalBufferSize, int searchBufferSize)
{
    if (IsOpen())
        return;
    m_storage.m_iWriteBufferSize = writeBufferSize < 1024 ? 1024 : writeBufferSize;
    m_iBufferSize = generalBufferSize < 1024 ? 1024 : (uint32_t)generalBufferSize;
    m_storage.m_iLocateBufferSize = searchBufferSize < 1024 ? 1024 : searchBufferSize;
}

bool CPkArchive::SetPassword(const WCHAR* password, int codePage)
{
    if (m_iFileOpened != 0)
        return false;
    m_pszPassword.SecureRelease();
    if (!password)
        return true;
    UINT page = codePage == -1 ? CPkFileHeader::TextCodePage(m_iArchiveSystCompatib) : (UINT)codePage;
    CString text(password);
    // A password the code page cannot hold would lose characters: use UTF-8.
    if (ZipStringToBytesExact(text, m_pszPassword, page) < 0)
        ZipStringToBytes(text, m_pszPassword, CP_UTF8);
    SecureZeroMemory(text.GetBuffer(0), sizeof(WCHAR) * (size_t)text.GetLength());
    return true;
}

CString CPkArchive::GetPassword() const
{
    CString text;
    ZipBytesToString(m_pszPassword, text, CP_ACP);
    return text;
}

void CPkArchive::SetBaseFolder(const WCHAR* folder)
{
    if (!IsOpen() || m_iFileOpened != 0)
        return;
    m_szRootPath = folder;
    m_szRootPath.TrimRight(L"\\/");
}

void CPkArchive::SetScratchFolder(const WCHAR* folder, bool create)
{
    m_szTempPath = folder;
    m_szTempPath.TrimRight(L"\\/");
    if (folder && create)
        ZipFileSystem::CreateFolderTree(m_szTempPath);
}

bool CPkArchive::SetEntrySystem(int code)
{
    if (!IsOpen() || m_iFileOpened == 1 || !CPkFileHeader::IsKnownSystem(code))
        return false;
    m_iArchiveSystCompatib = code;
    return true;
}

bool CPkArchive::IsEncryptionActive() const
{
    return m_pszPassword.GetSize() > 0 && m_iEncryptionMethod != kEncryptionNone;
}

void CPkArchive::SetCallback(CPkActionCallback* callback, int mask) { m_callbacks.Set(callback, mask); }

CPkActionCallback* CPkArchive::GetCallback(CPkActionCallback::CallbackType type) { return m_callbacks.Get(type); }

CPkFileHeader* CPkArchive::GetHeader(uint16_t index) const
{
    if (!IsOpen() || index == 0xFFFF || index >= m_centralDir.GetCount())
        return nullptr;
    return m_centralDir.GetAt(index);
}

bool CPkArchive::GetEntryInfo(CPkFileHeader& header, uint16_t index) const
{
    CPkFileHeader* source = GetHeader(index);
    if (!source)
        return false;
    header.CopyFrom(*source);
    return true;
}

CString CPkArchive::GetArchivePath() const
{
    if (!IsOpen() || !m_storage.GetFile() || m_storage.GetFile()->IsClosed())
        return CString();
    return m_storage.GetFile()->GetFilePath();
}

CString CPkArchive::GetArchiveComment()
{
    CString text;
    if (IsOpen())
        ZipBytesToString(m_centralDir.GetInfo().m_pszComment, text, CPkFileHeader::TextCodePage(m_iArchiveSystCompatib));
    return text;
}

void CPkArchive::ThrowError(int cause, const WCHAR* path) const
{
    if (path)
        ThrowZipException(cause, path);
    ThrowZipException(cause, IsOpen() ? (const WCHAR*)m_storage.GetArchivePath() : L"");
}

void CPkArchive::CreateCryptograph(int method)
{
    if (m_pCryptograph && m_pCryptograph->CanHandleMethod(method))
        return;
    m_pCryptograph.reset();
    if (method != kEncryptionNone)
        m_pCryptograph.reset(new CPkCrc32Cryptograph);
}

void CPkArchive::CreateCompressor(uint16_t method)
{
    if (!m_pCompressor || !m_pCompressor->CanHandleMethod(method)) {
        m_pCompressor.reset();
        if (method == 0 || method == 8)
            m_pCompressor.reset(new PkArchiveLib::CDeflateCompressor(m_storage));
    }
    if (m_pCompressor) {
        const CPkCompressor::COptions* own = m_pCompressor->GetOptions();
        if (own)
            if (const CPkCompressor::COptions* options = m_compressorsOptions.Find(own->GetType()))
                m_pCompressor->ApplyOptions(options);
    }
}

bool CPkArchive::CanWriteEntries() const
{
    return IsOpen() && !m_storage.IsReadOnly() && !m_storage.IsExistingSegmented() && m_iFileOpened == 0;
}

void CPkArchive::AllocateGeneralBuffer()
{
    if (m_pBuffer.GetSize() != m_iBufferSize)
        m_pBuffer.Allocate(m_iBufferSize, false);
}
