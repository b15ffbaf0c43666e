// Packing, testing and unpacking a tree of about 1 GB in 5,000 files
// (QV_BENCH_ZIP_MB sets the size) with the program's zip library, in wall
// time, beside its peers on the same tree in the same run: Info-ZIP (zip -6 -r,
// unzip -t, unzip), 7-Zip (7z a -tzip -mx5, 7z t, 7z x, with as many threads as
// this process may use) and bsdtar. Ours packs, tests and unpacks on one worker
// thread per usable core, as the backup jobs do. Every round (QV_BENCH_ROUNDS, default 3)
// runs the peers just before ours; each ratio (ours / the peer's) is the median
// over the rounds. Goals: pack at most 0.8x 7-Zip and, on 8 cores, 0.3x
// Info-ZIP; test at most 0.5x 7-Zip; unpack at most 1.0x 7-Zip and 1.2x bsdtar.
// The tree lives in a folder of the run's own, removed at the end.
//
// With QV_BENCH_ZIP_ONCE=pack or unpack the program instead packs the folder
// QV_BENCH_ZIP_FROM into the archive QV_BENCH_ZIP_TO (or unpacks that archive
// into that folder) once, as the benchmark does, and prints its wall and
// processor seconds: bench/run-zip times it this way beside the peers.
#include "bench/BenchSupport.h"

#include "zip/PkArchive.h"
#include "zip/PkException.h"

#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using benchsupport::Now;
using benchsupport::TimeShell;

const int kFiles = 5000;
const int kRounds = benchsupport::EnvNumber("QV_BENCH_ROUNDS", 3);
benchsupport::RunFolder* g_folder;
int g_failures = 0;  // entries our library did not add, test or extract
int g_entries = 0;

benchsupport::RunFolder& Folder()
{
    if (!g_folder)
        g_folder = new benchsupport::RunFolder(L"qvz");
    return *g_folder;
}

void WriteWhole(const CString& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD wrote = 0;
    WriteFile(h, bytes.data(), (DWORD)bytes.size(), &wrote, nullptr);
    CloseHandle(h);
}

// Text-like, binary-like and random files in 50 folders.
std::vector<CString> MakeTree()
{
    uint64_t total = (uint64_t)benchsupport::EnvNumber("QV_BENCH_ZIP_MB", 1024) << 20;
    CString root = Folder() / L"tree";
    CreateDirectoryW(root, nullptr);
    std::mt19937 random(42);
    std::vector<std::string> words;
    for (int i = 0; i < 2000; ++i) {
        std::string w;
        for (int k = 0, n = 2 + (int)(random() % 9); k < n; ++k)
            w += (char)('a' + random() % 26);
        words.push_back(w);
    }
    std::vector<CString> files;
    for (int folder = 0; folder < 50; ++folder) {
        CString path;
        path.Format(L"%s\\dir%02d", (const WCHAR*)root, folder);
        CreateDirectoryW(path, nullptr);
    }
    for (int i = 0; i < kFiles; ++i) {
        size_t size = (size_t)(total / kFiles / 2 + random() % (total / kFiles));
        std::string bytes;
        bytes.reserve(size);
        switch (i % 3) {
        case 0:
            while (bytes.size() < size)
                bytes += words[random() % words.size()] + (random() % 12 ? " " : "\n");
            break;
        case 1:
            while (bytes.size() < size) {
                uint32_t v = (uint32_t)(random() % 4096);
                bytes.append((const char*)&v, 4);
                bytes.append(12, (char)(v & 7));
            }
            break;
        default:
            while (bytes.size() < size) {
                uint32_t v = (uint32_t)random();
                bytes.append((const char*)&v, 4);
            }
        }
        bytes.resize(size);
        CString path;
        path.Format(L"%s\\dir%02d\\file%04d.%s", (const WCHAR*)root, i % 50, i, i % 3 == 0 ? L"txt" : L"bin");
        WriteWhole(path, bytes);
        files.push_back(path);
    }
    return files;
}

const std::vector<CString>& Tree()
{
    static std::vector<CString> files = MakeTree();
    return files;
}

// A shell command run in the run's folder.
std::string InFolder(const std::string& command) { return "cd " + Folder().Unix() + " && " + command; }

std::string Threads() { return std::to_string(benchsupport::UsableProcessors()); }

