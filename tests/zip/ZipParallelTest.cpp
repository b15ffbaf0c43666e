// Packing, testing and unpacking on worker threads: the archive does not
// depend on the thread count, large files become one valid deflate stream of
// many blocks, results come in entry order, and a stop leaves no partial entry.
// The archives are read back with a walk over their local headers and zlib's
// own inflate, independent of the library's reader.
#include "tests/zip/ZipTestSupport.h"
#include "zip/PkPackBlock.h"
#include "zip/ZipFileSystem.h"

#include <zlib.h>

#include <cstdio>

namespace {

using qvtest::ReadFileBytes;

const int kThreadCounts[] = {1, 8};

// A file that compresses like real data: text runs between random stretches.
std::string MixedBytes(size_t size, unsigned variant)
{
    std::string out;
    std::string noise = qvtest::PatternBytes(size, variant);
    const std::string text = "The quick brown fox jumps over the lazy dog, again and again. ";
    for (size_t i = 0; out.size() < size; ++i)
        out += (i % 3 == 0) ? noise.substr(out.size(), 700) : text + std::to_string(i) + "\n";
    out.resize(size);
    return out;
}

struct RawLocal {
    std::string name;
    uint16_t method;
    uint32_t crc;
    std::string data;  // as stored
};

// The local headers from the start of the archive to the central directory.
std::vector<RawLocal> WalkLocalHeaders(const std::string& zip, size_t* directoryStart)
{
    std::vector<RawLocal> entries;
    size_t at = 0;
    while (at + 30 <= zip.size() && ziptest::GetU32(zip, at) == 0x04034b50) {
        RawLocal e;
        uint16_t flags = ziptest::GetU16(zip, at + 6);
        EXPECT_EQ(flags & 8, 0) << "sizes stand in the local header";
        e.method = ziptest::GetU16(zip, at + 8);
        e.crc = ziptest::GetU32(zip, at + 14);
        uint32_t compr = ziptest::GetU32(zip, at + 18);
        uint16_t nameLength = ziptest::GetU16(zip, at + 26), extraLength = ziptest::GetU16(zip, at + 28);
        e.name = zip.substr(at + 30, nameLength);
        size_t data = at + 30 + nameLength + extraLength;
        e.data = zip.substr(data, compr);
        entries.push_back(e);
        at = data + compr;
    }
    if (directoryStart)
        *directoryStart = at;
    return entries;
}

// zlib's inflate of a raw deflate stream; fails the test unless it ends exactly at the data's end.
std::string Inflate(const std::string& data)
{
    z_stream z = {};
    inflateInit2(&z, -15);
    std::string out;
    char buffer[65536];
    z.next_in = (Bytef*)data.data();
    z.avail_in = (uInt)data.size();
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = (Bytef*)buffer;
        z.avail_out = sizeof buffer;
        result = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    }
    EXPECT_EQ(result, Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "the final block ends the entry's data";
    inflateEnd(&z);
    return out;
}

struct SourceTree {
    qvtest::TempFolder dir;
    CString base;
    std::vector<CString> paths;
    std::vector<std::string> names;     // as stored, in order
    std::vector<std::string> contents;  // "" for folders

