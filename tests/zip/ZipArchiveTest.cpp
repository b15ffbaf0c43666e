// The archive object on disk: adding with its rules, names, extraction,
// testing, volumes, renaming, and the failure paths that must leave nothing
// half-done.
#include "tests/zip/ZipTestSupport.h"
#include "zip/ZipFileSystem.h"

#include <memory>

namespace {

using qvtest::ReadFileBytes;

// Adds every path with the backup jobs' settings; returns how many were added.
int Pack(CPkArchive& archive, const CString& base, const std::vector<CString>& paths, int level = 6, int rules = 1)
{
    archive.SetBaseFolder(base);
    int added = 0;
    for (const CString& path : paths) {
        ZipAddRequest request(path, false);
        request.m_iComprLevel = level;
        request.m_iSmartLevel = (uint32_t)rules;
        added += archive.AddFile(request) ? 1 : 0;
    }
    return added;
}

std::unique_ptr<CPkFileHeader> Info(CPkArchive& archive, uint16_t index)
{
    std::unique_ptr<CPkFileHeader> header(new CPkFileHeader);
    EXPECT_TRUE(archive.GetEntryInfo(*header, index));
    return header;
}

TEST(PkArchive, BufferSizesHaveAFloorAndWaitForClosing)
{
    qvtest::TempFolder dir;
    CPkArchive archive;
    archive.SetIoBuffers(100, 200, 300);
    EXPECT_EQ(archive.GetStorage().m_iWriteBufferSize, 1024);
    EXPECT_EQ(archive.GetStorage().m_iLocateBufferSize, 1024);
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omCreate);
    archive.SetIoBuffers(5000, 5000, 5000);
    EXPECT_EQ(archive.GetStorage().m_iWriteBufferSize, 1024);
    CPkFileHeader header;
    EXPECT_FALSE(archive.GetEntryInfo(header, 0xFFFF));
    EXPECT_FALSE(archive.OpenArchive(dir / L"b.zip", CPkStorage::omCreate)) << "already open";
    EXPECT_TRUE(archive.CloseArchive(CPkArchive::cmAfterException).IsEmpty());
    EXPECT_FALSE(archive.GetEntryInfo(header, 0));
}

TEST(PkArchive, AddRulesWithPassword)
{
    qvtest::TempFolder dir;
    CString base = dir / L"src";
    CreateDirectoryW(base, nullptr);
    CreateDirectoryW(base + L"\\folder", nullptr);
    std::vector<CString> paths = {base + L"\\folder", dir.WriteFile(L"src\\empty.txt", ""),
                                  dir.WriteFile(L"src\\tiny.txt", "abc"),
                                  dir.WriteFile(L"src\\big.txt", std::string(5000, 'x'))};
    CPkArchive archive;
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omCreate);
    archive.SetPassword(L"pw");
    EXPECT_EQ(Pack(archive, base, paths, 6, 7), 4);
    archive.CloseArchive();

    archive.OpenArchive(dir / L"a.zip", CPkStorage::omOpen);
    struct Expect {
        const WCHAR* name;
        bool encrypted;
        uint16_t method;
    } expected[] = {{L"folder\\", false, 0}, {L"empty.txt", false, 0}, {L"tiny.txt", true, 0}, {L"big.txt", true, 8}};
    ASSERT_EQ(archive.GetEntryCount(), 4);
    for (uint16_t i = 0; i < 4; ++i) {
        auto header = Info(archive, i);
        EXPECT_EQ(header->GetEntryName(), CString(expected[i].name));
        EXPECT_EQ(header->IsEncrypted(), expected[i].encrypted) << i;
        EXPECT_EQ(header->m_uMethod, expected[i].method) << i;
    }
    archive.SetPassword(L"pw");
    for (uint16_t i = 0; i < 4; ++i)
        EXPECT_TRUE(archive.TestEntry(i, 65536));
    archive.CloseArchive();
}

TEST(PkArchive, EfficiencyCheckStoresIncompressibleData)
{
    qvtest::TempFolder dir;
    CString random = dir.WriteFile(L"random.bin", qvtest::PatternBytes(20000, 9));
    CString text = dir.WriteFile(L"text.txt", std::string(20000, 't'));
    CPkArchive archive;
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omCreate);
    EXPECT_EQ(Pack(archive, dir.Path(), {random, text}, 6, 8), 2);
    EXPECT_EQ(Info(archive, 0)->m_uMethod, 0);
    EXPECT_EQ(Info(archive, 1)->m_uMethod, 8);
    archive.CloseArchive();
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omOpen);
    EXPECT_TRUE(archive.TestEntry(0) && archive.TestEntry(1));
    archive.CloseArchive();
}

