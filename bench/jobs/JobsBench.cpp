// Speed of the document's jobs on real files: the encryption job with the
// default options (verification, random names, kept dates, folder names) and
// the decryption job, on one 1 GB file and on 10,000 small files (1 to 8 KB),
// beside a plain copy of the same data measured in the same round
// (times_copy). The jobs report to a window as they do to the main frame.
// Goals: the large file within 2 times the copy; small files at least 500
// files per second. The data lives in the temporary folder and is removed
// at the end.
#pragma push_macro("_WIN32")
#pragma push_macro("_WIN64")
#pragma push_macro("WIN32")
#undef _WIN32
#undef _WIN64
#undef WIN32
#include <benchmark/benchmark.h>
#pragma pop_macro("WIN32")
#pragma pop_macro("_WIN64")
#pragma pop_macro("_WIN32")

#include "crypt/OrvantisDoc.h"
#include "framework/CWinApp.h"
#include "framework/CWnd.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

const uint64_t kLargeSize = 1ull << 30;
const int kSmallFiles = 10000;
const int kSmallFolders = 10;

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

// Stands in for the main frame: takes every report and counts it.
class CountingWindow : public CWnd {
public:
    CountingWindow() { CreateEx(0, RegisterWndClass(0), L"jobs", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == UWM_JOB_PROGRESS) {
            ++reports;
            if (lParam == PROGRESS_JOB_ENDED) {
                ended = true;
                PostMessage(WM_NULL);  // GetMessage returns only for posted messages
            }
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    long reports = 0;
    bool ended = false;
};

void RemoveTree(const CString& path)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(path + L"\\*", &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            CString name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            CString child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(path);
}

// Fast pseudo-random bytes (xorshift), so the data does not compress or repeat.
void FillPattern(uint8_t* bytes, size_t length, uint64_t& state)
{
    for (size_t i = 0; i + 8 <= length; i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        memcpy(bytes + i, &state, 8);
    }
}

bool WriteData(const CString& path, uint64_t size, uint64_t seed)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<uint8_t> chunk(1 << 20);
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    bool ok = true;
    for (uint64_t done = 0; ok && done < size;) {
        DWORD piece = (DWORD)std::min<uint64_t>(chunk.size(), size - done), wrote = 0;
        FillPattern(chunk.data(), chunk.size(), state);
        ok = WriteFile(file, chunk.data(), piece, &wrote, nullptr) && wrote == piece;
        done += piece;
    }
    CloseHandle(file);
    return ok;
}

// The files of a folder tree, for the plain-copy reference.
void ListFiles(const CString& folder, std::vector<CString>& files)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(folder + L"\\*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        CString name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + L"\\" + name, files);
        else
            files.push_back(folder + L"\\" + name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

// An application with the counting window as its main window, a document
// with the default options and a password, and the data folder.
class JobBench {
public:
    JobBench() : m_app(L"Quorvex")
    {
        m_app.m_pMainWnd = &m_window;
        WCHAR temp[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, temp);
        m_root.Format(L"%sqvbench-jobs-%lu", temp, GetCurrentProcessId());
        CreateDirectoryW(m_root, nullptr);
        m_doc = std::make_unique<COrvantisDoc>();
        m_doc->m_strPassword = L"benchmark password";
        COrvantisDoc::SetPasswordKey(m_doc->m_strPassword);
    }
    ~JobBench()
    {
        m_doc.reset();
        COrvantisDoc::SetPasswordKey(CString());
        RemoveTree(m_root);
        m_app.m_pMainWnd = nullptr;
    }

    CString Folder(const WCHAR* name) const { return m_root + L"\\" + name; }

    // Seconds the job took, from the command to its end.
    // The user-interface thread meanwhile runs a plain message loop, as the
    // program's main loop does while a job reports to the main frame.
    double RunJob(int jobCode, const CString& folder)
    {
        double start = Now();
        m_doc->m_strCurrentFolder = folder;
        g_JobCode = jobCode;
        m_window.ended = false;
        m_doc->Start();
        if (AfxGetMainWnd()) {
            MSG msg;
            while (!m_window.ended && GetMessageW(&msg, nullptr, 0, 0)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        while (m_doc->IsRunning())
            m_doc->WaitForExit(50);
        return Now() - start;
    }

    long Reports() const { return m_window.reports; }

private:
    CWinApp m_app;
    CountingWindow m_window;
    std::unique_ptr<COrvantisDoc> m_doc;
    CString m_root;
};

// Made on first use; removed (with its data folder) before the program ends.
std::unique_ptr<JobBench> g_bench;

JobBench& Bench()
{
    if (!g_bench)
        g_bench = std::make_unique<JobBench>();
    return *g_bench;
}

// Rounds of the plain copy (the reference, its seconds returned by `copy`),
// then the encryption job and the decryption job on `folder`.
void RunRounds(benchmark::State& state, const CString& folder, long files, const std::function<double()>& copy)
{
    JobBench& bench = Bench();
    double copySeconds = 0, encryptSeconds = 0, decryptSeconds = 0;
    for (auto _ : state) {
        copySeconds += copy();
        double encrypted = bench.RunJob(JOB_ENCRYPT_FOLDER, folder);
        double decrypted = bench.RunJob(JOB_DECRYPT_FOLDER, folder);
        encryptSeconds += encrypted;
        decryptSeconds += decrypted;
        state.SetIterationTime(encrypted + decrypted);
    }
    double rounds = (double)state.iterations();
    state.counters["copy_s"] = copySeconds / rounds;
    state.counters["encrypt_s"] = encryptSeconds / rounds;
    state.counters["decrypt_s"] = decryptSeconds / rounds;
    state.counters["encrypt_times_copy"] = encryptSeconds / copySeconds;
    state.counters["decrypt_times_copy"] = decryptSeconds / copySeconds;
    state.counters["encrypt_files_per_s"] = (double)files * rounds / encryptSeconds;
    state.counters["decrypt_files_per_s"] = (double)files * rounds / decryptSeconds;
}

void LargeFile(benchmark::State& state)
{
    JobBench& bench = Bench();
    CString folder = bench.Folder(L"large");
    CreateDirectoryW(folder, nullptr);
    CString source = folder + L"\\large.bin";
    if (!WriteData(source, kLargeSize, 7)) {
        state.SkipWithError("cannot write the data");
        return;
    }
    CString copy = bench.Folder(L"large-copy.bin");
    RunRounds(state, folder, 1, [&] {
        double start = Now();
        CopyFileW(source, copy, FALSE);
        double copied = Now() - start;
        DeleteFileW(copy);
        return copied;
    });
    if (GetFileAttributesW(source) == INVALID_FILE_ATTRIBUTES)
        state.SkipWithError("the round trip lost the file");
    state.SetBytesProcessed((int64_t)(kLargeSize * 2 * state.iterations()));
    RemoveTree(folder);
}

void SmallFiles(benchmark::State& state)
{
    JobBench& bench = Bench();
    CString folder = bench.Folder(L"small");
    CreateDirectoryW(folder, nullptr);
    uint64_t sizeState = 12345;
    for (int f = 0; f < kSmallFolders; ++f) {
        CString sub;
        sub.Format(L"%s\\folder%d", folder.GetString(), f);
        CreateDirectoryW(sub, nullptr);
        for (int i = 0; i < kSmallFiles / kSmallFolders; ++i) {
            sizeState = sizeState * 6364136223846793005ull + 1442695040888963407ull;
            CString path;
            path.Format(L"%s\\file%04d.txt", sub.GetString(), i);
            if (!WriteData(path, 1024 + (sizeState >> 33) % 7169, sizeState)) {
                state.SkipWithError("cannot write the data");
                return;
            }
        }
    }
    std::vector<CString> files;
    ListFiles(folder, files);
    long reportsBefore = bench.Reports();
    CString mirror = bench.Folder(L"small-copy");
    RunRounds(state, folder, (long)files.size(), [&] {
        CreateDirectoryW(mirror, nullptr);
        double start = Now();
        int n = 0;
        for (const CString& file : files) {
            CString target;
            target.Format(L"%s\\%d", mirror.GetString(), n++);
            CopyFileW(file, target, FALSE);
        }
        double copied = Now() - start;
        RemoveTree(mirror);
        return copied;
    });
    std::vector<CString> after;
    ListFiles(folder, after);
    if (after.size() != files.size())
        state.SkipWithError("the round trip lost files");
    state.counters["reports_per_file"] = (double)(bench.Reports() - reportsBefore) / (double)state.iterations() /
                                         (double)files.size();
    RemoveTree(folder);
}

}  // namespace

BENCHMARK(LargeFile)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(2);
BENCHMARK(SmallFiles)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    g_bench.reset();
    benchmark::Shutdown();
    return 0;
}