    SourceTree()
    {
        base = dir / L"src";
        CreateDirectoryW(base, nullptr);
        AddFile(L"alpha.txt", "alpha.txt", MixedBytes(40000, 1));
        AddFile(L"big.bin", "big.bin", MixedBytes(5 * 1048576 + 12345, 2));
        CreateDirectoryW(base + L"\\sub", nullptr);
        paths.push_back(base + L"\\sub");
        names.push_back("sub/");
        contents.push_back("");
        AddFile(L"sub\\tiny.txt", "sub/tiny.txt", "abc");
        AddFile(L"sub\\empty.txt", "sub/empty.txt", "");
        AddFile(L"sub\\exact.bin", "sub/exact.bin", MixedBytes(2 * 1048576, 3));  // ends on a block boundary
        AddFile(L"zeta.txt", "zeta.txt", MixedBytes(300000, 4));
    }
    void AddFile(const CString& relative, const std::string& stored, const std::string& bytes)
    {
        paths.push_back(dir.WriteFile(L"src\\" + relative, bytes));
        names.push_back(stored);
        contents.push_back(bytes);
    }
    std::vector<ZipAddRequest> Requests(int level) const
    {
        std::vector<ZipAddRequest> requests;
        for (const CString& path : paths) {
            requests.emplace_back(path, false);
            requests.back().m_iComprLevel = level;
            requests.back().m_iSmartLevel = 1u;
        }
        return requests;
    }
};

std::string PackTree(const SourceTree& tree, const CString& path, int level, int threads)
{
    CPkArchive archive;
    archive.SetIoBuffers(1500000, 65536, 32768);
    archive.OpenArchive(path, CPkStorage::omCreate);
    archive.SetBaseFolder(tree.base);
    archive.SetWorkerThreads(threads);
    std::vector<ZipAddRequest> requests = tree.Requests(level);
    std::vector<ZipEntryResult> added;
    archive.AddFiles(requests, added);
    for (size_t i = 0; i < added.size(); ++i)
        EXPECT_TRUE(added[i].m_bDone) << tree.names[i] << " cause " << added[i].m_iCause;
    archive.CloseArchive();
    return ReadFileBytes(path);
}

std::string PackTreeOneByOne(const SourceTree& tree, const CString& path, int level)
{
    CPkArchive archive;
    archive.SetIoBuffers(1500000, 65536, 32768);
    archive.OpenArchive(path, CPkStorage::omCreate);
    archive.SetBaseFolder(tree.base);
    std::vector<ZipAddRequest> requests = tree.Requests(level);
    for (ZipAddRequest& request : requests)
        EXPECT_TRUE(archive.AddFile(request));
    archive.CloseArchive();
    return ReadFileBytes(path);
}

TEST(PkParallel, PackedArchiveHoldsTheFilesInOrderWhateverTheThreadsAndLevel)
{
    SourceTree tree;
    for (int level : {0, 1, 6, 9}) {
        SCOPED_TRACE("level " + std::to_string(level));
        std::string single = PackTreeOneByOne(tree, tree.dir / L"single.zip", level);
        std::string first;
        for (int threads : kThreadCounts) {
            SCOPED_TRACE("threads " + std::to_string(threads));
            std::string zip = PackTree(tree, tree.dir / L"parallel.zip", level, threads);
            if (first.empty())
                first = zip;
            EXPECT_TRUE(zip == first) << "the archive does not depend on the thread count";
            // Deflating in blocks costs at most 1 % against one stream per file.
            EXPECT_LE((double)zip.size(), (double)single.size() * 1.01);
            size_t directory = 0;
            std::vector<RawLocal> entries = WalkLocalHeaders(zip, &directory);
            ASSERT_EQ(entries.size(), tree.names.size());
            EXPECT_EQ(ziptest::GetU32(zip, directory), 0x02014b50u) << "the directory follows the last entry";
            for (size_t i = 0; i < entries.size(); ++i) {
                SCOPED_TRACE(tree.names[i]);
                EXPECT_EQ(entries[i].name, tree.names[i]);
                std::string plain = entries[i].method == 8 ? Inflate(entries[i].data) : entries[i].data;
                if (level == 0) {
                    EXPECT_EQ(entries[i].method, 0);
                }
                EXPECT_TRUE(plain == tree.contents[i]);
                EXPECT_EQ(entries[i].crc, ziptest::Crc(tree.contents[i]));
            }
        }
    }
}

// Stops after a given number of bytes.
class StopAfter : public CPkActionCallback {
public:
    explicit StopAfter(uint64_t limit) : m_limit(limit) { m_iStep = 1; }
    bool Callback(uint64_t progress) override
    {
        m_seen += progress;
        return m_seen < m_limit;
    }

private:
    uint64_t m_limit;
    uint64_t m_seen = 0;
};

TEST(PkParallel, StopInTheMiddleOfALargeFileLeavesNoPartialEntry)
{
    SourceTree tree;
    for (int threads : kThreadCounts) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        CString path = tree.dir / L"stopped.zip";
        CPkArchive archive;
        archive.OpenArchive(path, CPkStorage::omCreate);
        archive.SetBaseFolder(tree.base);
        archive.SetWorkerThreads(threads);
        // alpha.txt (40000 bytes) passes, big.bin stops after its second block.
        StopAfter stop(40000 + 2 * 1048576);
        archive.SetCallback(&stop, CPkActionCallback::cbAdd);
        std::vector<ZipAddRequest> requests = tree.Requests(6);
        std::vector<ZipEntryResult> added;
        EXPECT_EQ(ziptest::CauseOf([&] { archive.AddFiles(requests, added); }), ZipCauseAbortedSafely);
        EXPECT_EQ(archive.GetEntryState(), 0) << "no entry left open";
        archive.SetCallback(nullptr);
        EXPECT_EQ(archive.GetEntryCount(), 1);
        archive.CloseArchive();

        std::string zip = ReadFileBytes(path);
        size_t directory = 0;
        std::vector<RawLocal> entries = WalkLocalHeaders(zip, &directory);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].name, "alpha.txt");
        EXPECT_EQ(ziptest::GetU32(zip, directory), 0x02014b50u) << "nothing of big.bin stays before the directory";
        EXPECT_TRUE(Inflate(entries[0].data) == tree.contents[0]);
    }
}