TEST(PkArchive, EntryNamesFromTheBaseFolder)
{
    qvtest::TempFolder dir;
    CPkArchive archive;
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omCreate);
    archive.SetBaseFolder(L"c:\\f\\");
    EXPECT_EQ(archive.PredictEntryName(L"c:\\f\\sub\\a.txt", false, false), CString(L"sub\\a.txt"));
    EXPECT_EQ(archive.PredictEntryName(L"C:\\F\\sub", false, true), CString(L"sub\\"));
    EXPECT_EQ(archive.PredictEntryName(L"c:\\other\\b.txt", false, false), CString(L"b.txt"));
    EXPECT_EQ(archive.PredictEntryName(L"c:\\ff\\b.txt", false, false), CString(L"b.txt"));
    EXPECT_EQ(archive.PredictEntryName(L"c:\\x\\y.txt", true, false), CString(L"x\\y.txt"));

    for (int i = 0; i < 2; ++i) {
        CPkFileHeader header;
        header.SetSystemAttributes(FILE_ATTRIBUTE_ARCHIVE);
        ASSERT_TRUE(archive.BeginEntryWrite(header, 12));
        archive.WriteEntryData("data", 4);
        archive.EndEntryWrite();
    }
    EXPECT_EQ(Info(archive, 0)->GetEntryName(), CString(L"file0"));
    EXPECT_EQ(Info(archive, 1)->GetEntryName(), CString(L"file1"));
    EXPECT_EQ(Info(archive, 1)->m_uMethod, 8) << "level 12 is the default level";
    archive.CloseArchive();
    EXPECT_NE(ReadFileBytes(dir / L"a.zip").find("file1"), std::string::npos);
}

TEST(PkArchive, ExtractsWithAndWithoutFullPaths)
{
    qvtest::TempFolder dir;
    CString base = dir / L"src";
    CreateDirectoryW(base, nullptr);
    CreateDirectoryW(base + L"\\sub", nullptr);
    std::string content = qvtest::PatternBytes(70000, 4);
    CString stored = dir.WriteFile(L"src\\sub\\x.txt", content);
    CPkArchive archive;
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omCreate);
    Pack(archive, base, {stored}, 0);
    ZipAddRequest again(stored, false);
    again.m_szFileNameInZip = L"sub\\y.txt";
    again.m_iSmartLevel = 0;
    archive.AddFile(again);
    archive.CloseArchive();

    archive.OpenArchive(dir / L"a.zip", CPkStorage::omOpen);
    EXPECT_EQ(Info(archive, 0)->m_uMethod, 0);
    EXPECT_EQ(Info(archive, 1)->m_uMethod, 8);
    CString out = dir / L"out";
    EXPECT_TRUE(archive.ExtractEntry(0, out, true));
    EXPECT_TRUE(archive.ExtractEntry(1, out, false));
    EXPECT_EQ(ReadFileBytes(out + L"\\sub\\x.txt"), content);
    EXPECT_EQ(ReadFileBytes(out + L"\\y.txt"), content);
    EXPECT_EQ(archive.PredictExtractedName(L"a\\.\\b", L"c:\\out\\", true), CString(L"c:\\out\\a\\b"));
    archive.CloseArchive();
}

TEST(PkArchive, ExistingTargetsAreKeptOrReplacedSafely)
{
    qvtest::TempFolder dir;
    CString source = dir.WriteFile(L"f.txt", "new content");
    int64_t old = 1500000000;
    ZipFileSystem::SetFileTimes(source, &old, &old, &old);
    CPkArchive archive;
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omCreate);
    Pack(archive, dir.Path(), {source});
    archive.CloseArchive();

    CString out = dir / L"out";
    CreateDirectoryW(out, nullptr);
    CString target = dir.WriteFile(L"out\\f.txt", "newer file");
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omOpen);
    EXPECT_TRUE(archive.ExtractEntry(0, out, true, nullptr, CPkArchive::efSkipNotOlder));
    EXPECT_EQ(ReadFileBytes(target), "newer file");

    SetFileAttributesW(target, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ziptest::CauseOf([&] { archive.ExtractEntry(0, out, true, nullptr, 0); }), ZipCauseNotRemoved);
    EXPECT_EQ(ReadFileBytes(target), "newer file");
    EXPECT_TRUE(archive.ExtractEntry(0, out, true, nullptr, ZipFileSystem::RemoveClearReadOnly));
    EXPECT_EQ(ReadFileBytes(target), "new content");
    int64_t modified = 0;
    ZipFileSystem::GetFileTimes(target, &modified);
    EXPECT_EQ(modified, old);
    archive.CloseArchive();
}

