// Hostile and damaged archives fail cleanly with the library's causes and
// are never changed; a bounded mutation run finds no crash or hang.
#include "tests/zip/ZipTestSupport.h"

#include <chrono>
#include <random>

namespace {

using ziptest::RawEntry;

std::string Valid(std::vector<RawEntry>* entriesOut = nullptr)
{
    RawEntry a, b;
    a.name = "a.txt";
    a.data = "first entry's data";
    b.name = "b.txt";
    b.data = "second";
    if (entriesOut)
        *entriesOut = {a, b};
    return ziptest::BuildArchive({a, b});
}

struct HostileCase {
    const char* fault;
    std::string bytes;
    int cause;
    const WCHAR* password = nullptr;
};

std::vector<HostileCase> HostileCases()
{
    std::vector<HostileCase> cases;
    std::string valid = Valid();
    cases.push_back({"not an archive", qvtest::PatternBytes(5000, 1), ZipCauseCdirNotFound});
    cases.push_back({"end record missing", valid.substr(0, valid.size() - 22), ZipCauseCdirNotFound});
    cases.push_back({"end record cut short", valid.substr(0, valid.size() - 10), ZipCauseBadZipFile});
    cases.push_back({"data cut out of the middle", valid.substr(0, 40) + valid.substr(50), ZipCauseBadZipFile});
    cases.push_back({"end record too far from the end", valid + std::string(70000, 'g'), ZipCauseCdirNotFound});

    std::string zip64 = valid;
    size_t end = zip64.size() - 22;
    ziptest::PutU16(zip64, end + 8, 0xFFFF);
    ziptest::PutU16(zip64, end + 10, 0xFFFF);
    zip64.insert(end, std::string("PK\x06\x07", 4) + std::string(16, '\0'));
    cases.push_back({"a Zip64 archive", zip64, ZipCauseNoZip64});

    RawEntry a, b;
    a.name = "a";
    a.data = "aaaa";
    b.name = "b";
    b.data = "bbbb";
    b.centralOffset = 0;
    cases.push_back({"two entries at one offset", ziptest::BuildArchive({a, b}), ZipCauseBadZipFile});
    RawEntry overlap = a;
    overlap.comprSize = 20;
    cases.push_back({"data running into the next entry", ziptest::BuildArchive({overlap, b}), ZipCauseBadZipFile});
    RawEntry huge = a;
    huge.comprSize = 0x7FFFFFFF;
    cases.push_back({"compressed size beyond the file", ziptest::BuildArchive({huge}), ZipCauseBadZipFile});
    RawEntry saturated = a;
    saturated.uncomprSize = 0xFFFFFFFF;
    cases.push_back({"saturated size in the central header", ziptest::BuildArchive({saturated}), ZipCauseNoZip64});
    RawEntry bomb = a;
    bomb.uncomprSize = 1000000000;
    cases.push_back({"uncompressed size larger than the data", ziptest::BuildArchive({bomb}), ZipCauseBadZipFile});
    RawEntry shortEncrypted = a;
    shortEncrypted.flags = 1;
    shortEncrypted.data = "0123456789";
    cases.push_back({"encrypted entry shorter than its header", ziptest::BuildArchive({shortEncrypted}),
                     ZipCauseBadZipFile, L"pw"});
    RawEntry badHeader = a;
    badHeader.flags = 1;
    badHeader.data = "ZZZZZZZZZZZZdata";  // a 12-byte encryption header, then data
    badHeader.crc = 0x12345678;
    cases.push_back({"encryption header that fails its check", ziptest::BuildArchive({badHeader}),
                     ZipCauseBadPassword, L"pw"});
    cases.push_back({"encrypted entry without password", ziptest::BuildArchive({badHeader}), ZipCauseBadPassword});

    std::string beyond = valid;
    ziptest::PutU32(beyond, beyond.size() - 22 + 16, 0x7FFFFFF0);
    cases.push_back({"directory offset beyond the file", beyond, ZipCauseBadZipFile});
    std::string wrongLocal = valid;
    wrongLocal[0] = 'X';
    cases.push_back({"broken local header signature", wrongLocal, ZipCauseBadZipFile});
    std::string badExtra = valid;
    size_t central = badExtra.find("PK\x01\x02");
    ziptest::PutU16(badExtra, central + 30, 3);
    cases.push_back({"malformed extra field", badExtra, ZipCauseBadZipFile});
    RawEntry crc = a;
    crc.crc = 0xDEADBEEF;
    cases.push_back({"wrong CRC", ziptest::BuildArchive({crc}), ZipCauseBadCrc});
    RawEntry deflated = a;
    deflated.method = 8;
    deflated.data = "\xFF\xFF\xFF\xFF";
    cases.push_back({"corrupt deflate data", ziptest::BuildArchive({deflated}), ZipCauseDataError});
    return cases;
}

TEST(HostileArchives, FailCleanlyAndStayUnchanged)
{
    qvtest::TempFolder dir;
    for (const HostileCase& c : HostileCases()) {
        CString path = dir.WriteFile(L"hostile.zip", c.bytes);
        CPkArchive archive;
        int cause = ziptest::CauseOf([&] {
            archive.OpenArchive(path, CPkStorage::omOpen);
            archive.SetPassword(c.password);
            for (uint16_t i = 0; i < archive.GetEntryCount(); ++i) {
                archive.TestEntry(i);
                archive.ExtractEntry(i, dir / L"out");
            }
        });
        EXPECT_EQ(cause, c.cause) << c.fault;
        EXPECT_EQ(archive.GetEntryState(), 0) << c.fault;
        archive.CloseArchive(CPkArchive::cmNormal);  // as the document closes after a failure
        EXPECT_EQ(qvtest::ReadFileBytes(path), c.bytes) << c.fault << ": the archive was changed";
    }
}

TEST(HostileArchives, PrependedBytesAreSkipped)
{
    qvtest::TempFolder dir;
    std::string bytes = "stub!" + Valid();
    CString path = dir.WriteFile(L"stub.zip", bytes);
    CPkArchive archive;
    archive.OpenArchive(path, CPkStorage::omOpen);
    EXPECT_EQ(archive.GetStorage().GetBytesBeforeZip(), 5u);
    EXPECT_TRUE(archive.TestEntry(0) && archive.TestEntry(1));
    archive.CloseArchive();
}

TEST(HostileArchives, UnsafeNamesAreRefused)
{
    qvtest::TempFolder dir;
    CPkArchive archive;
    const char* unsafe[] = {"../x", "a/../../x", "a\\..\\x", "C:/x", "c:x", "//server/share/x", "\\\\?\\C:\\x",
                            "\\\\.\\pipe\\x", "a/b:c", "..", "/.."};
    for (const char* name : unsafe)
        EXPECT_EQ(ziptest::CauseOf([&] { archive.PredictExtractedName(CString::FromUtf8(name), dir.Path(), true); }),
                  ZipCauseBadZipFile)
            << name;
    struct Safe {
        const char* name;
        const WCHAR* relative;
    } safe[] = {{"./a/./b.txt", L"a\\b.txt"}, {"/abs/x", L"abs\\x"}, {"a//b", L"a\\b"}, {"./", L""}};
    for (const Safe& s : safe) {
        CString expected = s.relative[0] ? dir.Path() + L"\\" + s.relative : dir.Path();
        EXPECT_EQ(archive.PredictExtractedName(CString::FromUtf8(s.name), dir.Path(), true), expected) << s.name;
    }
}

// Opens a mutated archive, tests every entry and extracts them into a folder.
int TestAndExtract(const std::string& bytes, const CString& target)
{
    CPkMemFile memory;
    memory.Write(bytes.data(), (UINT)bytes.size());
    CPkArchive archive;
    int failures = 0;
    if (ziptest::CauseOf([&] { archive.OpenArchive(memory, CPkStorage::omOpen); }) != 0) {
        archive.CloseArchive(CPkArchive::cmAfterException);
        return 1;
    }
    archive.SetPassword(L"pw");
    for (uint16_t i = 0; i < archive.GetEntryCount(); ++i) {
        failures += ziptest::CauseOf([&] { archive.TestEntry(i); }) != 0;
        if (!target.IsEmpty())
            failures += ziptest::CauseOf([&] { archive.ExtractEntry(i, target); }) != 0;
        archive.EndEntryRead(nullptr, true);
    }
    archive.CloseArchive(CPkArchive::cmAfterException);
    return failures;
}

TEST(HostileArchives, BoundedMutationRunFindsNoCrashOrHang)
{
    std::vector<std::string> bases = {
        ziptest::PackInMemory({{L"text.txt", std::string(3000, 'x').append("tail")}, {L"rand.bin", qvtest::PatternBytes(900, 3)}}),
        ziptest::PackInMemory({{L"stored.bin", qvtest::PatternBytes(700, 4)}}, nullptr, 0),
        ziptest::PackInMemory({{L"secret.txt", std::string(2000, 's')}, {L"x", "y"}}, L"pw"),
        ziptest::BuildArchive({RawEntry{"c.txt", "comment case"}}, "an archive comment"),
    };
    for (const std::string& base : bases)
        ASSERT_EQ(ziptest::TestAllInMemory(base, L"pw"), 0);
    qvtest::TempFolder dir;
    CString target = dir / L"out";
    std::mt19937 random(12345);
    auto start = std::chrono::steady_clock::now();
    int inputs = 0, refused = 0;
    for (; inputs < 20000; ++inputs) {
        std::string bytes = bases[inputs % bases.size()];
        // Half the inputs change only the entries' bytes, so that they reach
        // the decryption and decompression; the others change anything.
        bool dataOnly = inputs % 2 == 0;
        size_t span = dataOnly ? bytes.find("PK\x01\x02") : bytes.size();
        int changes = 1 + (int)(random() % 4);
        for (int k = 0; k < changes && span > 0 && !bytes.empty(); ++k) {
            size_t at = random() % span;
            switch (dataOnly ? random() % 3 : random() % 6) {
            case 0: bytes[at] = (char)(bytes[at] ^ (1 << (random() % 8))); break;
            case 1: bytes[at] = (char)0xFF; break;
            case 2: bytes[at] = 0; break;
            case 3: bytes.resize(at); break;
            case 4: bytes.insert(at, 1 + random() % 8, (char)random()); break;
            default: bytes.erase(at, 1 + random() % 8); break;
            }
            span = std::min(span, bytes.size());
        }
        // Every 40th input is extracted too (files are slow; names may be mangled).
        refused += TestAndExtract(bytes, inputs % 40 == 0 ? target : CString()) != 0;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(refused, inputs / 4) << "mutations should mostly be detected";
    EXPECT_LT(seconds, 60.0);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(dir / L"*", &data);
    int outside = 0;
    do {
        CString name = data.cFileName;
        outside += name != L"." && name != L".." && name != L"out";
    } while (FindNextFileW(find, &data));
    FindClose(find);
    EXPECT_EQ(outside, 0) << "nothing was extracted outside the target folder";
    printf("%d mutated archives in %.1f s, %d refused\n", inputs, seconds, refused);
}

}  // namespace
