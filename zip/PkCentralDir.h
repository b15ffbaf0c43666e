// CPkCentralDir: the archive's index. Finds and reads the end record and the
// central headers, hands out the entry being read or written, adds and
// removes headers, and writes the directory when the archive closes.
#pragma once

#include "framework/base/Collections.h"
#include "framework/base/PkAutoBuffer.h"
#include "zip/PkFileHeader.h"

#include <cstdint>

class CPkArchive;
class CPkStorage;

struct ZipDirectoryInfo {
    uint64_t m_uEndOffset = 0;  // logical position of the end record
    uint16_t m_uThisVolume = 0;
    uint16_t m_uVolumeWithCD = 0;
    uint16_t m_uVolumeEntriesNo = 0;
    uint16_t m_uEntriesNumber = 0;
    uint64_t m_uSize = 0;
    uint64_t m_uOffset = 0;
    bool m_bInArchive = false;
    CPkAutoBuffer m_pszComment;
    uint16_t m_uLastIndexAdded = 0xFFFF;
};

class CPkCentralDir {
public:
    enum CheckOptions {
        coNoCrcOnRead = 0x1,
        coNoMethodCheck = 0x2,
        coNoSizeCheck = 0x4,
        coNoCrcCheck = 0x8,
        coNoFlagCheck = 0x10,
        coNoDescriptorCheck = 0x100,
        coNoVolumeCheck = 0x200,
        coSkipPasswordCheck = 0x400,
        coDefault = 0x300,
    };

    CPkCentralDir(CPkArchive& archive, CPkStorage& storage);
    virtual ~CPkCentralDir();
    CPkCentralDir(const CPkCentralDir&) = delete;
    CPkCentralDir& operator=(const CPkCentralDir&) = delete;

    void Init();
    void Close();
    void ReadDirectory();
    void OpenEntry(uint16_t index);
    CPkFileHeader* AddNewEntry(CPkFileHeader& header, uint16_t replaceIndex, int level, bool copyMode = false);
    void CloseNewEntry();
    // Drops a new entry that failed: removed from the directory and, when it
    // was appended to a single-file archive, cut from the file.
    void AbandonNewEntry();
    void RemoveLastEntry(CPkFileHeader* header = nullptr, uint16_t index = 0xFFFF);
    void RemoveEntry(CPkFileHeader* header, uint16_t index);
    void PrepareForChange();
    void WriteDirectory();
    bool CanModify();
    bool AcceptRename(CPkFileHeader& header);
    bool HasPendingRewrites() const;

    CPkStorage& GetStorage() { return m_storage; }
    CPkArchive& GetArchive() { return m_archive; }
    uint16_t GetCount() const { return (uint16_t)m_headers.GetSize(); }
    CPkFileHeader* GetAt(uint16_t index) const { return m_headers[index]; }
    int GetIndexOf(const CPkFileHeader* header) const;
    const ZipDirectoryInfo& GetInfo() const { return m_info; }
    void SetComment(const CPkAutoBuffer& comment) { m_info.m_pszComment = comment; }
    // Offset at which the data of the given entry must end at the latest.
    uint64_t EntryLimit(uint16_t index) const;

    CPkFileHeader* m_pOpenedFile = nullptr;
    int m_iCheckOptions = coDefault;
    int m_iFlags = 0;
    int m_iSpareOption = 0;

private:
    void ReadHeaders();
    void CheckEntryLayout() const;
    void DeleteHeaders();
    void WriteHeaders(bool converted);
    void WriteEndRecord();
    uint64_t PredictDirectorySize();
    bool ConvertToSingleVolume(uint64_t directorySize);
    uint64_t StripDescriptors(char* data, uint64_t length);
    [[noreturn]] void ThrowError(int cause, bool withPath = true) const;

    CPkArchive& m_archive;
    CPkStorage& m_storage;
    CArray<CPkFileHeader*> m_headers;
    ZipDirectoryInfo m_info;
    bool m_bSorted = false;
    uint64_t m_uNewEntryStart = 0;  // where the entry being written begins
};