TEST(PkArchive, DamagedDataLeavesNoFileAndKeepsTheOldOne)
{
    qvtest::TempFolder dir;
    std::string content = std::string(40000, 'a') + qvtest::PatternBytes(1000, 2);
    for (uint16_t method : {0, 8}) {
        ziptest::RawEntry entry;
        entry.name = "f.txt";
        entry.method = method;
        entry.data = method ? ziptest::Deflate(content) : content;
        entry.uncomprSize = (int64_t)content.size();
        entry.crc = ziptest::Crc(content);
        std::string bytes = ziptest::BuildArchive({entry});
        bytes[30 + 5 + entry.data.size() / 2] ^= 0x10;
        CString path = dir.WriteFile(L"damaged.zip", bytes);
        CString out = dir / L"out";
        CreateDirectoryW(out, nullptr);
        CString target = dir.WriteFile(L"out\\f.txt", "precious");

        CPkArchive archive;
        archive.OpenArchive(path, CPkStorage::omOpen);
        int cause = ziptest::CauseOf([&] { archive.ExtractEntry(0, out, true); });
        EXPECT_TRUE(cause == ZipCauseBadCrc || cause == ZipCauseDataError) << cause;
        EXPECT_EQ(archive.EndEntryRead(nullptr, true), 0) << "no entry stays open";
        EXPECT_EQ(ReadFileBytes(target), "precious");
        DeleteFileW(target);
        EXPECT_NE(ziptest::CauseOf([&] { archive.ExtractEntry(0, out, true); }), 0);
        EXPECT_FALSE(qvtest::FileExists(target)) << "no partial file";
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(out + L"\\*.tmp", &data);
        EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "no temporary file left";
        if (find != INVALID_HANDLE_VALUE)
            FindClose(find);
        EXPECT_EQ(ziptest::CauseOf([&] { archive.TestEntry(0); }), cause);
        EXPECT_EQ(archive.GetEntryState(), 0);
        archive.CloseArchive();
    }
}

TEST(PkArchive, TestingRefusesFoldersWithDataAndUnknownMethods)
{
    qvtest::TempFolder dir;
    ziptest::RawEntry folder, method12;
    folder.name = "dir/";
    folder.data = "12345";
    folder.external = 0x10;
    method12.name = "m";
    method12.method = 12;
    method12.data = "xyz";
    CString path = dir.WriteFile(L"a.zip", ziptest::BuildArchive({folder, method12}));
    CPkArchive archive;
    archive.OpenArchive(path, CPkStorage::omOpen);
    EXPECT_EQ(ziptest::CauseOf([&] { archive.TestEntry(0); }), ZipCauseDirWithSize);
    EXPECT_FALSE(archive.TestEntry(1));
    EXPECT_FALSE(archive.BeginEntryRead(1));
    EXPECT_FALSE(archive.ExtractEntry(1, dir / L"out"));
    archive.CloseArchive();
}

// A source whose reading fails half-way, as a disk or network error would.
class FailingFile : public CPkMemFile {
public:
    UINT Read(void* buffer, UINT count) override
    {
        if (++m_reads > 2)
            CFileException::Throw(CFileException::hardIO, ERROR_READ_FAULT, L"failing");
        return CPkMemFile::Read(buffer, count);
    }
    int m_reads = 0;
};