TEST(PkParallel, TestingJudgesEntriesInOrder)
{
    std::string text = MixedBytes(200000, 5);
    std::string deflated = ziptest::Deflate(text);
    std::string broken = deflated;
    broken[10] = (char)0xFF;  // an invalid block type further on
    broken[11] = (char)0xFF;
    std::vector<ziptest::RawEntry> entries(6);
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].name = "e" + std::to_string(i) + ".txt";
        entries[i].method = 8;
        entries[i].data = deflated;
        entries[i].uncomprSize = (int64_t)text.size();
        entries[i].crc = ziptest::Crc(text);
    }
    entries[2].crc ^= 1;  // a CRC that differs
    entries[4].data = broken;
    entries[4].crc = ziptest::Crc(text);
    std::string zip = ziptest::BuildArchive(entries);
    qvtest::TempFolder dir;
    CString path = dir.WriteFile(L"t.zip", zip);

    struct Case {
        const char* what;
        uint16_t first, count;
        int cause;  // 0: all sound
    } cases[] = {
        {"sound entries before the faults", 0, 2, 0},
        {"the first fault in order wins", 0, 6, ZipCauseBadCrc},
        {"a damaged stream after it", 3, 3, -2},  // whatever inflate makes of it
        {"the entries after both", 5, 1, 0},
    };
    for (int threads : kThreadCounts) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", threads " + std::to_string(threads));
            CPkArchive archive;
            archive.OpenArchive(path, CPkStorage::omReadOnly);
            archive.SetWorkerThreads(threads);
            bool sound = false;
            int cause = ziptest::CauseOf([&] { sound = archive.TestEntries(c.first, c.count); });
            if (c.cause == 0) {
                EXPECT_EQ(cause, 0);
                EXPECT_TRUE(sound);
            } else if (c.cause == -2) {
                EXPECT_GT(cause, 0) << "any fault of the library";
                EXPECT_FALSE(sound);
            } else {
                EXPECT_EQ(cause, c.cause);
            }
            EXPECT_EQ(archive.GetEntryState(), 0);
            archive.CloseArchive();
        }
    }
}

// Every entry of the archive extracted with its full path into the folder.
std::vector<ZipEntryResult> ExtractAll(const CString& path, const CString& out, size_t count, int threads,
                                       int flags = 0)
{
    CPkArchive archive;
    archive.OpenArchive(path, CPkStorage::omReadOnly);
    archive.SetWorkerThreads(threads);
    std::vector<ZipExtractRequest> requests(count);
    for (size_t i = 0; i < count; ++i) {
        requests[i].m_uIndex = (uint16_t)i;
        requests[i].m_szFolder = out;
        requests[i].m_iFlags = flags;
    }
    std::vector<ZipEntryResult> results;
    archive.ExtractEntries(requests, results);
    archive.CloseArchive();
    return results;
}

