#include "zip/PkFileHeader.h"

#include "zip/PkCentralDir.h"
#include "zip/PkException.h"
#include "zip/PkStorage.h"
#include "zip/ZipBytes.h"
#include "framework/base/ZipCodePage.h"
#include "zip/ZipFileSystem.h"

#include <cstring>
#include <ctime>

using namespace ZipBytes;

namespace {
const char kLocalSignature[4] = {'P', 'K', 3, 4};
const char kCentralSignature[4] = {'P', 'K', 1, 2};
const char kDescriptorSignature[4] = {'P', 'K', 7, 8};
const uint32_t kMaxField = 65535;
const LONGLONG kEpochDifference = 116444736000000000LL;

int64_t FileTimeValueToSeconds(uint64_t value)
{
    if (value == 0)
        return 0;
    int64_t seconds = ((int64_t)value - kEpochDifference) / 10000000;
    return seconds > 0 ? seconds : 0;
}

bool EndsWithSeparator(const CString& name)
{
    return !name.IsEmpty() && (name[name.GetLength() - 1] == L'\\' || name[name.GetLength() - 1] == L'/');
}

// Windows attributes to Unix mode bits.
uint32_t UnixModeOf(DWORD attributes)
{
    uint32_t mode = (attributes & FILE_ATTRIBUTE_HIDDEN) ? 0x100 : 0x124;
    if (!(attributes & FILE_ATTRIBUTE_READONLY))
        mode |= 0x90;
    mode |= (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0x4049 : 0x8000;
    return mode;
}

DWORD WindowsAttributesOfUnixMode(uint32_t mode)
{
    DWORD attributes;
    if (mode & 0x4000)
        attributes = FILE_ATTRIBUTE_DIRECTORY;
    else if (mode & 0x40)
        attributes = 0;
    else
        attributes = FILE_ATTRIBUTE_ARCHIVE;
    if (!(mode & 0x80))
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (!(mode & 0x20) && !(mode & 0x04))
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes;
}

bool KeepsOnlyReadOnlyAndDirectory(int code) { return code == 7 || code == 20; }
}  // namespace

void SecondsToDosTime(int64_t seconds, uint16_t& date, uint16_t& time)
{
    time_t t = (time_t)seconds;
    struct tm local = {};
    if (!localtime_r(&t, &local)) {
        date = time = 0;
        return;
    }
    int year = local.tm_year + 1900;
    int yearPart = year <= 1980 ? 0 : (year - 1980) % 128;
    date = (uint16_t)(local.tm_mday + (local.tm_mon + 1) * 32 + yearPart * 512);
    time = (uint16_t)(local.tm_sec / 2 + local.tm_min * 32 + local.tm_hour * 2048);
}

int64_t DosTimeToSeconds(uint16_t date, uint16_t time)
{
    struct tm local = {};
    local.tm_sec = (time & 0x1F) * 2;
    local.tm_min = (time >> 5) & 0x3F;
    local.tm_hour = time >> 11;
    local.tm_mday = date & 0x1F;
    local.tm_mon = ((date >> 5) & 0x0F) - 1;
    local.tm_year = (date >> 9) + 1980 - 1900;
    local.tm_isdst = -1;
    return (int64_t)mktime(&local);
}

CPkFileHeader::CPkFileHeader() = default;

CPkFileHeader::CPkFileHeader(CPkCentralDir* owner) : m_pCentralDir(owner) {}

bool CPkFileHeader::IsKnownSystem(int code)
{
    return code == 0 || code == 3 || code == 6 || code == 7 || code == 11 || code == 15 || code == 20;
}

UINT CPkFileHeader::NameCodePage(int system)
{
    switch (system) {
    case 3:
    case 7:
    case 20: return CP_UTF8;
    case 6:
    case 15: return CP_ACP;
    default: return CP_OEMCP;
    }
}

UINT CPkFileHeader::TextCodePage(int system)
{
    switch (system) {
    case 3:
    case 7:
    case 20: return CP_UTF8;
    default: return CP_ACP;
    }
}

UINT CPkFileHeader::NamePageForReading() const
{
    return (m_uFlag & flUtf8) ? CP_UTF8 : NameCodePage(m_iSystemCompatibility);
}

UINT CPkFileHeader::TextPageForReading() const
{
    return (m_uFlag & flUtf8) ? CP_UTF8 : TextCodePage(m_iSystemCompatibility);
}

void CPkFileHeader::DecodeName()
{
    if (m_bNameDecoded)
        return;
    ZipBytesToString(m_fileName, m_szFileName, NamePageForReading());
    m_szFileName.Replace(L'/', L'\\');
    m_bNameDecoded = true;
}

void CPkFileHeader::DecodeComment()
{
    if (m_bCommentDecoded)
        return;
    ZipBytesToString(m_comment, m_szComment, TextPageForReading());
    m_bCommentDecoded = true;
}

void CPkFileHeader::DropEncodedText()
{
    DecodeName();
    DecodeComment();
    m_fileName.Release();
    m_comment.Release();
}

void CPkFileHeader::EncodeText()
{
    bool nameNeeded = m_fileName.GetSize() == 0 && !m_szFileName.IsEmpty();
    bool commentNeeded = m_comment.GetSize() == 0 && !m_szComment.IsEmpty();
    if (!nameNeeded && !commentNeeded)
        return;
    DecodeName();
    DecodeComment();
    CString storedName = m_szFileName;
    storedName.Replace(L'\\', L'/');
    UINT namePage = NameCodePage(m_iSystemCompatibility);
    UINT textPage = TextCodePage(m_iSystemCompatibility);
    bool utf8 = namePage == CP_UTF8 && textPage == CP_UTF8;
    if (!utf8) {
        // A name or comment the host's code page cannot hold goes as UTF-8,
        // marked by flag bit 11, rather than with substitute characters.
        bool nameFits = ZipStringToBytesExact(storedName, m_fileName, namePage) >= 0;
        bool commentFits = nameFits && ZipStringToBytesExact(m_szComment, m_comment, textPage) >= 0;
        if (nameFits && commentFits) {
            m_uFlag &= ~flUtf8;
            return;
        }
        m_uFlag |= flUtf8;
    }
    ZipStringToBytes(storedName, m_fileName, CP_UTF8);
    ZipStringToBytes(m_szComment, m_comment, CP_UTF8);
}

CString CPkFileHeader::GetEntryName(bool releaseBytes)
{
    DecodeName();
    if (releaseBytes)
        m_fileName.Release();
    return m_szFileName;
}

CString CPkFileHeader::GetComment()
{
    DecodeComment();
    return m_szComment;
}

void CPkFileHeader::SetComment(const CString& comment)
{
    DecodeName();
    m_comment.Release();
    m_szComment = comment;
    m_bCommentDecoded = true;
}

bool CPkFileHeader::SetEntryName(const CString& newName)
{
    CString name = newName;
    bool wholeRoot = name.GetLength() == 1 && EndsWithSeparator(name);
    if (!(wholeRoot && IsDirectory()))
        name.TrimLeft(L"\\/");
    if (!m_pCentralDir) {
        m_fileName.Release();
        m_szFileName = name;
        m_bNameDecoded = true;
        return true;
    }
    DecodeName();
    DecodeComment();
    name.TrimRight(L"\\/");
    if (IsDirectory())
        name += L"\\";
    if (name == m_szFileName)
        return true;
    CString oldName = m_szFileName;
    CPkAutoBuffer oldBytes = m_fileName;
    uint16_t oldFlag = m_uFlag;
    m_fileName.Release();
    m_szFileName = name;
    if (m_pCentralDir->AcceptRename(*this)) {
        m_iState |= stRenamed;
        return true;
    }
    m_szFileName = oldName;
    m_fileName = oldBytes;
    m_uFlag = oldFlag;
    return false;
}

void CPkFileHeader::CopyFrom(const CPkFileHeader& other)
{
    if (this == &other)
        return;
    m_uVersionMadeBy = other.m_uVersionMadeBy;
    m_uVersionNeeded = other.m_uVersionNeeded;
    m_uFlag = other.m_uFlag;
    m_uMethod = other.m_uMethod;
    m_uModTime = other.m_uModTime;
    m_uModDate = other.m_uModDate;
    m_uCrc32 = other.m_uCrc32;
    m_uComprSize = other.m_uComprSize;
    m_uUncomprSize = other.m_uUncomprSize;
    m_uVolumeStart = other.m_uVolumeStart;
    m_uInternalAttr = other.m_uInternalAttr;
    m_uLocalComprSize = other.m_uLocalComprSize;
    m_uLocalUncomprSize = other.m_uLocalUncomprSize;
    m_uOffset = other.m_uOffset;
    m_aLocalExtraData = other.m_aLocalExtraData;
    m_aCentralExtraData = other.m_aCentralExtraData;
    m_tModificationTime = other.m_tModificationTime;
    m_tLastAccessTime = other.m_tLastAccessTime;
    m_tCreationTime = other.m_tCreationTime;
    m_uExternalAttr = other.m_uExternalAttr;
    m_uLocalFileNameSize = other.m_uLocalFileNameSize;
    m_uEncryptionMethod = other.m_uEncryptionMethod;
    m_uLocalHeaderSize = other.m_uLocalHeaderSize;
    m_pCentralDir = other.m_pCentralDir;
    m_iState = other.m_iState;
    m_iSystemCompatibility = other.m_iSystemCompatibility;
    m_fileName = other.m_fileName;
    m_szFileName = other.m_szFileName;
    m_bNameDecoded = other.m_bNameDecoded;
    m_comment = other.m_comment;
    m_szComment = other.m_szComment;
    m_bCommentDecoded = other.m_bCommentDecoded;
}

bool CPkFileHeader::ReadCentral(CPkStorage& storage, bool signatureConsumed)
{
    char buf[kCentralSize];
    uint32_t skip = signatureConsumed ? 4 : 0;
    storage.Read(buf + skip, kCentralSize - skip, true);
    if (!signatureConsumed && memcmp(buf, kCentralSignature, 4) != 0)
        return false;
    m_uVersionMadeBy = (uint8_t)buf[4];
    m_iSystemCompatibility = (uint8_t)buf[5];
    m_uVersionNeeded = GetU16(buf + 6);
    m_uFlag = GetU16(buf + 8);
    m_uMethod = GetU16(buf + 10);
    m_uModTime = GetU16(buf + 12);
    m_uModDate = GetU16(buf + 14);
    m_uCrc32 = GetU32(buf + 16);
    m_uComprSize = GetU32(buf + 20);
    m_uUncomprSize = GetU32(buf + 24);
    uint16_t nameSize = GetU16(buf + 28);
    uint16_t extraSize = GetU16(buf + 30);
    uint16_t commentSize = GetU16(buf + 32);
    m_uVolumeStart = GetU16(buf + 34);
    m_uInternalAttr = GetU16(buf + 36);
    m_uExternalAttr = GetU32(buf + 38);
    m_uOffset = GetU32(buf + 42);
    m_uEncryptionMethod = (m_uFlag & flEncrypted) ? 0 : 255;
    // Saturated fields stand for values kept in Zip64 records, which this
    // library does not read; taking them at face value would be wrong.
    if (m_uComprSize == 0xFFFFFFFFu || m_uUncomprSize == 0xFFFFFFFFu || m_uOffset == 0xFFFFFFFFu ||
        m_uVolumeStart == 0xFFFF)
        storage.ThrowError(ZipCauseNoZip64);

    uint16_t volume = storage.GetCurrentVolume();
    m_fileName.Allocate(nameSize, false);
    if (nameSize)
        storage.Read(m_fileName.GetBuffer(), nameSize, true);
    m_bNameDecoded = false;
    m_szFileName.Empty();
    m_aCentralExtraData.Clear();
    if (extraSize) {
        CPkAutoBuffer extra(extraSize, false);
        storage.Read(extra.GetBuffer(), extraSize, true);
        if (!m_aCentralExtraData.Parse(extra.GetBuffer(), extraSize))
            return false;
    }
    m_comment.Allocate(commentSize, false);
    if (commentSize)
        storage.Read(m_comment.GetBuffer(), commentSize, true);
    m_bCommentDecoded = false;
    m_szComment.Empty();
    ReadNtfsTimes();
    m_aCentralExtraData.RemoveInternalHeaders();
    return storage.GetCurrentVolume() == volume || storage.IsBinarySplit();
}

void CPkFileHeader::ReadNtfsTimes()
{
    CPkExtraData* record = m_aCentralExtraData.Find(CPkExtraField::idNtfs);
    if (!record || record->m_data.GetSize() < 32)
        return;
    const char* data = record->m_data.GetBuffer();
    if (GetU16(data + 4) != 1 || GetU16(data + 6) != 24)
        return;
    m_tModificationTime = FileTimeValueToSeconds(GetU64(data + 8));
    m_tLastAccessTime = FileTimeValueToSeconds(GetU64(data + 16));
    m_tCreationTime = FileTimeValueToSeconds(GetU64(data + 24));
}

void CPkFileHeader::WriteNtfsTimes()
{
    if (m_tModificationTime == 0 && m_tLastAccessTime == 0 && m_tCreationTime == 0)
        return;
    CPkExtraData* record = m_aCentralExtraData.AppendNtfsRecord();
    char* data = record->m_data.GetBuffer();
    PutU16(data + 4, 1);
    PutU16(data + 6, 24);
    int64_t now = ZipFileSystem::CurrentTime();
    const int64_t times[3] = {m_tModificationTime, m_tLastAccessTime, m_tCreationTime};
    for (int i = 0; i < 3; ++i) {
        int64_t t = times[i] > 0 ? times[i] : now;
        PutU64(data + 8 + 8 * i, (uint64_t)((t + 11644473600LL) * 10000000LL));
    }
}

void CPkFileHeader::CheckLengths(const CPkStorage& storage, uint32_t extraSize) const
{
    if (m_fileName.GetSize() > kMaxField || m_comment.GetSize() > kMaxField || extraSize > kMaxField)
        storage.ThrowError(ZipCauseTooLongData);
}

void CPkFileHeader::WriteCommonFields(char* p, uint32_t comprSize, uint32_t uncomprSize) const
{
    // The run of fields that local and central headers share.
    PutU16(p, m_uVersionNeeded);
    PutU16(p + 2, m_uFlag);
    PutU16(p + 4, m_uMethod);
    PutU16(p + 6, m_uModTime);
    PutU16(p + 8, m_uModDate);
    PutU32(p + 10, m_uCrc32);
    PutU32(p + 14, comprSize);
    PutU32(p + 18, uncomprSize);
}

uint32_t CPkFileHeader::WriteCentral(CPkStorage& storage)
{
    m_aCentralExtraData.RemoveInternalHeaders();
    WriteNtfsTimes();
    EncodeText();
    uint32_t extraSize = m_aCentralExtraData.GetTotalSize();
    try {
        CheckLengths(storage, extraSize);
    } catch (...) {
        m_aCentralExtraData.RemoveInternalHeaders();
        throw;
    }
    uint32_t nameSize = m_fileName.GetSize(), commentSize = m_comment.GetSize();
    uint32_t total = kCentralSize + nameSize + extraSize + commentSize;
    CPkAutoBuffer record(total, false);
    char* buf = record.GetBuffer();
    memcpy(buf, kCentralSignature, 4);
    buf[4] = (char)m_uVersionMadeBy;
    buf[5] = (char)m_iSystemCompatibility;
    WriteCommonFields(buf + 6, m_uComprSize, m_uUncomprSize);
    PutU16(buf + 28, (uint16_t)nameSize);
    PutU16(buf + 30, (uint16_t)extraSize);
    PutU16(buf + 32, (uint16_t)commentSize);
    PutU16(buf + 34, m_uVolumeStart);
    PutU16(buf + 36, m_uInternalAttr);
    PutU32(buf + 38, m_uExternalAttr);
    PutU32(buf + 42, m_uOffset);
    if (nameSize)
        memcpy(buf + kCentralSize, m_fileName.GetBuffer(), nameSize);
    m_aCentralExtraData.WriteTo(buf + kCentralSize + nameSize);
    if (commentSize)
        memcpy(buf + kCentralSize + nameSize + extraSize, m_comment.GetBuffer(), commentSize);
    m_aCentralExtraData.RemoveInternalHeaders();
    storage.Write(buf, total, true);
    return total;
}

bool CPkFileHeader::ReadLocalHeader(CPkCentralDir& owner)
{
    CPkStorage& storage = owner.GetStorage();
    int options = owner.m_iCheckOptions;
    if (storage.IsBinarySplit()) {
        storage.ChangeVolume(0);
        storage.SeekInBinarySplit(m_uOffset, true);
    } else {
        storage.ChangeVolume(m_uVolumeStart);
        storage.SeekToLogical(m_uOffset);
    }
    uint16_t volume = storage.GetCurrentVolume();
    char buf[kLocalSize];
    storage.Read(buf, kLocalSize, true);
    if (memcmp(buf, kLocalSignature, 4) != 0)
        return false;
    uint16_t flag = GetU16(buf + 6);
    if (!(options & CPkCentralDir::coNoFlagCheck) && (flag & 0xF) != (m_uFlag & 0xF))
        return false;
    m_uLocalFileNameSize = GetU16(buf + 26);
    uint16_t extraSize = GetU16(buf + 28);
    m_uLocalHeaderSize = kLocalSize + m_uLocalFileNameSize + extraSize;
    uint32_t skipAndExtra = (uint32_t)m_uLocalFileNameSize + extraSize;
    m_aLocalExtraData.Clear();
    if (skipAndExtra) {
        CPkAutoBuffer rest(skipAndExtra, false);
        storage.Read(rest.GetBuffer(), skipAndExtra, true);
        if (extraSize && !m_aLocalExtraData.Parse(rest.GetBuffer() + m_uLocalFileNameSize, extraSize))
            return false;
    }
    m_uLocalComprSize = GetU32(buf + 18);
    m_uLocalUncomprSize = GetU32(buf + 22);
    TakeLocalZip64Sizes();
    uint16_t method = GetU16(buf + 8);
    if (method == 99 && IsEncrypted())
        storage.ThrowError(ZipCauseNoAes);
    if (!(options & CPkCentralDir::coNoMethodCheck) && method != m_uMethod)
        return false;
    if (!(flag & flDataDescriptor) && !(options & (CPkCentralDir::coNoSizeCheck | CPkCentralDir::coNoCrcCheck))) {
        if (GetU32(buf + 14) != m_uCrc32)
            return false;
        if ((m_uLocalComprSize != 0 && m_uLocalComprSize != m_uComprSize) || m_uLocalUncomprSize != m_uUncomprSize)
            return false;
    }
    return storage.GetCurrentVolume() == volume || storage.IsBinarySplit();
}

void CPkFileHeader::TakeLocalZip64Sizes()
{
    // Writers that do not know a size in advance (a stream) saturate the
    // local sizes and give them in a Zip64 record, even when they are small.
    if (m_uLocalComprSize != 0xFFFFFFFFu && m_uLocalUncomprSize != 0xFFFFFFFFu)
        return;
    CPkExtraData* record = m_aLocalExtraData.Find(CPkExtraField::idZip64);
    if (!record || record->m_data.GetSize() < 16)
        return;
    uint64_t uncompressed = GetU64(record->m_data.GetBuffer());
    uint64_t compressed = GetU64(record->m_data.GetBuffer() + 8);
    if (uncompressed <= 0xFFFFFFFEull && compressed <= 0xFFFFFFFEull) {
        m_uLocalUncomprSize = (uint32_t)uncompressed;
        m_uLocalComprSize = (uint32_t)compressed;
    }
}

void CPkFileHeader::WriteLocalHeader(CPkStorage& storage)
{
    m_aLocalExtraData.RemoveUnicodeAndAesHeaders();
    if (HasDataDescriptor()) {
        m_uLocalComprSize = 0;
        m_uLocalUncomprSize = 0;
    }
    EncodeText();
    uint32_t extraSize = m_aLocalExtraData.GetTotalSize();
    CheckLengths(storage, extraSize);
    uint32_t nameSize = m_fileName.GetSize();
    uint32_t total = kLocalSize + nameSize + extraSize;
    // The offset must fit its 32-bit field; refuse before writing anything.
    uint64_t position = storage.IsSegmented() && !storage.IsBinarySplit() ? 0 : storage.GetPosition();
    if (position > 0xFFFFFFFFull)
        storage.ThrowError(ZipCauseTooBigSize);
    CPkAutoBuffer record(total, false);
    char* buf = record.GetBuffer();
    memcpy(buf, kLocalSignature, 4);
    WriteCommonFields(buf + 4, m_uLocalComprSize, m_uLocalUncomprSize);
    PutU16(buf + 26, (uint16_t)nameSize);
    PutU16(buf + 28, (uint16_t)extraSize);
    if (nameSize)
        memcpy(buf + kLocalSize, m_fileName.GetBuffer(), nameSize);
    m_aLocalExtraData.WriteTo(buf + kLocalSize + nameSize);
    storage.Write(buf, total, true);
    m_uLocalFileNameSize = (uint16_t)nameSize;
    m_uLocalHeaderSize = total;
    m_uVolumeStart = storage.IsBinarySplit() ? 0 : storage.GetCurrentVolume();
    uint64_t offset = storage.GetPosition() - total;
    if (offset > 0xFFFFFFFFull)
        storage.ThrowError(ZipCauseTooBigSize);
    m_uOffset = (uint32_t)offset;
    m_aLocalExtraData.RemoveUnicodeAndAesHeaders();
}

uint32_t CPkFileHeader::GetDataDescriptorSize(const CPkStorage& storage) const
{
    if (!HasDataDescriptor())
        return 0;
    return (storage.IsSegmented() || IsEncrypted()) ? 16 : 12;
}

void CPkFileHeader::WriteDataDescriptor(CPkStorage& storage)
{
    if (!HasDataDescriptor())
        return;
    char buf[16];
    bool signature = storage.IsSegmented() || IsEncrypted();
    char* p = buf;
    if (signature) {
        memcpy(p, kDescriptorSignature, 4);
        p += 4;
    }
    PutU32(p, m_uCrc32);
    PutU32(p + 4, m_uComprSize);
    PutU32(p + 8, m_uUncomprSize);
    storage.Write(buf, signature ? 16 : 12, true);
}

bool CPkFileHeader::CheckDataDescriptor(CPkStorage& storage) const
{
    if (!HasDataDescriptor())
        return true;
    char buf[16];
    storage.Read(buf, 12, false);
    const char* values = buf;
    if (memcmp(buf, kDescriptorSignature, 4) == 0) {
        storage.Read(buf + 12, 4, false);
        values = buf + 4;
    }
    return GetU32(values) == m_uCrc32 && GetU32(values + 4) == m_uComprSize && GetU32(values + 8) == m_uUncomprSize;
}

void CPkFileHeader::UpdateLocalSizes(CPkStorage& storage)
{
    storage.Flush();
    CPkAbstractFile* file = storage.GetFile();
    ULONGLONG position = file->GetPosition();
    m_uLocalComprSize = m_uComprSize;
    m_uLocalUncomprSize = m_uUncomprSize;
    char buf[12];
    PutU32(buf, m_uCrc32);
    PutU32(buf + 4, m_uComprSize);
    PutU32(buf + 8, m_uUncomprSize);
    file->Seek((LONGLONG)(m_uOffset + 14 + storage.GetFileOffsetBase()), CFile::begin);
    file->Write(buf, 12);
    file->Seek((LONGLONG)position, CFile::begin);
}

void CPkFileHeader::PrepareForWriting(int level, bool segmented)
{
    m_uFlag = 0;
    if (m_uMethod == 8) {
        if (level == 1)
            m_uFlag |= 6;
        else if (level == 2)
            m_uFlag |= 4;
        else if (level == 8 || level == 9)
            m_uFlag |= 2;
    }
    if (segmented || IsEncrypted())
        m_uFlag |= flDataDescriptor;
    if (IsEncrypted())
        m_uFlag |= flEncrypted;
    m_uVersionMadeBy = 20;
    m_uInternalAttr = 0;
    m_uCrc32 = 0;
    m_uComprSize = 0;
    m_uUncomprSize = 0;
    if (IsEncrypted())
        m_uLocalComprSize += kEncryptionHeaderSize;
    m_uVersionNeeded = IsDirectory() ? 10 : 20;
    // The UTF-8 decision is made again when the text is encoded.
    DropEncodedText();
}

int64_t CPkFileHeader::GetModificationTime() const
{
    if (m_tModificationTime != 0)
        return m_tModificationTime;
    return DosTimeToSeconds(m_uModDate, m_uModTime);
}

void CPkFileHeader::SetModificationTime(int64_t seconds, bool keepFullTimes)
{
    SecondsToDosTime(seconds, m_uModDate, m_uModTime);
    if (keepFullTimes) {
        m_tModificationTime = seconds;
    } else {
        m_tModificationTime = m_tLastAccessTime = m_tCreationTime = 0;
    }
}

DWORD CPkFileHeader::ToWindowsAttributes(uint32_t external, bool& known) const
{
    known = true;
    switch (m_iSystemCompatibility) {
    case 0:
    case 6:
    case 11:
    case 15: return external & 0xFFFF;
    case 7:
    case 20: return external & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
    case 3: return WindowsAttributesOfUnixMode(external >> 16);
    default: known = false; return 0;
    }
}

DWORD CPkFileHeader::GetSystemAttributes()
{
    bool known;
    DWORD attributes = ToWindowsAttributes(m_uExternalAttr, known);
    if (!known) {
        // Unknown hosts: only what the name tells.
        return EndsWithSeparator(GetEntryName()) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    }
    if (!(m_uComprSize != 0 && m_uExternalAttr != 0) && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        EndsWithSeparator(GetEntryName()))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    return attributes;
}

bool CPkFileHeader::SetSystemAttributes(DWORD attributes)
{
    uint32_t external;
    if (m_iSystemCompatibility == 3) {
        external = (UnixModeOf(attributes) << 16) | (attributes & FILE_ATTRIBUTE_DIRECTORY);
    } else if (IsKnownSystem(m_iSystemCompatibility)) {
        DWORD own = KeepsOnlyReadOnlyAndDirectory(m_iSystemCompatibility)
                        ? attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)
                        : attributes & 0xFFFF;
        external = own + (UnixModeOf(attributes) << 16);
    } else {
        ThrowZipException(ZipCausePlatformNotSupported);
    }
    if (external == m_uExternalAttr)
        return true;
    if (m_pCentralDir && !m_pCentralDir->CanModify())
        return false;
    m_uExternalAttr = external;
    return true;
}

void CPkFileHeader::SetSystemCompatibility(uint8_t code)
{
    DWORD attributes = GetSystemAttributes();
    DecodeName();
    DecodeComment();
    m_fileName.Release();
    m_comment.Release();
    m_iSystemCompatibility = code;
    CPkCentralDir* owner = m_pCentralDir;
    m_pCentralDir = nullptr;  // a change of form, not a change of the entry
    SetSystemAttributes(attributes);
    m_pCentralDir = owner;
}

bool CPkFileHeader::IsDirectory() { return (GetSystemAttributes() & FILE_ATTRIBUTE_DIRECTORY) != 0; }

uint32_t CPkFileHeader::GetLocalSize() const
{
    return kLocalSize + m_fileName.GetSize() + m_aLocalExtraData.GetTotalSize();
}

int CPkFileHeader::GetCompressionLevel() const
{
    if (m_uMethod == 0)
        return 0;
    switch (m_uFlag & 6) {
    case 6: return 1;
    case 4: return 2;
    case 2: return 9;
    default: return -1;
    }
}

bool CPkFileHeader::IsCompressionEffective() const
{
    return (int64_t)m_uUncomprSize >= (int64_t)m_uComprSize - (int64_t)GetEncryptionHeaderSize();
}