TEST(PkArchive, AFailedAddLeavesNoPartialEntry)
{
    qvtest::TempFolder dir;
    CString good = dir.WriteFile(L"good.txt", std::string(3000, 'g'));
    CPkArchive archive;
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omCreate);
    Pack(archive, dir.Path(), {good});
    FailingFile failing;
    std::string data = qvtest::PatternBytes(300000, 5);
    failing.Write(data.data(), (UINT)data.size());
    ZipAddRequest request(L"", false);
    request.m_pFile = &failing;
    request.m_szFileNameInZip = L"bad.bin";
    EXPECT_EQ(ziptest::CauseOf([&] { archive.AddFile(request); }), -1);
    EXPECT_FALSE(archive.EndEntryWrite(true)) << "the library already abandoned the entry";
    EXPECT_EQ(archive.GetEntryCount(), 1);
    Pack(archive, dir.Path(), {good});
    archive.CloseArchive();

    archive.OpenArchive(dir / L"a.zip", CPkStorage::omOpen);
    ASSERT_EQ(archive.GetEntryCount(), 2);
    EXPECT_TRUE(archive.TestEntry(0) && archive.TestEntry(1));
    EXPECT_EQ(Info(archive, 1)->m_uOffset, 30u + 8 + Info(archive, 0)->m_uComprSize) << "the bad entry's bytes are gone";
    archive.CloseArchive();
}

TEST(PkArchive, SizesAndOffsetsBeyond32BitsAreRefusedBeforeWriting)
{
    qvtest::TempFolder dir;
    CString huge = dir / L"huge.bin";
    {
        CPkFile file(huge, CFile::modeCreate | CFile::modeWrite);
        file.SetLength(0x140000000ull);  // sparse: 5 GiB of nothing
    }
    CString path = dir / L"a.zip";
    CPkArchive archive;
    archive.OpenArchive(path, CPkStorage::omCreate);
    ZipAddRequest request(huge, false);
    EXPECT_EQ(ziptest::CauseOf([&] { archive.AddFile(request); }), ZipCauseTooBigSize);
    EXPECT_EQ(archive.GetEntryCount(), 0);
    archive.CloseArchive();
    EXPECT_EQ(ReadFileBytes(path).size(), 22u) << "an empty archive, nothing of the entry";

    // An archive appended behind 5 GiB of other data cannot record its offsets.
    CString smallFile = dir.WriteFile(L"small.txt", "small");
    archive.OpenArchive(huge, CPkStorage::omAppend);
    ZipAddRequest second(smallFile, false);
    EXPECT_EQ(ziptest::CauseOf([&] { archive.AddFile(second); }), ZipCauseTooBigSize);
    archive.CloseArchive(CPkArchive::cmAfterException);
    CPkFile check(huge, CFile::modeRead);
    EXPECT_EQ(check.GetLength(), 0x140000000ull);
    check.Close();
    DeleteFileW(huge);
}

TEST(PkArchive, NamesOutsideTheOemCodePageAreStoredAsUtf8)
{
    qvtest::TempFolder dir;
    CString file = dir.WriteFile(L"f.txt", "x");
    CPkArchive archive;
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omCreate);
    for (const char* name : {"plain.txt", "é.txt", "Привет.txt"}) {
        ZipAddRequest request(file, false);
        request.m_szFileNameInZip = CString::FromUtf8(name);
        archive.AddFile(request);
    }
    archive.CloseArchive();
    std::string bytes = ReadFileBytes(dir / L"a.zip");
    // Only the names can hold a replacement mark; a bare '?' byte may be part of
    // a time stamp or a CRC.
    EXPECT_EQ(bytes.find("?.txt"), std::string::npos) << "nothing became a question mark";
    EXPECT_NE(bytes.find("Привет.txt"), std::string::npos);
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omOpen);
    const char* expected[] = {"plain.txt", "é.txt", "Привет.txt"};
    uint16_t utf8Flags[] = {0, 0, 0x800};
    for (uint16_t i = 0; i < 3; ++i) {
        auto header = Info(archive, i);
        EXPECT_EQ(header->GetEntryName(), CString::FromUtf8(expected[i]));
        EXPECT_EQ(header->m_uFlag & 0x800, utf8Flags[i]);
    }
    archive.CloseArchive();

    // Flag bit 11 means UTF-8 whatever the host.
    ziptest::RawEntry entry;
    entry.name = "日本.txt";
    entry.flags = 0x800;
    entry.host = 0;
    entry.data = "d";
    archive.OpenArchive(dir.WriteFile(L"b.zip", ziptest::BuildArchive({entry})), CPkStorage::omOpen);
    EXPECT_EQ(Info(archive, 0)->GetEntryName(), CString::FromUtf8("日本.txt"));
    archive.CloseArchive();
}

