// Packing, testing and unpacking a tree of about 1 GB in 5,000 files with the
// program's zip library and, on the same tree in the same run, with Info-ZIP
// (zip -6 -r, unzip -t, unzip). Ratios: ours / Info-ZIP's wall time.
// QV_BENCH_ZIP_MB sets the tree's size (default 1024); the tree lives in
// /tmp/qv-bench-zip and is removed at the end.
#include "zip/PkArchive.h"
#include "zip/PkException.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

const char* kUnixRoot = "/tmp/qv-bench-zip";
const WCHAR* kRoot = L"Z:\\tmp\\qv-bench-zip";
const int kFiles = 5000;
std::map<std::string, double> g_seconds;
int g_failures = 0;  // entries our library did not add, test or extract
int g_entries = 0;

CString Child(const WCHAR* name) { return CString(kRoot) + L"\\" + name; }

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
    const char* mb = getenv("QV_BENCH_ZIP_MB");
    uint64_t total = (uint64_t)(mb ? atoi(mb) : 1024) << 20;
    std::system((std::string("rm -rf ") + kUnixRoot + " && mkdir -p " + kUnixRoot + "/tree").c_str());
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
        path.Format(L"%s\\tree\\dir%02d", kRoot, folder);
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
        path.Format(L"%s\\tree\\dir%02d\\file%04d.%s", kRoot, i % 50, i, i % 3 == 0 ? L"txt" : L"bin");
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

double Run(const std::string& command)
{
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    int rc = std::system(command.c_str());
    QueryPerformanceCounter(&b);
    if (rc != 0)
        fprintf(stderr, "command failed: %s\n", command.c_str());
    return (double)(b.QuadPart - a.QuadPart) / (double)f.QuadPart;
}

void Record(benchmark::State& state, const std::string& name, double seconds)
{
    state.SetIterationTime(seconds);
    g_seconds[name] = seconds;
}

double Seconds(const std::function<void()>& action)
{
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    action();
    QueryPerformanceCounter(&b);
    return (double)(b.QuadPart - a.QuadPart) / (double)f.QuadPart;
}

void BM_PackInfoZip(benchmark::State& state)
{
    Tree();
    for (auto _ : state) {
        std::system((std::string("rm -f ") + kUnixRoot + "/iz.zip").c_str());
        Record(state, "pack infozip", Run(std::string("cd ") + kUnixRoot + " && zip -6 -r -q iz.zip tree"));
    }
}

void BM_PackOurs(benchmark::State& state)
{
    const std::vector<CString>& files = Tree();
    for (auto _ : state) {
        double t = Seconds([&] {
            CPkArchive archive;
            archive.SetIoBuffers(1500000, 65536, 32768);
            archive.OpenArchive(Child(L"ours.zip"), CPkStorage::omCreate, 0);
            archive.SetBaseFolder(kRoot);
            CString folder;
            for (int i = 0; i < 50; ++i) {
                folder.Format(L"%s\\tree\\dir%02d", kRoot, i);
                ZipAddRequest request(folder, false);
                request.m_iSmartLevel = 1u;
                g_failures += !archive.AddFile(request);
            }
            for (const CString& file : files) {
                ZipAddRequest request(file, false);
                request.m_iComprLevel = 6;
                request.m_iSmartLevel = 1u;
                g_failures += !archive.AddFile(request);
            }
            g_entries = archive.GetEntryCount();
            archive.CloseArchive();
        });
        Record(state, "pack ours", t);
    }
}

void BM_TestInfoZip(benchmark::State& state)
{
    for (auto _ : state)
        Record(state, "test infozip", Run(std::string("cd ") + kUnixRoot + " && unzip -t -qq iz.zip"));
}

void BM_TestOurs(benchmark::State& state)
{
    for (auto _ : state) {
        Record(state, "test ours", Seconds([&] {
                   CPkArchive archive;
                   archive.OpenArchive(Child(L"ours.zip"), CPkStorage::omOpen, 0);
                   for (uint16_t i = 0; i < archive.GetEntryCount(); ++i)
                       g_failures += !archive.TestEntry(i, 65536);
                   archive.CloseArchive();
               }));
    }
}

void BM_UnpackInfoZip(benchmark::State& state)
{
    for (auto _ : state) {
        std::system((std::string("rm -rf ") + kUnixRoot + "/out-iz").c_str());
        Record(state, "unpack infozip", Run(std::string("cd ") + kUnixRoot + " && unzip -q iz.zip -d out-iz"));
    }
}

void BM_UnpackOurs(benchmark::State& state)
{
    for (auto _ : state) {
        std::system((std::string("rm -rf ") + kUnixRoot + "/out-ours").c_str());
        Record(state, "unpack ours", Seconds([&] {
                   CPkArchive archive;
                   archive.OpenArchive(Child(L"ours.zip"), CPkStorage::omOpen, 0);
                   archive.SetDirectoryOption(0);
                   for (uint16_t i = 0; i < archive.GetEntryCount(); ++i)
                       g_failures += !archive.ExtractEntry(i, Child(L"out-ours"), true, nullptr, 0, 65536);
                   archive.CloseArchive();
               }));
    }
}

void BM_Ratios(benchmark::State& state)
{
    for (auto _ : state)
        state.SetIterationTime(0.001);
    auto ratio = [](const char* ours, const char* theirs) { return g_seconds[ours] / g_seconds[theirs]; };
    state.counters["pack_ratio"] = ratio("pack ours", "pack infozip");
    state.counters["test_ratio"] = ratio("test ours", "test infozip");
    state.counters["unpack_ratio"] = ratio("unpack ours", "unpack infozip");
    state.counters["entries"] = g_entries;
    state.counters["failures"] = g_failures;
    // Our extraction must equal the tree.
    state.counters["tree_differs"] =
        std::system((std::string("diff -r -q ") + kUnixRoot + "/tree " + kUnixRoot + "/out-ours/tree >/dev/null").c_str()) != 0;
    std::system((std::string("rm -rf ") + kUnixRoot).c_str());
}

}  // namespace

BENCHMARK(BM_PackInfoZip)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_PackOurs)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_TestInfoZip)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_TestOurs)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_UnpackInfoZip)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_UnpackOurs)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Ratios)->Iterations(1)->UseManualTime();
BENCHMARK_MAIN();
