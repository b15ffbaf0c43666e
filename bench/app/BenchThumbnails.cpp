// The thumbnail browser over a folder of camera-size JPEGs (plain, and
// encrypted copies), beside vipsthumbnail on the same files with the same box
// and one thread (the browser's loader is one thread), in one run.
//   first screen: from listing the folder until every visible cell shows its thumbnail;
//   all: until every file has been made, paging down whenever a screen is done.
// Each is reported in ms and as x_vips = vipsthumbnail's time over ours for
// the same number of files (above 1: we are faster).
// QV_BENCH_THUMB_COUNT (default 500) and QV_BENCH_THUMB_SIZE (long side,
// default 4000) make the set smaller for a quick run.
#include "bench/app/AppBenchSupport.h"

#include "app/MultipleSelectorBrowser.h"
#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"

#include <functional>
#include <set>
#include <string>

namespace {

using benchsupport::Now;

const int kThumbPixels = 170;

struct PictureSet {
    benchsupport::RunFolder plain{L"qvt"};
    benchsupport::RunFolder encrypted{L"qve"};
    std::vector<CString> plainFiles, encryptedFiles;
    int width = 0, height = 0;
    bool ok = false;
};

PictureSet* g_set = nullptr;

// One plasma JPEG made by ImageMagick, copied; the encrypted copies carry
// the same content under random names.
void MakeSet(PictureSet& set)
{
    const int count = benchsupport::EnvNumber("QV_BENCH_THUMB_COUNT", 500);
    set.width = benchsupport::EnvNumber("QV_BENCH_THUMB_SIZE", 4000);
    set.height = set.width * 3 / 4;
    if (!set.plain.IsValid() || !set.encrypted.IsValid())
        return;
    std::string source = set.plain.Unix("source.jpg");
    benchsupport::Shell("convert -size " + std::to_string(set.width) + "x" + std::to_string(set.height) +
                        " plasma: -quality 90 " + source);
    CString sourcePath = set.plain / L"source.jpg";
    SetNameKey(L"benchmark password");
    SetKeyFromDigest(g_NameKey);
    CFileCipher cipher;
    CString encryptedSource = set.encrypted / L"source.dat";
    CString stored;
    if (cipher.CryptFile(sourcePath, encryptedSource, CRYPT_MODE_ENCRYPT, stored, nullptr, FALSE) != CRYPT_OK)
        return;
    for (int i = 0; i < count; ++i) {
        CString name;
        name.Format(L"img%04d.jpg", i);
        ::CopyFileW(sourcePath, set.plain / name, FALSE);
        set.plainFiles.push_back(set.plain / name);
        CString encryptedName = set.encrypted / cipher.MakeRandomEncryptedName();
        ::CopyFileW(encryptedSource, encryptedName, FALSE);
        set.encryptedFiles.push_back(encryptedName);
    }
    ::DeleteFileW(sourcePath);
    ::DeleteFileW(encryptedSource);
    set.ok = true;
}

void Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool WaitFor(const std::function<bool()>& done, double seconds)
{
    double start = Now();
    while (!done()) {
        Pump();
        if (Now() - start > seconds)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    }
    return true;
}

// The files whose cells are on screen now.
std::vector<CString> VisibleFiles(CMultipleSelectorBrowser& browser)
{
    std::vector<CString> files;
    CRect client;
    browser.GetClientRect(&client);
    int h = browser.CellHeight(), c = browser.m_nColumns;
    for (int i = 0; i < browser.GetItemCount(); ++i) {
        const BrowserItem* item = browser.GetItem(i);
        int top = (i / c) * h + browser.m_nScroll;
        if (!item->folder && top + h > 0 && top < client.Height())
            files.push_back(item->path);
    }
    return files;
}

bool AllMade(CMultipleSelectorBrowser& browser, const std::vector<CString>& files)
{
    for (const CString& path : files) {
        if (browser.GetSlotState(path).loaded != 1)
            return false;
    }
    return true;
}

struct Times {
    double firstScreen = 0, all = 0;
    int firstScreenFiles = 0;
    SIZE box = {};
};

// One pass of the browser over the folder.
Times RunBrowser(const CString& folder, size_t fileCount)
{
    Times times;
    CWnd host;
    host.CreateEx(0, CWnd::RegisterWndClass(0), L"thumbnails", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1200, 900,
                  nullptr, nullptr);
    auto* browser = new CMultipleSelectorBrowser;
    browser->m_nThumbPixels = kThumbPixels;
    CRect client;
    host.GetClientRect(&client);
    browser->CreateAndShow(client, &host);
    browser->UpdateColumns();
    browser->UpdateLayout();
    times.box = SIZE{browser->m_nThumbWidth, browser->m_nThumbHeight};

    double start = Now();
    browser->NavigateTo(folder);
    browser->UpdateWindow();
    std::vector<CString> first = VisibleFiles(*browser);
    times.firstScreenFiles = (int)first.size();
    WaitFor([&] { return AllMade(*browser, first); }, 600);
    times.firstScreen = Now() - start;

    std::set<CString> made(first.begin(), first.end());
    while (made.size() < fileCount) {
        browser->PageDown();
        browser->UpdateWindow();
        std::vector<CString> shown = VisibleFiles(*browser);
        if (!WaitFor([&] { return AllMade(*browser, shown); }, 600))
            break;
        size_t before = made.size();
        made.insert(shown.begin(), shown.end());
        if (made.size() == before)
            break;  // the end of the grid
    }
    times.all = Now() - start;
    browser->DestroyWindow();
    delete browser;
    host.DestroyWindow();
    return times;
}

// vipsthumbnail over `count` of the plain files into the same box, one thread.
double VipsSeconds(const PictureSet& set, size_t count, SIZE box)
{
    benchsupport::RunFolder out(L"qvo");
    std::string files;
    for (size_t i = 0; i < count && i < set.plainFiles.size(); ++i) {
        CString name;
        name.Format(L"img%04d.jpg", (int)i);
        files += " " + set.plain.Unix(std::string(name.ToUtf8()));
    }
    return benchsupport::TimeShell("VIPS_CONCURRENCY=1 vipsthumbnail -s " + std::to_string(box.cx) + "x" +
                                   std::to_string(box.cy) + " -o " + out.Unix() + "/%s.v" + files);
}

void Thumbnails(benchmark::State& state, bool encrypted)
{
    if (!g_set || !g_set->ok) {
        state.SkipWithError("the pictures could not be made (ImageMagick's convert)");
        return;
    }
    const CString& folder = encrypted ? g_set->encrypted.Path() : g_set->plain.Path();
    const size_t count = g_set->plainFiles.size();
    Times total;
    double vipsFirst = 0, vipsAll = 0;
    for (auto _ : state) {
        Times times = RunBrowser(folder, count);
        total.firstScreen += times.firstScreen;
        total.all += times.all;
        vipsFirst += VipsSeconds(*g_set, (size_t)times.firstScreenFiles, times.box);
        vipsAll += VipsSeconds(*g_set, count, times.box);
        state.counters["files_first_screen"] = times.firstScreenFiles;
    }
    const double n = (double)state.iterations();
    state.counters["first_screen_ms"] = total.firstScreen / n * 1e3;
    state.counters["all_ms"] = total.all / n * 1e3;
    state.counters["x_vips_first_screen"] = vipsFirst / total.firstScreen;
    state.counters["x_vips_all"] = vipsAll / total.all;
}

BENCHMARK_CAPTURE(Thumbnails, plain, false)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Thumbnails, encrypted, true)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    PictureSet set;
    MakeSet(set);
    g_set = &set;
    int result = appbench::RunBenchmarks(argc, argv);
    g_set = nullptr;
    return result;
}