// The peers of one operation: name and command, run in this order each round
// after `prepare` (outside the timing), then ours; ratios as counters.
struct Peer {
    const char* name;
    std::string prepare, command;
};

void RunPaired(benchmark::State& state, const std::vector<Peer>& peers, const std::string& prepareOurs,
               const std::function<void()>& ours)
{
    std::map<std::string, std::vector<double>> times;
    std::vector<double> ourTimes;
    for (auto _ : state) {
        state.PauseTiming();
        for (const Peer& peer : peers) {
            benchsupport::Shell(InFolder(peer.prepare));
            times[peer.name].push_back(TimeShell(InFolder(peer.command)));
        }
        benchsupport::Shell(InFolder(prepareOurs));
        state.ResumeTiming();
        double start = Now();
        ours();
        ourTimes.push_back(Now() - start);
    }
    for (const Peer& peer : peers)
        state.counters[std::string("times_") + peer.name] = benchsupport::MedianRatio(ourTimes, times[peer.name]);
    state.counters["cores"] = benchsupport::UsableProcessors();
}

void Pack(benchmark::State& state)
{
    const std::vector<CString>& files = Tree();
    std::vector<Peer> peers = {
        {"zip", "rm -f iz.zip", "zip -6 -r -q iz.zip tree"},
        {"7z", "rm -f 7z.zip", "7z a -tzip -mx5 -mmt=" + Threads() + " -bd -bso0 -bsp0 7z.zip tree"},
        {"bsdtar", "rm -f bt.zip", "bsdtar -a -cf bt.zip tree"},
    };
    auto pack = [&](const CString& name, bool oneByOne) {
        CPkArchive archive;
        archive.SetIoBuffers(1500000, 65536, 32768);
        archive.OpenArchive(Folder() / name, CPkStorage::omCreate, 0);
        archive.SetBaseFolder(Folder().Path());
        std::vector<ZipAddRequest> requests;
        CString folder;
        for (int i = 0; i < 50; ++i) {
            folder.Format(L"%s\\dir%02d", (const WCHAR*)(Folder() / L"tree"), i);
            requests.emplace_back(folder, false);
            requests.back().m_iSmartLevel = 1u;
        }
        for (const CString& file : files) {
            requests.emplace_back(file, false);
            requests.back().m_iComprLevel = 6;
            requests.back().m_iSmartLevel = 1u;
        }
        if (oneByOne) {
            for (ZipAddRequest& request : requests)
                g_failures += !archive.AddFile(request);
        } else {
            std::vector<ZipEntryResult> added;
            archive.AddFiles(requests, added);
            for (const ZipEntryResult& result : added)
                g_failures += !result.m_bDone;
        }
        g_entries = archive.GetEntryCount();
        archive.CloseArchive();
    };
    RunPaired(state, peers, "rm -f ours.zip", [&] { pack(L"ours.zip", false); });
    // Once, outside the timing: the size one entry at a time on one thread gives.
    pack(L"one-by-one.zip", true);
    WIN32_FILE_ATTRIBUTE_DATA ours, infoZip, oneByOne;
    if (GetFileAttributesExW(Folder() / L"ours.zip", GetFileExInfoStandard, &ours) &&
        GetFileAttributesExW(Folder() / L"iz.zip", GetFileExInfoStandard, &infoZip))
        state.counters["size_vs_zip"] = (double)ours.nFileSizeLow / (double)infoZip.nFileSizeLow;
    if (GetFileAttributesExW(Folder() / L"one-by-one.zip", GetFileExInfoStandard, &oneByOne))
        state.counters["size_vs_one_by_one"] = (double)ours.nFileSizeLow / (double)oneByOne.nFileSizeLow;
    DeleteFileW(Folder() / L"one-by-one.zip");
}

void Test(benchmark::State& state)
{
    std::vector<Peer> peers = {
        {"unzip", "true", "unzip -t -qq iz.zip"},
        {"7z", "true", "7z t -mmt=" + Threads() + " -bd -bso0 -bsp0 7z.zip"},
    };
    RunPaired(state, peers, "true", [&] {
        CPkArchive archive;
        archive.OpenArchive(Folder() / L"ours.zip", CPkStorage::omOpen, 0);
        g_failures += !archive.TestEntries(0, archive.GetEntryCount(), 65536);
        archive.CloseArchive();
    });
}

