// CPkFileHeader: everything known about one archive entry; reads and writes
// its local header, central header and data descriptor.
#pragma once

#include "framework/base/CString.h"
#include "framework/base/PkAutoBuffer.h"
#include "zip/PkExtraField.h"

#include <cstdint>

class CPkCentralDir;
class CPkStorage;

class CPkFileHeader {
public:
    enum Flag : uint16_t {
        flEncrypted = 0x0001,
        flDataDescriptor = 0x0008,
        flUtf8 = 0x0800,
    };
    enum State { stRenamed = 0x20 };
    enum { kLocalSize = 30, kCentralSize = 46, kEncryptionHeaderSize = 12 };

    CPkFileHeader();
    explicit CPkFileHeader(CPkCentralDir* owner);
    virtual ~CPkFileHeader() = default;
    CPkFileHeader(const CPkFileHeader&) = delete;
    CPkFileHeader& operator=(const CPkFileHeader&) = delete;

    bool ReadCentral(CPkStorage& storage, bool signatureConsumed = false);
    uint32_t WriteCentral(CPkStorage& storage);
    bool ReadLocalHeader(CPkCentralDir& owner);
    void WriteLocalHeader(CPkStorage& storage);
    void WriteDataDescriptor(CPkStorage& storage);
    bool CheckDataDescriptor(CPkStorage& storage) const;
    void UpdateLocalSizes(CPkStorage& storage);
    void PrepareForWriting(int level, bool segmented);

    int64_t GetModificationTime() const;
    void SetModificationTime(int64_t seconds, bool keepFullTimes = false);
    DWORD GetSystemAttributes();
    bool SetSystemAttributes(DWORD attributes);
    void SetSystemCompatibility(uint8_t code);
    bool IsDirectory();
    CString GetEntryName(bool releaseBytes = false);
    bool SetEntryName(const CString& name);
    CString GetComment();
    void SetComment(const CString& comment);
    void CopyFrom(const CPkFileHeader& other);

    uint32_t GetLocalSize() const;
    uint32_t GetEncryptionHeaderSize() const { return IsEncrypted() ? kEncryptionHeaderSize : 0; }
    uint32_t GetDataDescriptorSize(const CPkStorage& storage) const;
    int GetCompressionLevel() const;
    bool IsCompressionEffective() const;
    bool IsEncrypted() const { return m_uEncryptionMethod != 255; }
    bool HasDataDescriptor() const { return (m_uFlag & flDataDescriptor) != 0; }

    // Name and comment as bytes in the host's code page, or UTF-8 with flag
    // bit 11 when either does not survive it; no-op when already encoded.
    void EncodeText();
    const CPkAutoBuffer& GetNameBytes() const { return m_fileName; }
    const CPkAutoBuffer& GetCommentBytes() const { return m_comment; }
    void SetNameBytes(const CPkAutoBuffer& bytes) { m_fileName = bytes; m_bNameDecoded = false; }
    // Drops the stored bytes so that they are encoded again (strings kept).
    void DropEncodedText();
    bool IsNameDecoded() const { return m_bNameDecoded; }

    static bool IsKnownSystem(int code);
    static UINT NameCodePage(int system);
    static UINT TextCodePage(int system);

    uint8_t m_uVersionMadeBy = 0;
    uint16_t m_uVersionNeeded = 0;
    uint16_t m_uFlag = 0;
    uint16_t m_uMethod = 8;
    uint16_t m_uModTime = 0;
    uint16_t m_uModDate = 0;
    uint32_t m_uCrc32 = 0;
    uint32_t m_uComprSize = 0;
    uint32_t m_uUncomprSize = 0;
    uint16_t m_uVolumeStart = 0;
    uint16_t m_uInternalAttr = 0;
    uint32_t m_uLocalComprSize = 0;
    uint32_t m_uLocalUncomprSize = 0;
    uint32_t m_uOffset = 0;
    CPkExtraField m_aLocalExtraData;
    CPkExtraField m_aCentralExtraData;
    int64_t m_tModificationTime = 0;
    int64_t m_tLastAccessTime = 0;
    int64_t m_tCreationTime = 0;
    uint32_t m_uExternalAttr = 0;
    uint16_t m_uLocalFileNameSize = 0;
    uint8_t m_uEncryptionMethod = 255;
    uint32_t m_uLocalHeaderSize = 0;
    CPkCentralDir* m_pCentralDir = nullptr;
    int m_iState = 0;
    uint8_t m_iSystemCompatibility = 0;

private:
    void DecodeName();
    void DecodeComment();
    UINT NamePageForReading() const;
    UINT TextPageForReading() const;
    void ReadNtfsTimes();
    void TakeLocalZip64Sizes();
    void WriteNtfsTimes();
    void WriteCommonFields(char* p, uint32_t comprSize, uint32_t uncomprSize) const;
    void CheckLengths(const CPkStorage& storage, uint32_t extraSize) const;
    DWORD ToWindowsAttributes(uint32_t external, bool& known) const;

    CPkAutoBuffer m_fileName;
    CString m_szFileName;
    bool m_bNameDecoded = false;
    CPkAutoBuffer m_comment;
    CString m_szComment;
    bool m_bCommentDecoded = false;
};

// DOS date and time of local time; back to seconds since 1970.
void SecondsToDosTime(int64_t seconds, uint16_t& date, uint16_t& time);
int64_t DosTimeToSeconds(uint16_t date, uint16_t time);
