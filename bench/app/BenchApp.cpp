// Speed of the application shell: start-up to a shown main window (with a
// last folder in the profile), measured cold (the first start in the
// process, libraries not yet loaded) and warm, beside a bare top-level
// window with a menu (times_bare_window); and the expansion of a folder of
// 2,000 subfolders with encrypted names in the folder tree, beside a plain
// listing of the same folder (times_listing). Goals: warm start-up under
// 1.5 s, the expansion under 0.5 s.
#include "bench/app/AppBenchSupport.h"

#include "app/FolderBar.h"
#include "app/MainFrame.h"
#include "app/OrvantisApp.h"
#include "crypt/NameCrypt.h"
#include "doc/OrvantisDoc.h"
#include "framework/base/MessagePump.h"
#include "res/resource.h"

#include <shlobj.h>

#include <memory>

namespace {

using appbench::RemoveTree;
using appbench::TempPath;
using benchsupport::Now;

const int kSubfolders = 2000;
const WCHAR* const kProfile = L"Software\\Halvercombe\\Quorvex";

void WriteLastPath(const CString& path)
{
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, CString(kProfile) + L"\\Settings", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr);
    ::RegSetValueExW(key, L"LastPath", 0, REG_SZ, (const BYTE*)path.GetString(),
                     (DWORD)((path.GetLength() + 1) * sizeof(WCHAR)));
    ::RegCloseKey(key);
}

// Starts the program's application object up to its shown main window; the
// seconds it took. The window is closed again outside the measurement.
double StartProgramOnce()
{
    double started = Now();
    auto app = std::make_unique<COrvantisApp>();
    if (!app->InitInstance())
        return -1;
    PumpPendingMessages();
    double seconds = Now() - started;
    if (app->m_pMainWnd)
        app->m_pMainWnd->SendMessage(WM_CLOSE);
    PumpPendingMessages();
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    app->ExitInstance();
    return seconds;
}

double g_bareWindowSeconds = 0;

void BareWindow(benchmark::State& state)
{
    double total = 0;
    for (auto _ : state) {
        double started = Now();
        HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
        HWND window = ::CreateWindowExW(0, L"STATIC", L"Bare", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, menu,
                                        nullptr, nullptr);
        ::ShowWindow(window, SW_SHOW);
        ::UpdateWindow(window);
        PumpPendingMessages();
        total += Now() - started;
        ::DestroyWindow(window);
        PumpPendingMessages();
    }
    g_bareWindowSeconds = total / (double)state.iterations();
}

void StartUp(benchmark::State& state, bool cold)
{
    CString lastFolder = TempPath(L"qvbench-last");
    ::CreateDirectoryW(lastFolder, nullptr);
    double total = 0;
    for (auto _ : state) {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kProfile);
        WriteLastPath(lastFolder);
        double seconds = StartProgramOnce();
        if (seconds < 0) {
            state.SkipWithError("the program did not start");
            break;
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProfile);
    RemoveTree(lastFolder);
    double perStart = total / (double)state.iterations();
    state.counters["ms"] = perStart * 1000.0;
    if (g_bareWindowSeconds > 0 && !cold)
        state.counters["times_bare_window"] = perStart / g_bareWindowSeconds;
}

// A folder of 2,000 subfolders whose names are encrypted.
class EncryptedFolders {
public:
    EncryptedFolders() : m_path(TempPath(L"qvbench-tree"))
    {
        COrvantisDoc::SetPasswordKey(L"benchmark password");
        ::CreateDirectoryW(m_path, nullptr);
        // Names made from similar plain names can differ only in letter
        // case, which the file system takes as equal: such a one is skipped.
        CNameCrypt names;
        for (int i = 0, made = 0; made < kSubfolders && i < 4 * kSubfolders; ++i) {
            CString plain;
            plain.Format(L"Folder number %04d", i);
            if (::CreateDirectoryW(m_path + L"\\" + names.EncryptName(plain), nullptr))
                ++made;
        }
    }
    ~EncryptedFolders()
    {
        RemoveTree(m_path);
        COrvantisDoc::SetPasswordKey(CString());
    }
    const CString& Path() const { return m_path; }

private:
    CString m_path;
};

double g_listingSeconds = 0;

void PlainListing(benchmark::State& state)
{
    EncryptedFolders folders;
    double total = 0;
    for (auto _ : state)
        total += appbench::EnumerationSeconds(folders.Path());
    g_listingSeconds = total / (double)state.iterations();
}

void ExpandTree(benchmark::State& state)
{
    EncryptedFolders folders;
    CWnd host;
    host.CreateEx(0, CWnd::RegisterWndClass(0), L"Tree", WS_POPUP, 0, 0, 300, 600, nullptr, nullptr);
    CFolderBar bar;
    bar.Create(L"Folders", &host, CRect(0, 0, 300, 600), TRUE, ID_VIEW_FOLDERS, 0);
    host.ShowWindow(SW_SHOWNOACTIVATE);
    CMyMFCShellTreeCtrl& tree = bar.m_wndTree;
    LPITEMIDLIST pidl = nullptr;
    ::SHParseDisplayName(folders.Path(), nullptr, &pidl, 0, nullptr);
    if (!pidl || !tree.SelectPidl(pidl, false)) {
        state.SkipWithError("the folder is not in the tree");
        return;
    }
    ::CoTaskMemFree(pidl);
    HTREEITEM item = tree.GetSelectedItem();
    double total = 0;
    int shown = 0;
    for (auto _ : state) {
        tree.CollapseAndDiscard(item);
        double started = Now();
        tree.FillChildren(item);
        tree.Expand(item, TVE_EXPAND);
        ::UpdateWindow(tree.m_hWnd);
        double seconds = Now() - started;
        state.SetIterationTime(seconds);
        total += seconds;
        shown = 0;
        for (HTREEITEM child = tree.GetChildItem(item); child; child = tree.GetNextSiblingItem(child))
            shown += tree.GetItemText(child).Find(L"Folder number ") == 0 ? 1 : 0;
    }
    if (shown != kSubfolders)
        state.SkipWithError("the folders were not listed with their plain names");
    double perExpansion = total / (double)state.iterations();
    state.counters["ms"] = perExpansion * 1000.0;
    if (g_listingSeconds > 0)
        state.counters["times_listing"] = perExpansion / g_listingSeconds;
    host.DestroyWindow();
}

}  // namespace

BENCHMARK_CAPTURE(StartUp, cold, true)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BareWindow)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StartUp, warm, false)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(PlainListing)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(ExpandTree)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return appbench::RunBenchmarks(argc, argv); }
