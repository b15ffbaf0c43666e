// A split archive made by Info-ZIP (zip -s, fixtures/make-split.sh) read back
// whole, and with its middle volume missing: the user must learn, once, which
// volume file to find, and the entries before it still come out.
#include "tests/zip/ZipTestSupport.h"

#include <map>
#include <sstream>

namespace {

using qvtest::ReadFileBytes;

CString FixturePath(const char* name)
{
    CString path = L"Z:" + CString(QV_ZIP_FIXTURES) + L"/" + CString(name);
    path.Replace(L'/', L'\\');
    return path;
}

// What the generator wrote into the entry of `letter`.
std::string Content(char letter)
{
    static const char kRest[] = " 0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz\n";
    std::string out;
    while (out.size() < 30000) {
        out.push_back(letter);
        out.append(kRest, sizeof kRest - 1);
    }
    out.resize(30000);
    return out;
}

// expected.txt: the volume (1-based) each entry starts on, as zipinfo read it.
std::map<int, int> StartVolumes()
{
    std::map<int, int> volumes;
    std::istringstream lines(ReadFileBytes(FixturePath("expected.txt")));
    std::string entry, starts, on, disk;
    int index = 0, volume = 0;
    while (lines >> entry >> index >> starts >> on >> disk >> volume)
        volumes[index] = volume;
    return volumes;
}

CString Extracted(const qvtest::TempFolder& dir, char letter)
{
    return dir.Path() + L"\\out\\" + CString(std::string(1, letter).c_str()) + L".txt";
}

struct Unpacked {
    int thrownCause = 0;  // of the one exception of the batch, 0 when none
    CString thrownFile;
    std::vector<ZipEntryResult> results;
};

Unpacked UnpackAll(const CString& archivePath, const CString& target)
{
    Unpacked out;
    CPkArchive archive;
    archive.OpenArchive(archivePath, CPkStorage::omReadOnly, 0);
    std::vector<ZipExtractRequest> requests(archive.GetEntryCount());
    for (size_t i = 0; i < requests.size(); ++i) {
        requests[i].m_uIndex = (uint16_t)i;
        requests[i].m_szFolder = target;
    }
    try {
        archive.ExtractEntries(requests, out.results);
    } catch (CException* e) {
        CPkException* zip = dynamic_cast<CPkException*>(e);
        out.thrownCause = zip ? zip->m_iCause : -1;
        out.thrownFile = zip ? zip->m_szFileName : CString();
        e->Delete();
    }
    archive.CloseArchive();
    return out;
}

}  // namespace

TEST(SplitArchive, InfoZipVolumesAreReadAcross)
{
    qvtest::TempFolder dir;
    for (const char* name : {"split.zip", "split.z01", "split.z02"})
        dir.WriteFile(CString(name), ReadFileBytes(FixturePath(name)));
    Unpacked unpacked = UnpackAll(dir / L"split.zip", dir / L"out");
    EXPECT_EQ(unpacked.thrownCause, 0) << unpacked.thrownFile.ToUtf8();
    ASSERT_EQ(unpacked.results.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        char letter = (char)('a' + i);
        EXPECT_TRUE(unpacked.results[i].m_bDone) << letter;
        EXPECT_EQ(ReadFileBytes(Extracted(dir, letter)), Content(letter))
            << letter;
    }
}

TEST(SplitArchive, AMissingMiddleVolumeIsNamedOnceAndTheEntriesBeforeItComeOut)
{
    qvtest::TempFolder dir;
    dir.WriteFile(L"split.zip", ReadFileBytes(FixturePath("split.zip")));
    dir.WriteFile(L"split.z01", ReadFileBytes(FixturePath("split.z01")));
    Unpacked unpacked = UnpackAll(dir / L"split.zip", dir / L"out");

    // One report for the batch, naming the file the user must bring back,
    // not one bare cause per entry.
    EXPECT_EQ(unpacked.thrownCause, ZipCauseNotFound);
    EXPECT_EQ(unpacked.thrownFile.CompareNoCase(dir / L"split.z02"), 0) << unpacked.thrownFile.ToUtf8();
    int causes = 0;
    for (const ZipEntryResult& result : unpacked.results)
        causes += result.m_iCause != 0 ? 1 : 0;
    EXPECT_EQ(causes, 0) << "the missing volume is reported per entry";

    // An entry lies wholly on the first volume when the next one starts there too.
    std::map<int, int> starts = StartVolumes();
    ASSERT_EQ(starts.size(), 5u);
    ASSERT_EQ(unpacked.results.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        char letter = (char)('a' + i);
        CString extracted = Extracted(dir, letter);
        bool onFirstVolume = i + 1 < 5 && starts[i] == 1 && starts[i + 1] == 1;
        EXPECT_EQ(unpacked.results[i].m_bDone, onFirstVolume) << letter;
        if (onFirstVolume)
            EXPECT_EQ(ReadFileBytes(extracted), Content(letter)) << letter;
        else
            EXPECT_FALSE(qvtest::FileExists(extracted)) << letter << ": nothing half-written stays";
    }
}
