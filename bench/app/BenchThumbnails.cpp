// The thumbnail browser over a folder of camera-size JPEGs (plain, and
// encrypted copies), beside vipsthumbnail on the same files with the same box
// and one thread (the browser's loader is one thread), in one run.
//   first screen: from listing the folder until every visible cell shows its thumbnail;
//   all: until every file has been made, paging down whenever a screen is done.
// Each is reported in ms and as x_vips = vipsthumbnail's time over ours for
// the same number of files (above 1: we are faster).
// Also, on the same pictures:
//   GridScrolling: one paint of the grid per frame while it is dragged over
//   cells whose thumbnails are made (median and worst frame in ms);
//   PreviewPane: from the pane's request timer firing to the picture drawn,
//   for one of the camera-size JPEGs in a pane of the program's default size
//   and in a larger one, beside djpeg decoding the same file at the same DCT
//   scale into a file (x_djpeg = djpeg's time over ours).
// QV_BENCH_THUMB_COUNT (default 500) and QV_BENCH_THUMB_SIZE (long side,
// default 4000) make the set smaller for a quick run.
#include "bench/app/AppBenchSupport.h"

#include "app/MultipleSelectorBrowser.h"
#include "crypt/FileCipher.h"
#include "crypt/KeyState.h"
#include "viewers/PreviewWnd.h"

#include <algorithm>
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
        files += ' ';
        files += set.plain.Unix(std::string(name.ToUtf8()));
    }
    // Built by appending: GCC 12 at -O3 misreads "literal" + string as an overflow.
    std::string command = "VIPS_CONCURRENCY=1 vipsthumbnail -s ";
    command += std::to_string(box.cx);
    command += 'x';
    command += std::to_string(box.cy);
    command += " -o ";
    command += out.Unix();
    command += "/%s.v";
    command += files;
    return benchsupport::TimeShell(command);
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

// A browser in a window of its own over a folder, laid out as the view does.
class BrowserWindow {
public:
    explicit BrowserWindow(const CString& folder)
    {
        m_host.CreateEx(0, CWnd::RegisterWndClass(0), L"thumbnails", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1200,
                        900, nullptr, nullptr);
        browser.m_nThumbPixels = kThumbPixels;
        CRect client;
        m_host.GetClientRect(&client);
        browser.CreateAndShow(client, &m_host);
        browser.UpdateColumns();
        browser.UpdateLayout();
        browser.NavigateTo(folder);
        browser.UpdateWindow();
    }
    ~BrowserWindow()
    {
        browser.DestroyWindow();
        m_host.DestroyWindow();
    }
    // Paints now and waits until every cell on screen has its thumbnail.
    bool WaitForScreen()
    {
        ::RedrawWindow(browser.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        std::vector<CString> shown = VisibleFiles(browser);
        return WaitFor([&] { return AllMade(browser, shown); }, 600);
    }

    CMultipleSelectorBrowser browser;

private:
    CWnd m_host;
};

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The grid dragged by `step` pixels a frame over the offsets [lowest, 0]
// and back, every frame painted at once; the paint times in seconds.
std::vector<double> DragFrames(CMultipleSelectorBrowser& browser, int lowest, int step)
{
    std::vector<double> frames;
    auto paintAt = [&](int offset) {
        browser.m_nScroll = offset;
        double start = Now();
        ::RedrawWindow(browser.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        ::GdiFlush();
        frames.push_back(Now() - start);
        Pump();
    };
    for (int offset = 0; offset > lowest; offset -= step)
        paintAt(offset);
    for (int offset = lowest; offset < 0; offset += step)
        paintAt(offset);
    return frames;
}

// The thumbnails of the first two screens are made first (the drag then
// paints pictures, not placeholders); the drag covers those rows.
void GridScrolling(benchmark::State& state, bool encrypted)
{
    if (!g_set || !g_set->ok) {
        state.SkipWithError("the pictures could not be made (ImageMagick's convert)");
        return;
    }
    BrowserWindow window(encrypted ? g_set->encrypted.Path() : g_set->plain.Path());
    CMultipleSelectorBrowser& browser = window.browser;
    window.WaitForScreen();
    browser.PageDown();
    window.WaitForScreen();
    const int lowest = browser.m_nScroll;
    browser.m_nScroll = 0;
    window.WaitForScreen();
    std::vector<double> frames;
    for (auto _ : state) {
        std::vector<double> round = DragFrames(browser, lowest, 8);
        frames.insert(frames.end(), round.begin(), round.end());
    }
    state.counters["frames"] = (double)frames.size();
    state.counters["frame_median_ms"] = Median(frames) * 1e3;
    state.counters["frame_worst_ms"] = frames.empty() ? 0 : *std::max_element(frames.begin(), frames.end()) * 1e3;
}

BENCHMARK_CAPTURE(GridScrolling, plain, false)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GridScrolling, encrypted, true)->Iterations(3)->Unit(benchmark::kMillisecond);

// The pane's window over a client area of the given size.
class PaneWindow {
public:
    PaneWindow(int width, int height)
    {
        RECT frame = {0, 0, width, height};
        ::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        m_host.CreateEx(0, CWnd::RegisterWndClass(0), L"preview", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr);
        pane.Create(&m_host, 1234567);
        pane.MoveWindow(0, 0, width, height);
        pane.UpdateWindow();
    }
    ~PaneWindow()
    {
        pane.StopThreads();
        pane.DestroyWindow();
        m_host.DestroyWindow();
    }