TEST(PkArchive, SplitAndBinarySplitVolumes)
{
    qvtest::TempFolder dir;
    CString data = dir.WriteFile(L"data.bin", qvtest::PatternBytes(250000, 8));
    CPkArchive archive;
    archive.OpenArchive(dir / L"s.zip", 0x104, 100000);
    Pack(archive, dir.Path(), {data});
    EXPECT_EQ(archive.CloseArchive(), dir / L"s.zip");
    EXPECT_TRUE(qvtest::FileExists(dir / L"s.z01") && qvtest::FileExists(dir / L"s.z02"));
    EXPECT_EQ(ReadFileBytes(dir / L"s.z01").substr(0, 4), std::string("PK\x07\x08", 4));

    archive.OpenArchive(dir / L"s.zip", CPkStorage::omOpen);
    EXPECT_TRUE(archive.TestEntry(0));
    archive.CloseArchive();
    MoveFileW(dir / L"s.z02", dir / L"moved");
    archive.OpenArchive(dir / L"s.zip", CPkStorage::omOpen);
    CPkException* missing = nullptr;
    try {
        archive.TestEntry(0);
    } catch (CPkException* e) {
        missing = e;
    }
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->m_iCause, ZipCauseNotFound);
    EXPECT_EQ(missing->m_szFileName, dir / L"s.z02");
    missing->Delete();
    archive.EndEntryRead(nullptr, true);
    archive.CloseArchive();

    archive.OpenArchive(dir / L"b.zip", 0x204, 100000);
    Pack(archive, dir.Path(), {data});
    CString last = archive.CloseArchive();
    EXPECT_EQ(last, dir / L"b.zip.003");
    archive.OpenArchive(last, 0x201);
    EXPECT_TRUE(archive.TestEntry(0));
    archive.CloseArchive();
    CopyFileW(last, dir / L"b.zip.1", FALSE);
    EXPECT_EQ(ziptest::CauseOf([&] { archive.OpenArchive(dir / L"b.zip.1", 0x201); }), ZipCauseBadZipFile);
    archive.CloseArchive(CPkArchive::cmAfterException);

    // Content that fits the first volume becomes a plain archive.
    CString smallFile = dir.WriteFile(L"small.txt", std::string(5000, 's'));
    archive.OpenArchive(dir / L"one.zip", 0x104, 100000);
    Pack(archive, dir.Path(), {smallFile});
    archive.CloseArchive();
    std::string bytes = ReadFileBytes(dir / L"one.zip");
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4));
    EXPECT_EQ(ziptest::GetU16(bytes, bytes.size() - 22 + 4), 0) << "the end record says volume 0";
    EXPECT_FALSE(qvtest::FileExists(dir / L"one.z01"));
    archive.OpenArchive(dir / L"one.zip", CPkStorage::omOpen);
    EXPECT_TRUE(archive.TestEntry(0));
    EXPECT_FALSE(Info(archive, 0)->HasDataDescriptor());
    archive.CloseArchive();

    // The same when the volume was already written out: converted in a file mapping.
    archive.SetIoBuffers(1024, 65536, 32768);
    CString noise = dir.WriteFile(L"noise.bin", qvtest::PatternBytes(3000, 6));
    archive.OpenArchive(dir / L"mapped.zip", 0x104, 100000);
    Pack(archive, dir.Path(), {noise, smallFile});
    archive.CloseArchive();
    bytes = ReadFileBytes(dir / L"mapped.zip");
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4));
    EXPECT_FALSE(qvtest::FileExists(dir / L"mapped.z01"));
    archive.OpenArchive(dir / L"mapped.zip", CPkStorage::omOpen);
    EXPECT_TRUE(archive.TestEntry(0) && archive.TestEntry(1));
    archive.CloseArchive();
}

