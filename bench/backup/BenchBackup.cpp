// The document's folder backup (pack, check every entry, place the archive,
// delete the packed files) on a tree of about 1 GB in 5,000 files, beside
// Info-ZIP's zip -6 -r on the same tree in the same run. Goal: backup_ratio
// (ours / Info-ZIP's wall time) within 1.3. Info-ZIP runs first: the backup
// deletes the tree. Both archives are then extracted with unzip and compared
// (archives_differ). QV_BENCH_BACKUP_MB sets the tree's size (default 1024);
// everything lives in /tmp/qv-bench-backup and is removed at the end.
#include "bench/BenchSupport.h"

#include "doc/OrvantisDoc.h"
#include "framework/windows/AfxMessageBox.h"

#include <cstdlib>
#include <random>
#include <string>

namespace {

using benchsupport::Now;

const char* kUnixRoot = "/tmp/qv-bench-backup";
const WCHAR* kRoot = L"Z:\\tmp\\qv-bench-backup";
const int kFiles = 5000;
const int kFolders = 50;

double g_infoZip = 0, g_backup = 0;
bool g_backupResult = false;
int g_messages = 0;

int Shell(const std::string& command) { return std::system(command.c_str()); }

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
    const char* mb = getenv("QV_BENCH_BACKUP_MB");
    uint64_t total = (uint64_t)(mb ? atoi(mb) : 1024) << 20;
    Shell(std::string("rm -rf ") + kUnixRoot + " && mkdir -p " + kUnixRoot + "/tree");
    std::mt19937 random(7);
    CString path;
    for (int folder = 0; folder < kFolders; ++folder) {
        path.Format(L"%s\\tree\\dir%02d", kRoot, folder);
        CreateDirectoryW(path, nullptr);
    }
    for (int i = 0; i < kFiles; ++i) {
        size_t size = (size_t)(total / kFiles / 2 + random() % (total / kFiles));
        path.Format(L"%s\\tree\\dir%02d\\file%04d.%s", kRoot, i % kFolders, i, i % 3 == 0 ? L"txt" : L"bin");
        WriteWhole(path, Content(i, size, random));
    }
}

void BM_InfoZip(benchmark::State& state)
{
    MakeTree();
    for (auto _ : state) {
        double start = Now();
        Shell(std::string("cd ") + kUnixRoot + " && zip -6 -r -q iz.zip tree");
        g_infoZip = Now() - start;
        state.SetIterationTime(g_infoZip);
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
    for (auto _ : state) {
        double start = Now();
        g_backupResult = document.ZipFolderBackup(CString(kRoot) + L"\\tree", COrvantisDoc::MakeTempFileName());
        g_backup = Now() - start;
        state.SetIterationTime(g_backup);
    }
}

void BM_Ratio(benchmark::State& state)
{
    for (auto _ : state)
        state.SetIterationTime(0.001);
    state.counters["backup_ratio"] = g_infoZip > 0 ? g_backup / g_infoZip : 0;
    state.counters["backup_ok"] = g_backupResult;
    state.counters["messages"] = g_messages;
    std::string root = kUnixRoot;
    // The tree holds the archive alone, and it unpacks to what Info-ZIP packed.
    state.counters["tree_left"] = Shell("test \"$(ls -A " + root + "/tree)\" = compressed.zip") != 0;
    state.counters["archives_differ"] =
        Shell("cd " + root + " && unzip -qq iz.zip -d out-iz && mkdir -p out-ours/tree && " +
              "unzip -qq tree/compressed.zip -d out-ours/tree && diff -r -q out-iz out-ours >/dev/null") != 0;
    Shell("rm -rf " + root);
}

}  // namespace

BENCHMARK(BM_InfoZip)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Backup)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Ratio)->Iterations(1)->UseManualTime();
BENCHMARK_MAIN();
