// The document's folder backup (pack, check every entry, place the archive,
// delete the packed files) on a tree of about 1 GB in 5,000 files
// (QV_BENCH_BACKUP_MB sets the size), in wall time, beside Info-ZIP's
// zip -6 -r and 7-Zip's 7z a -tzip -mx5 on the same tree in the same run.
// Every round (QV_BENCH_ROUNDS, default 3) makes the tree afresh (the backup
// deletes it), runs the peers, then the backup; the ratios are medians over
// the rounds. Goal: backup_ratio (ours / Info-ZIP) within 1.3. The last
// archives are extracted with unzip and compared (archives_differ). Everything
// lives in a folder of the run's own, removed at the end.
#include "bench/BenchSupport.h"

#include "doc/OrvantisDoc.h"
#include "framework/windows/AfxMessageBox.h"

#include <random>
#include <string>
#include <vector>

namespace {

using benchsupport::Now;

const int kFiles = 5000;
const int kFolders = 50;
const int kRounds = benchsupport::EnvNumber("QV_BENCH_ROUNDS", 3);

benchsupport::RunFolder* g_folder;
std::vector<double> g_infoZip, g_7zip, g_backup;
bool g_backupResult = true;
int g_messages = 0;

benchsupport::RunFolder& Folder()
{
    if (!g_folder)
        g_folder = new benchsupport::RunFolder(L"qvb");
    return *g_folder;
}

std::string InFolder(const std::string& command) { return "cd " + Folder().Unix() + " && " + command; }

void WriteWhole(const CString& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD wrote = 0;
    WriteFile(h, bytes.data(), (DWORD)bytes.size(), &wrote, nullptr);
    CloseHandle(h);
}

// Words, repetitive binary records and random bytes, a third each.
std::string Content(int index, size_t size, std::mt19937& random)
{
    static const char* words[] = {"private", "folder", "backup", "archive", "entry", "data", "the", "of", "and",
                                  "quorvex", "encrypted", "name", "size", "check"};
    std::string bytes;
    bytes.reserve(size + 16);
    while (bytes.size() < size) {
        uint32_t v = (uint32_t)random();
        if (index % 3 == 0) {
            bytes += words[v % 14];
            bytes += v % 11 ? ' ' : '\n';
        } else if (index % 3 == 1) {
            v %= 4096;
            bytes.append((const char*)&v, 4);
            bytes.append(12, (char)(v & 7));
        } else {
            bytes.append((const char*)&v, 4);
        }
    }
    bytes.resize(size);
    return bytes;
}

void MakeTree()
{
    uint64_t total = (uint64_t)benchsupport::EnvNumber("QV_BENCH_BACKUP_MB", 1024) << 20;
    benchsupport::Shell(InFolder("rm -rf tree && mkdir tree"));
    CString root = Folder() / L"tree";
    std::mt19937 random(7);
    CString path;
    for (int folder = 0; folder < kFolders; ++folder) {
        path.Format(L"%s\\dir%02d", (const WCHAR*)root, folder);
        CreateDirectoryW(path, nullptr);
    }
    for (int i = 0; i < kFiles; ++i) {
        size_t size = (size_t)(total / kFiles / 2 + random() % (total / kFiles));
        path.Format(L"%s\\dir%02d\\file%04d.%s", (const WCHAR*)root, i % kFolders, i, i % 3 == 0 ? L"txt" : L"bin");
        WriteWhole(path, Content(i, size, random));
    }
}

void BM_Backup(benchmark::State& state)
{
    AfxSetMessageBoxHook([](HWND, const CString& text, const CString&, UINT) {
        fprintf(stderr, "message: %s\n", text.ToUtf8().c_str());
        ++g_messages;
        return IDOK;
    });
    COrvantisDoc document;
    std::string threads = std::to_string(benchsupport::UsableProcessors());
    for (auto _ : state) {
        state.PauseTiming();
        MakeTree();
        benchsupport::Shell(InFolder("rm -f iz.zip 7z.zip"));
        g_infoZip.push_back(benchsupport::TimeShell(InFolder("zip -6 -r -q iz.zip tree")));
        g_7zip.push_back(
            benchsupport::TimeShell(InFolder("7z a -tzip -mx5 -mmt=" + threads + " -bd -bso0 -bsp0 7z.zip tree")));
        state.ResumeTiming();
        double start = Now();
        g_backupResult = document.ZipFolderBackup(Folder() / L"tree", COrvantisDoc::MakeTempFileName()) &&
                         g_backupResult;
        g_backup.push_back(Now() - start);
    }
    state.counters["backup_ratio"] = benchsupport::MedianRatio(g_backup, g_infoZip);
    state.counters["times_7z"] = benchsupport::MedianRatio(g_backup, g_7zip);
    state.counters["cores"] = benchsupport::UsableProcessors();
    state.counters["backup_ok"] = g_backupResult;
    state.counters["messages"] = g_messages;
    // The tree holds the archive alone, and it unpacks to what Info-ZIP packed.
    state.counters["tree_left"] = benchsupport::Shell(InFolder("test \"$(ls -A tree)\" = compressed.zip")) != 0;
    state.counters["archives_differ"] =
        benchsupport::Shell(InFolder("unzip -qq iz.zip -d out-iz && mkdir -p out-ours/tree && "
                                     "unzip -qq tree/compressed.zip -d out-ours/tree && "
                                     "diff -r -q out-iz out-ours >/dev/null")) != 0;
}

}  // namespace

BENCHMARK(BM_Backup)->Iterations(kRounds)->UseRealTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete g_folder;
    return 0;
}