TEST(PkArchive, RenamesMoveTheFollowingEntries)
{
    qvtest::TempFolder dir;
    std::vector<CString> files = {dir.WriteFile(L"a.txt", "first"), dir.WriteFile(L"b.txt", "second"),
                                  dir.WriteFile(L"c.txt", "third")};
    CPkArchive archive;
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omCreate);
    Pack(archive, dir.Path(), files);
    archive.CloseArchive();

    archive.OpenArchive(dir / L"a.zip", CPkStorage::omOpen);
    uint32_t before1 = Info(archive, 1)->m_uOffset, before2 = Info(archive, 2)->m_uOffset;
    EXPECT_TRUE(archive.RenameEntry(0, L"a-renamed.txt"));
    archive.CloseArchive();
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omOpen);
    EXPECT_EQ(Info(archive, 0)->GetEntryName(), CString(L"a-renamed.txt"));
    EXPECT_EQ(Info(archive, 1)->m_uOffset, before1 + 8);
    EXPECT_EQ(Info(archive, 2)->m_uOffset, before2 + 8);
    for (uint16_t i = 0; i < 3; ++i)
        EXPECT_TRUE(archive.TestEntry(i));
    archive.CloseArchive();
}

TEST(PkArchive, CopyingEncryptsPlainEntriesAndKeepsEncryptedOnes)
{
    qvtest::TempFolder dir;
    CString file = dir.WriteFile(L"t.txt", std::string(4000, 'c'));
    CPkArchive source, target;
    source.OpenArchive(dir / L"src.zip", CPkStorage::omCreate);
    Pack(source, dir.Path(), {file});
    source.CloseArchive();
    source.OpenArchive(dir / L"src.zip", CPkStorage::omOpen);
    target.OpenArchive(dir / L"dst.zip", CPkStorage::omCreate);
    target.SetPassword(L"pw");
    EXPECT_FALSE(target.CopyEntryFrom(target, 0, 0xFFFF, nullptr));
    EXPECT_TRUE(target.CopyEntryFrom(source, 0, 0xFFFF, nullptr));
    EXPECT_EQ(Info(target, 0)->m_uFlag & 9, 9);
    target.CloseArchive();
    source.CloseArchive();
    target.OpenArchive(dir / L"dst.zip", CPkStorage::omOpen);
    target.SetPassword(L"pw");
    EXPECT_TRUE(target.TestEntry(0));
    target.CloseArchive();
}

}  // namespace

namespace {

class StoppingCallback : public CPkActionCallback {
public:
    explicit StoppingCallback(int stopAt) : m_stopAt(stopAt) {}
    bool Callback(uint64_t) override { return ++m_calls < m_stopAt; }
    int m_calls = 0;
    int m_stopAt;
};

TEST(PkArchive, CallbacksStopCleanly)
{
    qvtest::TempFolder dir;
    CString keep = dir.WriteFile(L"keep.txt", "kept");
    CString big = dir.WriteFile(L"big.bin", qvtest::PatternBytes(300000, 7));
    CPkArchive archive;
    StoppingCallback stopAdding(1);
    archive.OpenArchive(dir / L"a.zip", CPkStorage::omCreate);
    Pack(archive, dir.Path(), {keep});
    archive.SetCallback(&stopAdding, CPkActionCallback::cbAdd);
    ZipAddRequest request(big, false);
    EXPECT_EQ(ziptest::CauseOf([&] { archive.AddFile(request); }), ZipCauseAbortedSafely);
    EXPECT_EQ(archive.GetEntryCount(), 1) << "the unfinished entry is removed";
    archive.SetCallback(nullptr, CPkActionCallback::cbAll);
    Pack(archive, dir.Path(), {big});
    archive.CloseArchive();

    archive.OpenArchive(dir / L"a.zip", CPkStorage::omOpen);
    EXPECT_TRUE(archive.TestEntry(0) && archive.TestEntry(1));
    StoppingCallback stopExtracting(1);
    archive.SetCallback(&stopExtracting, CPkActionCallback::cbExtract | CPkActionCallback::cbTest);
    CString out = dir / L"out";
    EXPECT_EQ(ziptest::CauseOf([&] { archive.ExtractEntry(1, out, true); }), ZipCauseAbortedAction);
    EXPECT_FALSE(qvtest::FileExists(out + L"\\big.bin")) << "a stopped extraction leaves no partial file";
    EXPECT_EQ(archive.GetEntryState(), 0);
    EXPECT_EQ(ziptest::CauseOf([&] { archive.TestEntry(1); }), ZipCauseAbortedAction);
    EXPECT_EQ(archive.GetEntryState(), 0);
    archive.CloseArchive();
}

}  // namespace