TEST(PkParallel, ExtractionPlacesFilesInEntryOrderAndLeavesNoPartialFile)
{
    std::string text = MixedBytes(300000, 6);
    std::vector<ziptest::RawEntry> entries(5);
    entries[0].name = "a.txt";
    entries[0].data = "first";
    entries[1].name = "b.txt";
    entries[1].data = ziptest::Deflate(text);
    entries[1].method = 8;
    entries[1].uncomprSize = (int64_t)text.size();
    entries[1].crc = ziptest::Crc(text) ^ 1;  // damaged
    entries[2].name = "A.TXT";                 // the same target as a.txt: the later entry wins
    entries[2].data = "second";
    entries[3].name = "d/e.txt";
    entries[3].data = ziptest::Deflate(text);
    entries[3].method = 8;
    entries[3].uncomprSize = (int64_t)text.size();
    entries[3].crc = ziptest::Crc(text);
    entries[4].name = "../escape.txt";
    entries[4].data = "out";
    std::string zip = ziptest::BuildArchive(entries);

    for (int threads : kThreadCounts) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        qvtest::TempFolder dir;
        CString path = dir.WriteFile(L"x.zip", zip);
        CString out = dir / L"out";
        CreateDirectoryW(out, nullptr);
        std::vector<ZipEntryResult> results = ExtractAll(path, out, entries.size(), threads);
        ASSERT_EQ(results.size(), entries.size());
        EXPECT_TRUE(results[0].m_bDone);
        EXPECT_FALSE(results[1].m_bDone);
        EXPECT_EQ(results[1].m_iCause, ZipCauseBadCrc);
        EXPECT_TRUE(results[2].m_bDone);
        EXPECT_TRUE(results[3].m_bDone);
        EXPECT_FALSE(results[4].m_bDone);
        EXPECT_EQ(results[4].m_iCause, ZipCauseBadZipFile);

        EXPECT_EQ(ReadFileBytes(out + L"\\a.txt"), "second");
        EXPECT_FALSE(qvtest::FileExists(out + L"\\b.txt")) << "a damaged entry leaves no file";
        EXPECT_TRUE(ReadFileBytes(out + L"\\d\\e.txt") == text);
        EXPECT_FALSE(qvtest::FileExists(dir / L"escape.txt"));
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(out + L"\\ZAR*", &data);
        EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "no temporary file left";
        if (find != INVALID_HANDLE_VALUE)
            FindClose(find);
        // The entry's time (1980-01-01) was given to the file.
        int64_t modified = 0;
        ASSERT_TRUE(ZipFileSystem::GetFileTimes(out + L"\\d\\e.txt", &modified));
        EXPECT_LT(modified, 315619200) << "1980-01-02 00:00 UTC";
    }
}

}  // namespace

