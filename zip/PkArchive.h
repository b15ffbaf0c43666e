// CPkArchive: the zip library's facade. Opens, creates and closes archives,
// adds, reads, extracts, tests, copies and renames entries, one entry at a
// time. Expected conditions are results; everything else is thrown as
// CPkException* (or the framework's CFileException*), deleted by the catcher.
#pragma once

#include "framework/base/CString.h"
#include "zip/PkAbstractFile.h"
#include "framework/base/PkAutoBuffer.h"
#include "zip/PkCallback.h"
#include "zip/PkCentralDir.h"
#include "zip/PkCompressor.h"
#include "zip/PkCryptograph.h"
#include "zip/PkFileHeader.h"
#include "zip/PkStorage.h"

#include <cstdint>
#include <memory>
#include <vector>

// The library's 32-bit flag word (open modes, add rules, state words).
struct ZipFlagWord {
    ZipFlagWord(uint32_t value = 0) : m_uValue(value) {}
    ZipFlagWord& operator=(uint32_t value)
    {
        m_uValue = value;
        return *this;
    }
    operator uint32_t() const { return m_uValue; }
    uint32_t m_uValue;
};

// Parameters of CPkArchive::AddFile.
struct ZipAddRequest {
    enum Rules : uint32_t {
        rlFolderPlain = 0x01,      // folder entries without password
        rlEmptyPlain = 0x02,       // empty files without password
        rlStoreTiny = 0x04,        // files under 5 bytes stored
        rlCheckEfficiency = 0x08,  // stored again when deflating made it larger
        rlCheckInMemory = 0x10,    // the trial archive lives in memory
        rlStoredAgain = 0xF000,    // set by the library for the second attempt
    };

    ZipAddRequest(const CString& path, bool fullPath) : m_szFilePath(path), m_bFullPath(fullPath) {}

    CPkAbstractFile* m_pFile = nullptr;  // null: read the file at the path
    CString m_szFilePath;
    CString m_szFileNameInZip;  // empty: derived from the path
    bool m_bFullPath;
    int m_iComprLevel = -1;
    ZipFlagWord m_iSmartLevel = 7;
    uint16_t m_uReplaceIndex = 0xFFFF;
    uint32_t m_nBufSize = 65536;
};

// What became of one entry of AddFiles or ExtractEntries: the answer the
// single-entry operation gives, or the cause of what it would have thrown
// (a CPkException's cause; -1 for a file exception).
struct ZipEntryResult {
    bool m_bDone = false;
    int m_iCause = 0;
};

// One entry of CPkArchive::ExtractEntries: the arguments of ExtractEntry.
struct ZipExtractRequest {
    uint16_t m_uIndex = 0;
    CString m_szFolder;
    bool m_bFullPath = true;
    CString m_szNewName;  // empty: the entry's own name
    int m_iFlags = 0;
    uint32_t m_nBufSize = 65536;
};

class CPkArchive {
public:
    enum CloseMode { cmNormal = 0, cmAfterException = 1, cmWriteDirectory = 2 };
    enum ExtractFlags { efSkipNotOlder = 0x02 };
    enum { kEncryptionNone = 255, kEncryptionTraditional = 0 };
    // Attributes an extracted file may receive; anything else stays the system's.
    static const DWORD kExtractedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_DIRECTORY;

    CPkArchive();
    virtual ~CPkArchive();
    CPkArchive(const CPkArchive&) = delete;
    CPkArchive& operator=(const CPkArchive&) = delete;

    // Opening and closing.
    bool OpenArchive(const CString& path, int mode = CPkStorage::omOpen, uint64_t volumeSize = 0);
    // An archive in a caller's file (the memory file of the compression trial).
    bool OpenArchive(CPkAbstractFile& file, int mode);
    CString CloseArchive(int mode = cmNormal, bool updateFileTime = false);
    bool IsOpen() const { return m_storage.IsOpen(); }

    // Options.
    void SetIoBuffers(int writeBufferSize, int generalBufferSize, int searchBufferSize);
    bool SetPassword(const WCHAR* password, int codePage = -1);
    CString GetPassword() const;
    void SetBaseFolder(const WCHAR* folder);
    CString GetBaseFolder() const { return m_szRootPath; }
    void SetScratchFolder(const WCHAR* folder, bool create = true);
    bool SetEntrySystem(int code);
    int GetEntrySystem() const { return m_iArchiveSystCompatib; }
    void SetDirectoryOption(int value) { m_centralDir.m_iSpareOption = value; }
    bool IsEncryptionActive() const;
    void SetCallback(CPkActionCallback* callback, int mask = CPkActionCallback::cbAll);
    CPkActionCallback* GetCallback(CPkActionCallback::CallbackType type);

    // Entries.
    uint16_t GetEntryCount() const { return IsOpen() ? m_centralDir.GetCount() : 0; }
    bool GetEntryInfo(CPkFileHeader& header, uint16_t index) const;
    CString GetArchivePath() const;
    CString GetArchiveComment();
    int GetEntryState() const { return m_iFileOpened; }

    // Threads that compress and inflate for AddFiles, TestEntries and
    // ExtractEntries; 0 (the default) is one per core.
    void SetWorkerThreads(int count) { m_iWorkerThreads = count < 0 ? 0 : count; }
    int GetWorkerThreads() const { return m_iWorkerThreads; }