    CPreviewWnd pane;

private:
    CWnd m_host;
};

// Seconds from the request timer firing (the 200 ms pause of the pane is
// not counted) until the decode has ended with the picture drawn: the decode
// thread paints and waits for that paint before it ends.
double ShowOnce(CPreviewWnd& pane, const CString& path)
{
    pane.ClearImage();
    pane.ShowFile(path);
    double start = Now();
    pane.OnTimer(1);
    bool shown = WaitFor([&] { return !pane.IsRunning() && pane.GetPictureSize().cx > 0; }, 60);
    double seconds = Now() - start;
    return shown ? seconds : 0;
}

// The DCT scale the readers choose for a box: the largest reduction 1, 2, 4
// or 8 that keeps the picture at least the box's size.
int ScaleFor(int width, int height, int boxWidth, int boxHeight)
{
    int scale = 8;
    while (scale > 1 && (width / scale < boxWidth || height / scale < boxHeight))
        scale /= 2;
    return scale;
}

void PreviewPane(benchmark::State& state, bool encrypted, int width, int height)
{
    if (!g_set || !g_set->ok) {
        state.SkipWithError("the pictures could not be made (ImageMagick's convert)");
        return;
    }
    const CString& path = encrypted ? g_set->encryptedFiles[0] : g_set->plainFiles[0];
    PaneWindow window(width, height);
    const std::string djpeg = "djpeg -scale 1/" + std::to_string(ScaleFor(g_set->width, g_set->height, width, height)) +
                              " -outfile /dev/null " + g_set->plain.Unix("img0000.jpg");
    std::vector<double> ours, reference;
    for (auto _ : state) {
        ours.push_back(ShowOnce(window.pane, path));
        reference.push_back(benchsupport::TimeShell(djpeg));
    }
    CSize shown = window.pane.GetPictureSize();
    state.counters["picture_w"] = shown.cx;
    state.counters["shown_ms"] = Median(ours) * 1e3;
    state.counters["x_djpeg"] = 1.0 / benchsupport::MedianRatio(ours, reference);
}

BENCHMARK_CAPTURE(PreviewPane, plain_260x200, false, 260, 200)->Iterations(9)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PreviewPane, encrypted_260x200, true, 260, 200)->Iterations(9)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PreviewPane, plain_800x600, false, 800, 600)->Iterations(9)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PreviewPane, encrypted_800x600, true, 800, 600)->Iterations(9)->Unit(benchmark::kMillisecond);

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