namespace {

// Every file in the folder whose name starts with the prefix.
std::vector<CString> FilesLike(const CString& folder, const WCHAR* prefix)
{
    std::vector<CString> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(folder + L"\\" + prefix + L"*", &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

}  // namespace

TEST(PkParallel, ExtractionKeepsExistingFilesFromDamagedEntriesAndAStopLeavesOnlyWholeFiles)
{
    const int kEntries = 12, kDamaged = 3, kReplaced = 5, kStopAt = 6;
    const size_t kSize = 20000;
    std::vector<ziptest::RawEntry> entries(kEntries);
    std::vector<std::string> contents;
    for (int i = 0; i < kEntries; ++i) {
        contents.push_back(MixedBytes(kSize, 20u + (unsigned)i));
        char name[16];
        snprintf(name, sizeof name, "f%02d.txt", i);
        entries[i].name = name;
        entries[i].data = ziptest::Deflate(contents[i]);
        entries[i].method = 8;
        entries[i].uncomprSize = (int64_t)kSize;
        entries[i].crc = ziptest::Crc(contents[i]) ^ (i == kDamaged ? 1u : 0u);
    }
    std::string zip = ziptest::BuildArchive(entries);

    for (int threads : kThreadCounts) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        qvtest::TempFolder dir;
        CString path = dir.WriteFile(L"x.zip", zip);
        CString out = dir / L"out";
        CreateDirectoryW(out, nullptr);
        dir.WriteFile(L"out\\f03.txt", "old three");
        dir.WriteFile(L"out\\f05.txt", "old five");
        CPkArchive archive;
        archive.OpenArchive(path, CPkStorage::omReadOnly);
        archive.SetWorkerThreads(threads);
        // The entries before the damaged one and those up to kStopAt pass;
        // the stop comes once entry kStopAt is in place, and no entry after it
        // leaves a file, however far the workers had got.
        StopAfter stop((uint64_t)kStopAt * kSize);
        archive.SetCallback(&stop, CPkActionCallback::cbExtract);
        std::vector<ZipExtractRequest> requests(kEntries);
        for (int i = 0; i < kEntries; ++i) {
            requests[i].m_uIndex = (uint16_t)i;
            requests[i].m_szFolder = out;
        }
        std::vector<ZipEntryResult> results;
        EXPECT_EQ(ziptest::CauseOf([&] { archive.ExtractEntries(requests, results); }), ZipCauseAbortedSafely);
        archive.SetCallback(nullptr);
        archive.CloseArchive();

        EXPECT_EQ(ReadFileBytes(out + L"\\f03.txt"), "old three") << "a damaged entry never replaces a file";
        EXPECT_TRUE(ReadFileBytes(out + L"\\f05.txt") == contents[kReplaced]);
        for (int i = 0; i < kEntries; ++i) {
            if (i == kDamaged)
                continue;
            CString name;
            name.Format(L"%s\\f%02d.txt", (const WCHAR*)out, i);
            if (i <= kStopAt) {
                EXPECT_TRUE(qvtest::FileExists(name)) << i;
                EXPECT_TRUE(ReadFileBytes(name) == contents[i]) << i << " stands whole";
            } else {
                EXPECT_FALSE(qvtest::FileExists(name)) << i << ": its turn never came";
            }
        }
        EXPECT_TRUE(FilesLike(out, L"ZAR").empty()) << "no temporary file left";
    }
}

// In a folder the extraction itself creates, a target is not looked up
// beforehand: a second entry of the same name must still be judged against
// the file the first one left there, as in any other folder.
TEST(PkParallel, SameNamedEntriesInANewFolderAreJudgedAgainstEachOther)
{
    std::vector<ziptest::RawEntry> entries(4);
    entries[0].name = "new/a.txt";
    entries[0].data = "first";
    entries[1].name = "new/A.TXT";
    entries[1].data = "second";
    entries[2].name = "new/sub/";
    entries[2].external = 0x10;
    entries[3].name = "new/sub";  // a file where a folder now stands
    entries[3].data = "refused";
    std::string zip = ziptest::BuildArchive(entries);
    struct Case {
        int flags;
        const char* expected;  // a.txt afterwards
        bool fileOverFolder;   // the result of the file entry whose target is a folder
    } cases[] = {
        {0, "second", false},                        // the later entry replaces the earlier; a folder is refused
        {CPkArchive::efSkipNotOlder, "first", true},  // as new as the entry: left alone, the folder too
    };
    for (const Case& c : cases) {
        for (int threads : kThreadCounts) {
            SCOPED_TRACE("flags " + std::to_string(c.flags) + ", threads " + std::to_string(threads));
            qvtest::TempFolder dir;
            CString path = dir.WriteFile(L"x.zip", zip);
            CString out = dir / L"out";
            std::vector<ZipEntryResult> results = ExtractAll(path, out, entries.size(), threads, c.flags);
            ASSERT_EQ(results.size(), entries.size());
            EXPECT_TRUE(results[0].m_bDone);
            EXPECT_TRUE(results[1].m_bDone);
            EXPECT_TRUE(results[2].m_bDone);
            EXPECT_EQ(results[3].m_bDone, c.fileOverFolder);
            EXPECT_EQ(ReadFileBytes(out + L"\\new\\a.txt"), c.expected);
            EXPECT_EQ(ZipFileSystem::PathExists(out + L"\\new\\sub"), -1) << "the folder stays a folder";
            EXPECT_TRUE(FilesLike(out + L"\\new", L"ZAR").empty()) << "no temporary file left";
        }
    }
}

// The workers keep their zlib streams and buffers from one file to the next:
// whatever a worker did before (another level, a block primed with a
// dictionary, a stream that failed), each file must come out as if
// it had a stream of its own.
namespace {

// zlib's raw deflate of the whole file in one call, on a stream of its own.
std::string DeflateAlone(const std::string& data, int level)
{
    z_stream z = {};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<char> out((size_t)deflateBound(&z, (uLong)data.size()) + 64);
    z.next_in = (Bytef*)data.data();
    z.avail_in = (uInt)data.size();
    z.next_out = (Bytef*)out.data();
    z.avail_out = (uInt)out.size();
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    size_t length = out.size() - z.avail_out;
    deflateEnd(&z);
    return std::string(out.data(), length);
}

}  // namespace

TEST(PkParallel, ReusedStreamsDeflateEachFileAsAStreamOfItsOwn)
{
    // Levels change from file to file; the large file's second block is primed
    // with a dictionary just before small files follow on the same stream.
    struct File {
        const WCHAR* name;
        size_t size;
        int level;
    } files[] = {
        {L"a.txt", 30000, 9}, {L"b.txt", 50000, 1},  {L"c.txt", 20000, 9},          {L"d.bin", 0, 6},
        {L"e.txt", 700, 0},   {L"big.bin", 1500000, 6}, {L"f.txt", 40000, 6},        {L"g.txt", 10000, -1},
        {L"h.txt", 90000, 6}, {L"i.txt", 15000, 1},  {L"j.txt", 25000, 6},
    };
    qvtest::TempFolder dir;
    std::vector<std::string> contents;
    std::vector<ZipAddRequest> requests;
    for (size_t i = 0; i < sizeof files / sizeof files[0]; ++i) {
        contents.push_back(MixedBytes(files[i].size, 40u + (unsigned)i));
        requests.emplace_back(dir.WriteFile(files[i].name, contents.back()), false);
        requests.back().m_iComprLevel = files[i].level;
        requests.back().m_iSmartLevel = 0u;
    }
    for (int threads : {1, 3}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        CString path = dir / L"x.zip";
        DeleteFileW(path);
        {
            CPkArchive archive;
            archive.SetIoBuffers(1500000, 65536, 32768);
            archive.OpenArchive(path, CPkStorage::omCreate);
            archive.SetWorkerThreads(threads);
            std::vector<ZipAddRequest> batch = requests;
            std::vector<ZipEntryResult> added;
            archive.AddFiles(batch, added);
            archive.CloseArchive();
        }
        std::vector<RawLocal> entries = WalkLocalHeaders(ReadFileBytes(path), nullptr);
        ASSERT_EQ(entries.size(), contents.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            SCOPED_TRACE(entries[i].name);
            EXPECT_EQ(entries[i].crc, ziptest::Crc(contents[i]));
            if (files[i].level == 0) {
                EXPECT_EQ(entries[i].method, 0);
                EXPECT_TRUE(entries[i].data == contents[i]);
            } else if (files[i].size <= CPkPackBlock::kBlockSize) {
                EXPECT_TRUE(entries[i].data == DeflateAlone(contents[i], files[i].level)) << "a stream of its own";
            } else {
                EXPECT_TRUE(Inflate(entries[i].data) == contents[i]);
            }
        }
    }
}

TEST(PkParallel, AnEntryWhoseStreamBreaksLeavesTheNextEntriesWhole)
{
    // One worker takes every entry: each broken stream is followed on the same
    // inflate stream and buffers by good entries, stored and deflated.
    std::string text = MixedBytes(600000, 50);
    std::string deflated = ziptest::Deflate(text);
    std::string broken = deflated;
    broken[0] = (char)0xFF;  // a reserved block type: inflate stops at once, with input left over
    std::vector<ziptest::RawEntry> entries(5);
    const char* names[] = {"broken1.txt", "good1.txt", "plain.txt", "broken2.txt", "good2.txt"};
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].name = names[i];
        bool isBroken = names[i][0] == 'b';
        entries[i].data = i == 2 ? text : isBroken ? broken : deflated;
        entries[i].method = i == 2 ? 0 : 8;
        entries[i].uncomprSize = (int64_t)text.size();
        entries[i].crc = ziptest::Crc(text);
    }
    std::string zip = ziptest::BuildArchive(entries);
    qvtest::TempFolder dir;
    CString path = dir.WriteFile(L"x.zip", zip);
    CString out = dir / L"out";
    CreateDirectoryW(out, nullptr);
    std::vector<ZipEntryResult> results = ExtractAll(path, out, entries.size(), 1);
    ASSERT_EQ(results.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(names[i]);
        CString target = out + L"\\" + CString::FromUtf8(names[i]);
        if (names[i][0] == 'b') {
            EXPECT_FALSE(results[i].m_bDone);
            EXPECT_FALSE(qvtest::FileExists(target)) << "a broken entry leaves no file";
        } else {
            EXPECT_TRUE(results[i].m_bDone);
            EXPECT_TRUE(ReadFileBytes(target) == text);
        }
    }
}
