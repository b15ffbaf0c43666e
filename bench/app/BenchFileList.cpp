// Speed of the file list: showing a folder of 10,000 encrypted files (each
// plain name read from its file's header) and one of 10,000 plain files, in
// the report view sorted by name, beside a bare enumeration of the same
// folder (times_listing) and, for the encrypted folder, beside reading the
// stored names alone on one thread (times_name_reads) and beside listing the
// plain folder in the same iterations (times_plain_list), which is what the
// stored names add to. Goals: under 2 s for the encrypted folder and under
// 0.5 s for the plain one.
#include "bench/app/AppBenchSupport.h"

#include "app/MyMFCShellListCtrl.h"
#include "crypt/FileCipher.h"
#include "doc/OrvantisDoc.h"
#include "framework/base/MessagePump.h"

#include <memory>
#include <vector>

namespace {

using appbench::EnumerationSeconds;
using appbench::TempPath;
using benchsupport::Now;

const int kFiles = 10000;
const WCHAR kPassword[] = L"benchmark password";

void WriteSmallFile(const CString& path, const CString& content)
{
    HANDLE file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string bytes = content.ToUtf8();
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    ::CloseHandle(file);
}

// A folder of files: plain ones, or encrypted ones with random names.
class FileFolder {
public:
    explicit FileFolder(bool encrypted) : m_path(TempPath(encrypted ? L"qvbench-encrypted" : L"qvbench-plain"))
    {
        ::CreateDirectoryW(m_path, nullptr);
        CString staging = m_path + L"-staging";
        ::CreateDirectoryW(staging, nullptr);
        CFileCipher cipher;
        for (int i = 0; i < kFiles; ++i) {
            CString name;
            name.Format(L"document %05d.txt", i);
            if (!encrypted) {
                WriteSmallFile(m_path + L"\\" + name, name);
                continue;
            }
            CString plain = staging + L"\\" + name;
            WriteSmallFile(plain, name);
            CString stored;
            cipher.CryptFile(plain, m_path + L"\\" + cipher.MakeRandomEncryptedName(), CRYPT_MODE_ENCRYPT, stored,
                             nullptr, TRUE);
            ::DeleteFileW(plain);
        }
        ::RemoveDirectoryW(staging);
    }
    ~FileFolder() { appbench::RemoveTree(m_path); }
    const CString& Path() const { return m_path; }

private:
    CString m_path;
};

// Reads the stored name of every file of the folder, as the list does.
double NameReadSeconds(const CString& folder)
{
    std::vector<CString> paths;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(folder + L"\\*", &found);
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            paths.push_back(folder + L"\\" + found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    double started = Now();
    CFileCipher cipher;
    int named = 0;
    for (const CString& path : paths)
        named += cipher.ReadOriginalName(path).IsEmpty() ? 0 : 1;
    benchmark::DoNotOptimize(named);
    return Now() - started;
}

// Seconds to show the folder in the list and draw it.
double ShowSeconds(CMyMFCShellListCtrl& list, const CString& folder)
{
    double started = Now();
    list.DisplayFolder(folder.GetString());
    ::UpdateWindow(list.m_hWnd);
    return Now() - started;
}

void ShowFolder(benchmark::State& state, bool encrypted)
{
    COrvantisDoc::SetPasswordKey(kPassword);
    FileFolder folder(encrypted);
    std::unique_ptr<FileFolder> plainFolder(encrypted ? new FileFolder(false) : nullptr);
    CWnd host;
    host.CreateEx(0, CWnd::RegisterWndClass(0), L"List", WS_POPUP, 0, 0, 900, 700, nullptr, nullptr);
    CMyMFCShellListCtrl list;
    list.Create(WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, CRect(0, 0, 900, 700), &host, 1);
    list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    host.ShowWindow(SW_SHOWNOACTIVATE);
    PumpPendingMessages();
    double total = 0, enumeration = 0, nameReads = 0, plainShows = 0;
    for (auto _ : state) {
        enumeration += EnumerationSeconds(folder.Path());
        if (encrypted) {
            nameReads += NameReadSeconds(folder.Path());
            plainShows += ShowSeconds(list, plainFolder->Path());
        }
        double seconds = ShowSeconds(list, folder.Path());
        state.SetIterationTime(seconds);
        total += seconds;
    }
    CString first = list.GetItemText(0, CShellListCtrl::COLUMN_NAME);
    if (list.GetItemCount() != kFiles || (encrypted && first.Find(L"document ") != 0))
        state.SkipWithError("the folder was not listed with its plain names");
    double perShow = total / (double)state.iterations();
    state.counters["ms"] = perShow * 1000.0;
    state.counters["times_listing"] = perShow / (enumeration / (double)state.iterations());
    if (encrypted) {
        state.counters["times_name_reads"] = perShow / (nameReads / (double)state.iterations());
        state.counters["times_plain_list"] = perShow / (plainShows / (double)state.iterations());
    }
    host.DestroyWindow();
    COrvantisDoc::SetPasswordKey(CString());
}

}  // namespace

BENCHMARK_CAPTURE(ShowFolder, encrypted_10000, true)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ShowFolder, plain_10000, false)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return appbench::RunBenchmarks(argc, argv); }