void Unpack(benchmark::State& state)
{
    std::vector<Peer> peers = {
        {"unzip", "rm -rf out-iz", "unzip -q iz.zip -d out-iz"},
        {"7z", "rm -rf out-7z", "7z x -mmt=" + Threads() + " -bd -bso0 -bsp0 -oout-7z 7z.zip"},
        {"bsdtar", "rm -rf out-bt && mkdir out-bt", "bsdtar -xf bt.zip -C out-bt"},
    };
    RunPaired(state, peers, "rm -rf out-ours", [&] {
        CPkArchive archive;
        archive.OpenArchive(Folder() / L"ours.zip", CPkStorage::omOpen, 0);
        archive.SetDirectoryOption(0);
        std::vector<ZipExtractRequest> requests(archive.GetEntryCount());
        for (uint16_t i = 0; i < archive.GetEntryCount(); ++i) {
            requests[i].m_uIndex = i;
            requests[i].m_szFolder = Folder() / L"out-ours";
        }
        std::vector<ZipEntryResult> extracted;
        archive.ExtractEntries(requests, extracted);
        for (const ZipEntryResult& result : extracted)
            g_failures += !result.m_bDone;
        archive.CloseArchive();
    });
    state.counters["entries"] = g_entries;
    state.counters["failures"] = g_failures;
    // Our extraction must equal the tree.
    state.counters["tree_differs"] = benchsupport::Shell(InFolder("diff -r -q tree out-ours/tree >/dev/null")) != 0;
}

// The files and folders below a folder, each folder before what it holds.
void ListTree(const CString& folder, std::vector<ZipAddRequest>& requests)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(folder + L"\\*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::vector<CString> folders;
    do {
        CString name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        CString path = folder + L"\\" + name;
        requests.emplace_back(path, false);
        requests.back().m_iSmartLevel = 1u;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.push_back(path);
        else
            requests.back().m_iComprLevel = 6;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    for (const CString& inner : folders)
        ListTree(inner, requests);
}

double ProcessorSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) { return (double)(((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime) / 1e7; };
    return seconds(kernel) + seconds(user);
}

// One pack or unpack; false when an entry failed.
bool RunOnce(const std::string& what, const CString& from, const CString& to)
{
    CPkArchive archive;
    std::vector<ZipEntryResult> results;
    if (what == "pack") {
        archive.SetIoBuffers(1500000, 65536, 32768);
        archive.OpenArchive(to, CPkStorage::omCreate, 0);
        CString base = from;
        int slash = base.ReverseFind(L'\\');
        archive.SetBaseFolder(slash > 0 ? base.Left(slash) : base);
        std::vector<ZipAddRequest> requests;
        ListTree(from, requests);
        archive.AddFiles(requests, results);
    } else {
        archive.OpenArchive(from, CPkStorage::omOpen, 0);
        archive.SetDirectoryOption(0);
        std::vector<ZipExtractRequest> requests(archive.GetEntryCount());
        for (uint16_t i = 0; i < archive.GetEntryCount(); ++i) {
            requests[i].m_uIndex = i;
            requests[i].m_szFolder = to;
        }
        archive.ExtractEntries(requests, results);
    }
    archive.CloseArchive();
    bool all = true;
    for (const ZipEntryResult& result : results)
        all = all && result.m_bDone;
    return all;
}

int RunOnceFromEnvironment(const char* what)
{
    const char* from = getenv("QV_BENCH_ZIP_FROM");
    const char* to = getenv("QV_BENCH_ZIP_TO");
    if (!from || !to || (strcmp(what, "pack") && strcmp(what, "unpack"))) {
        fprintf(stderr, "QV_BENCH_ZIP_ONCE=pack|unpack needs QV_BENCH_ZIP_FROM and QV_BENCH_ZIP_TO\n");
        return 2;
    }
    double start = Now(), processor = ProcessorSeconds();
    bool all = false;
    try {
        all = RunOnce(what, CString::FromUtf8(from), CString::FromUtf8(to));
    } catch (CException* e) {
        e->Delete();
    }
    printf("%.3f %.3f\n", Now() - start, ProcessorSeconds() - processor);
    return all ? 0 : 1;
}

}  // namespace

BENCHMARK(Pack)->Iterations(kRounds)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(Test)->Iterations(kRounds)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(Unpack)->Iterations(kRounds)->UseRealTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    if (const char* once = getenv("QV_BENCH_ZIP_ONCE"))
        return RunOnceFromEnvironment(once);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete g_folder;
    return 0;
}