    // Adding (rules and levels: see ZipAddRequest).
    bool AddFile(ZipAddRequest& request);
    // Adds the requests in their order as AddFile would, compressing on the
    // worker threads: several files at once, and a large file in blocks that
    // join into one deflate stream, so the archive does not depend on the
    // thread count. added[i] tells whether request i was added; one that fails
    // leaves no entry and the others go on (an exception ends only its entry). A stop from the callback throws
    // (causes 206 and 207) after the entry being written was removed.
    // Requests the blocks cannot serve (a source object, replacing, a trial
    // archive, folders, empty files put aside from the password) are handed
    // to AddFile in their turn.
    void AddFiles(std::vector<ZipAddRequest>& requests, std::vector<ZipEntryResult>& added);
    // Appends data prepared elsewhere to the entry being written (see
    // CPkCompressor::AppendPrepared).
    bool WritePreparedEntryData(const void* bytes, uint32_t count, uint32_t plainCount, uint32_t plainCrc);
    bool BeginEntryWrite(CPkFileHeader& header, int level, uint16_t replaceIndex = 0xFFFF);
    bool WriteEntryData(const void* bytes, uint32_t count);
    bool EndEntryWrite(bool afterFailure = false);
    CString PredictEntryName(const CString& path, bool fullPath, bool isFolder) const;
    bool CheckReplaceIndex(uint16_t& index);
    bool RemoveLastEntry(bool force = false);
    void MakeSpace(uint16_t index, uint64_t needed, const CString& name);
    void MoveData(uint64_t start, uint64_t end, uint64_t distance, CPkActionCallback* callback, bool towardsEnd,
                  bool lastGroup);

    // Reading, extracting, testing.
    bool BeginEntryRead(uint16_t index);
    uint32_t ReadEntryData(void* buffer, uint32_t capacity);
    // 0 nothing open, 1 done, -1 data left unread, -2 times or attributes not set.
    int EndEntryRead(const WCHAR* extractedPath = nullptr, bool afterFailure = false);
    // Refuses (cause 201) a name that would leave the target folder.
    CString PredictExtractedName(const CString& entryName, const CString& folder, bool fullPath,
                                 const WCHAR* newName = nullptr) const;
    bool ExtractEntry(uint16_t index, const CString& folder, bool fullPath = true, const WCHAR* newName = nullptr,
                      int flags = 0, uint32_t bufferSize = 65536);
    bool TestEntry(uint16_t index, uint32_t bufferSize = 65536);
    // TestEntry for the entries first .. first + count - 1, inflated on the
    // worker threads and judged in index order: false or the exception of
    // the first entry that fails, as a loop of TestEntry would give.
    // Encrypted entries and segmented archives are tested in turn.
    bool TestEntries(uint16_t first, uint16_t count, uint32_t bufferSize = 65536);
    // ExtractEntry for each request, inflated on the worker threads. Only a
    // complete, checked file takes its target's name: a free name at once on
    // its worker, an existing file is replaced in request order. results[i]
    // is ExtractEntry's answer or what it would have thrown; a stop from the
    // callback throws (cause 207), and complete files of later entries may
    // then stand already. A missing volume of a segmented archive throws too
    // (cause 217, naming the volume's file), once for the whole batch.
    void ExtractEntries(const std::vector<ZipExtractRequest>& requests, std::vector<ZipEntryResult>& results);

    // Changing.
    bool CopyEntryFrom(CPkArchive& source, uint16_t sourceIndex, uint16_t replaceIndex, CPkActionCallback* callback);
    bool CommitRewrites();
    bool ReadLocalHeaderOf(uint16_t index);
    bool RenameEntry(uint16_t index, const CString& newName);

    [[noreturn]] void ThrowError(int cause, const WCHAR* path = nullptr) const;

    CPkStorage& GetStorage() { return m_storage; }
    CPkCentralDir& GetCentralDir() { return m_centralDir; }

protected:
    virtual void CreateCryptograph(int method);
    virtual void CreateCompressor(uint16_t method);

private:
    friend class CPkPackWriter;
    friend class CPkUnpackReader;

    void ResetState();
    void ReadOpenedArchive(int mode);
    bool CanWriteEntries() const;
    CPkFileHeader* GetHeader(uint16_t index) const;
    void AllocateGeneralBuffer();
    void ReleaseGeneralBuffer() { m_pBuffer.Release(); }
    bool SetExtractedAttributes(const CString& path, CPkFileHeader& header) const;
    bool AddFileDirect(ZipAddRequest& request, CPkFileHeader& header, const CString& path, int level, bool check,
                       bool replacing, bool sizeKnown, uint64_t size);
    bool AddFileThroughTrial(ZipAddRequest& request, CPkFileHeader& header, const CString& path, int level, bool check,
                             uint64_t size);
    bool ExtractToTarget(uint16_t index, CPkFileHeader& header, const CString& target, bool targetExists, int flags,
                         uint32_t bufferSize, CPkActionCallback* callback);

    bool m_bRemoveDriveLetter = true;
    PkArchiveLib::CPkCallbackProvider m_callbacks;
    CPkStorage m_storage;
    CPkCentralDir m_centralDir;
    int m_iFileOpened = 0;  // 0 none, -1 reading, 1 writing
    CString m_szRootPath;
    CString m_szTempPath;
    int m_iArchiveSystCompatib = 0;
    CPkAutoBuffer m_pszPassword;
    std::unique_ptr<CPkCryptograph> m_pCryptograph;
    std::unique_ptr<CPkCompressor> m_pCompressor;
    int m_iEncryptionMethod = kEncryptionTraditional;
    uint16_t m_uCompressionMethod = 8;
    CPkAutoBuffer m_pBuffer;
    uint32_t m_iBufferSize = 65536;
    CPkCompressor::COptionsMap m_compressorsOptions;
    int m_iWorkerThreads = 0;
};
