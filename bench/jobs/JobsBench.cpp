// Speed of the document's jobs on real files: the encryption job with the
// default options (verification, random names, kept dates, folder names) and
// the decryption job, on one 1 GB file and on 10,000 small files (1 to 8 KB)
// in 10 folders, beside a plain copy of the same data into the same layout,
// measured in the same round (times_copy). The jobs report to a window as
// they do to the main frame. Goals: the large file within 2 times the copy;
// small files at least 500 files per second. SystemFloor measures what the
// system charges for the steps every file needs whatever the jobs do (a
// report to the window, a new file, a move into a folder of 1,000 files, ...)
// and the file rates those costs alone would allow. The data lives in the
// temporary folder and is removed at the end.
#include "bench/BenchSupport.h"

#include "doc/OrvantisDoc.h"
#include "framework/windows/CWinApp.h"
#include "framework/windows/CWnd.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using benchsupport::Now;

const uint64_t kLargeSize = 1ull << 30;
const int kSmallFiles = 10000;
const int kSmallFolders = 10;

// Stands in for the main frame: takes every report and counts it.
class CountingWindow : public CWnd {
public:
    CountingWindow() { CreateEx(0, RegisterWndClass(0), L"jobs", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == UWM_JOB_PROGRESS) {
            ++reports;
            if (ReportOf(lParam).code == PROGRESS_JOB_ENDED) {
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

using benchsupport::RemoveTree;

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

bool WriteData(const CString& path, uint64_t size, uint64_t variant)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<uint8_t> chunk(1 << 20);
    uint64_t state = variant * 0x9E3779B97F4A7C15ull + 1;
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
        m_window.ended = false;
        m_doc->StartJob(jobCode);
        PumpUntilEnded();
        while (m_doc->IsRunning())
            m_doc->WaitForExit(50);
        return Now() - start;
    }

    // Seconds `work` takes on a thread of its own that then reports the end
    // of a job, while this thread pumps messages as in RunJob.
    double RunReporting(const std::function<void()>& work)
    {
        double start = Now();
        m_window.ended = false;
        struct Call {
            static DWORD WINAPI Main(void* work)
            {
                (*static_cast<const std::function<void()>*>(work))();
                COrvantisDoc::ProgressEnded();
                return 0;
            }
        };
        HANDLE thread = CreateThread(nullptr, 0, Call::Main, const_cast<std::function<void()>*>(&work), 0, nullptr);
        if (!thread)
            return 0;
        PumpUntilEnded();
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        return Now() - start;
    }

    long Reports() const { return m_window.reports; }

private:
    void PumpUntilEnded()
    {
        if (!AfxGetMainWnd())
            return;
        MSG msg;
        while (!m_window.ended && GetMessageW(&msg, nullptr, 0, 0)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

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

// Writes a folder's files to the disk (untimed), so that writing back what
// one part of a round left in memory does not slow down the next part.
void FlushFolder(const CString& folder)
{
    std::vector<CString> files;
    ListFiles(folder, files);
    for (const CString& path : files) {
        HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        FlushFileBuffers(file);
        CloseHandle(file);
    }
}

// Rounds of the plain copy (the reference, its seconds returned by `copy`),
// then the encryption job and the decryption job on `folder`; with `flush`
// the folder is written to the disk before each of them.
void RunRounds(benchmark::State& state, const CString& folder, long files, bool flush,
               const std::function<double()>& copy)
{
    JobBench& bench = Bench();
    auto settle = [&] {
        if (flush)
            FlushFolder(folder);
    };
    double copySeconds = 0, encryptSeconds = 0, decryptSeconds = 0;
    long encryptReports = 0, decryptReports = 0;
    for (auto _ : state) {
        settle();
        copySeconds += copy();
        settle();
        long before = bench.Reports();
        double encrypted = bench.RunJob(JOB_ENCRYPT_FOLDER, folder);
        long between = bench.Reports();
        settle();
        double decrypted = bench.RunJob(JOB_DECRYPT_FOLDER, folder);
        encryptReports += between - before;
        decryptReports += bench.Reports() - between;
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
    state.counters["encrypt_reports_per_file"] = (double)encryptReports / rounds / (double)files;
    state.counters["decrypt_reports_per_file"] = (double)decryptReports / rounds / (double)files;
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
    RunRounds(state, folder, 1, true, [&] {
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

CString SmallFolder(const CString& root, int index)
{
    CString sub;
    sub.Format(L"%s\\folder%d", root.GetString(), index);
    return sub;
}

void SmallFiles(benchmark::State& state)
{
    JobBench& bench = Bench();
    CString folder = bench.Folder(L"small");
    CreateDirectoryW(folder, nullptr);
    uint64_t sizeState = 12345;
    for (int f = 0; f < kSmallFolders; ++f) {
        CString sub = SmallFolder(folder, f);
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
    // The copy keeps the layout: a folder of 10,000 files would make every
    // new name cost a search through all of them.
    CString mirror = bench.Folder(L"small-copy");
    RunRounds(state, folder, (long)files.size(), false, [&] {
        CreateDirectoryW(mirror, nullptr);
        for (int f = 0; f < kSmallFolders; ++f)
            CreateDirectoryW(SmallFolder(mirror, f), nullptr);
        double start = Now();
        for (const CString& file : files)
            CopyFileW(file, mirror + file.Mid(folder.GetLength()), FALSE);
        double copied = Now() - start;
        RemoveTree(mirror);
        return copied;
    });
    std::vector<CString> after;
    ListFiles(folder, after);
    if (after.size() != files.size())
        state.SkipWithError("the round trip lost files");
    RemoveTree(folder);
}

// Microseconds per call of `step` (called with 0 .. count - 1).
double MicrosecondsEach(int count, const std::function<void(int)>& step)
{
    double start = Now();
    for (int i = 0; i < count; ++i)
        step(i);
    return (Now() - start) * 1e6 / count;
}

CString Numbered(const CString& folder, const WCHAR* prefix, int index)
{
    CString path;
    path.Format(L"%s\\%s%d", folder.GetString(), prefix, index);
    return path;
}

// The system's price of the steps a job cannot leave out for one file of the
// small-file round, and the file rates they alone allow: encrypting a file
// takes 11 reports, a new temporary file, a move into the file's folder (of
// about 1,000 files), the deletion of the source and 4 openings (the source,
// the new file and the source again to verify, the target for its times);
// decrypting one takes 8 reports, a new file, a move, a deletion and 2 openings.
void SystemFloor(benchmark::State& state)
{
    JobBench& bench = Bench();
    const int count = 500;
    CString temp = bench.Folder(L"floor-temp"), folder = bench.Folder(L"floor-folder");
    CreateDirectoryW(temp, nullptr);
    CreateDirectoryW(folder, nullptr);
    for (int i = 0; i < kSmallFiles / kSmallFolders; ++i)
        WriteData(Numbered(folder, L"file", i), 4096, (uint64_t)i);
    double report = 0, send = 0, create = 0, move = 0, lookup = 0, open = 0, remove = 0;
    static const uint8_t page[4096] = {1};
    for (auto _ : state) {
        const int reports = 2000;
        report = bench.RunReporting([&] {
                     for (int i = 0; i < reports; ++i)
                         COrvantisDoc::ProgressSetIndex(i);
                 }) * 1e6 / reports;
        // The bare message, to show what a report adds to it.
        HWND window = AfxGetMainWnd()->m_hWnd;
        send = bench.RunReporting([&] {
                   for (int i = 0; i < reports; ++i)
                       SendMessageW(window, WM_NULL, 0, 0);
               }) * 1e6 / reports;
        // A temporary file made and moved away at once, as the jobs do: the
        // temporary folder stays small.
        create = move = 0;
        for (int i = 0; i < count; ++i) {
            create += MicrosecondsEach(1, [&](int) {
                HANDLE file = CreateFileW(Numbered(temp, L"t", i), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
                DWORD wrote = 0;
                WriteFile(file, page, sizeof page, &wrote, nullptr);
                CloseHandle(file);
            }) / count;
            move += MicrosecondsEach(1, [&](int) {
                MoveFileExW(Numbered(temp, L"t", i), Numbered(folder, L"moved", i), MOVEFILE_COPY_ALLOWED);
            }) / count;
        }
        lookup = MicrosecondsEach(count, [&](int i) { GetFileAttributesW(Numbered(folder, L"missing", i)); });
        open = MicrosecondsEach(count, [&](int i) {
            HANDLE file = CreateFileW(Numbered(folder, L"file", i), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            CloseHandle(file);
        });
        remove = MicrosecondsEach(count, [&](int i) { DeleteFileW(Numbered(folder, L"moved", i)); });
    }
    state.counters["report_us"] = report;
    state.counters["send_message_us"] = send;
    state.counters["create_us"] = create;
    state.counters["move_us"] = move;
    state.counters["missing_lookup_us"] = lookup;
    state.counters["open_us"] = open;
    state.counters["delete_us"] = remove;
    double fileSteps = create + move + remove;
    state.counters["encrypt_floor_files_per_s"] = 1e6 / (11 * report + fileSteps + 4 * open);
    state.counters["decrypt_floor_files_per_s"] = 1e6 / (8 * report + fileSteps + 2 * open);
    RemoveTree(temp);
    RemoveTree(folder);
}

// Processor seconds (user and kernel) this process has used so far.
double ProcessSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    auto seconds = [](const FILETIME& t) { return (double)(((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime) * 1e-7; };
    return seconds(kernel) + seconds(user);
}

// The folder job as the user runs it on a tree someone else made
// (bench/run-folder-jobs): one encryption of it in place, then one
// decryption, each with the seconds and processor seconds it took. The tree
// is left as it was found (names and content).
void GivenTree(benchmark::State& state, const CString& folder)
{
    JobBench& bench = Bench();
    std::vector<CString> files;
    ListFiles(folder, files);
    double encryptSeconds = 0, decryptSeconds = 0, encryptCpu = 0, decryptCpu = 0;
    long encryptReports = 0, decryptReports = 0;
    for (auto _ : state) {
        long before = bench.Reports();
        double cpu = ProcessSeconds();
        double encrypted = bench.RunJob(JOB_ENCRYPT_FOLDER, folder);
        double between = ProcessSeconds();
        long reportsBetween = bench.Reports();
        double decrypted = bench.RunJob(JOB_DECRYPT_FOLDER, folder);
        encryptSeconds += encrypted;
        decryptSeconds += decrypted;
        encryptCpu += between - cpu;
        decryptCpu += ProcessSeconds() - between;
        encryptReports += reportsBetween - before;
        decryptReports += bench.Reports() - reportsBetween;
        state.SetIterationTime(encrypted + decrypted);
    }
    double rounds = (double)state.iterations(), count = (double)std::max<size_t>(files.size(), 1);
    state.counters["files"] = (double)files.size();
    state.counters["encrypt_s"] = encryptSeconds / rounds;
    state.counters["decrypt_s"] = decryptSeconds / rounds;
    state.counters["encrypt_cpu_s"] = encryptCpu / rounds;
    state.counters["decrypt_cpu_s"] = decryptCpu / rounds;
    state.counters["encrypt_reports_per_file"] = (double)encryptReports / rounds / count;
    state.counters["decrypt_reports_per_file"] = (double)decryptReports / rounds / count;
    std::vector<CString> after;
    ListFiles(folder, after);
    if (after.size() != files.size())
        state.SkipWithError("the round trip lost files");
}

}  // namespace

BENCHMARK(SystemFloor)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(LargeFile)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(2);
BENCHMARK(SmallFiles)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    // QV_BENCH_TREE: a folder (Windows path) to run the folder jobs on.
    WCHAR tree[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"QV_BENCH_TREE", tree, MAX_PATH)) {
        CString folder = tree;
        benchmark::RegisterBenchmark("GivenTree", [folder](benchmark::State& state) { GivenTree(state, folder); })
            ->Unit(benchmark::kSecond)
            ->UseManualTime()
            ->Iterations(1);
    }
    benchmark::RunSpecifiedBenchmarks();
    g_bench.reset();
    benchmark::Shutdown();
    return 0;
}
