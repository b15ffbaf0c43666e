// The thumbnail browser as a real window: listing (with encrypted pictures
// under their stored names), thumbnails made by its loader, painting,
// keyboard, mouse and type-ahead, and what is left on disk.
#include "tests/app/browser/BrowserTestSupport.h"

#include "app/BrowserPictures.h"
#include "imaging/core/PicWipedCopies.h"

#include <atomic>
#include <set>

using namespace browsertest;

namespace {

const COLORREF FAILED_TILE = RGB(132, 139, 149);
const COLORREF PLACEHOLDER = RGB(218, 230, 243);
const COLORREF PLACEHOLDER_ENCRYPTED = RGB(243, 224, 218);

const char* const kKinds[] = {"jpg", "png", "gif", "bmp"};

// The thumbnail size as the loader's text gives it: s = the larger of
// w / box width and h / box height (float), each side w / s, h / s, at least 1.
SIZE ModelThumbnailSize(int w, int h, int bw, int bh)
{
    float s = std::max((float)w / bw, (float)h / bh);
    return SIZE{std::max(1, (int)((float)w / s)), std::max(1, (int)((float)h / s))};
}

int IndexOf(CMultipleSelectorBrowser& browser, const CString& path)
{
    for (int i = 0; i < browser.GetItemCount(); ++i) {
        if (browser.GetItemPath(i) == path)
            return i;
    }
    return -1;
}

bool AllLoaded(CMultipleSelectorBrowser& browser, const std::vector<CString>& paths)
{
    for (const CString& path : paths) {
        if (browser.GetSlotState(path).loaded != 1)
            return false;
    }
    return true;
}

// Keys reach the browser only while the pointer is over it.
bool PointerOver(CWnd& window)
{
    CRect rect;
    window.GetWindowRect(&rect);
    ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    POINT now;
    return ::GetCursorPos(&now) && rect.PtInRect(now);
}

// Other test programs share the display and its pointer: it is put back
// over the browser right before each key.
void Key(CMultipleSelectorBrowser& browser, UINT key)
{
    EXPECT_TRUE(PointerOver(browser));
    MSG msg = {browser.m_hWnd, WM_KEYDOWN, key, 0, 0, {0, 0}};
    browser.PreTranslateMessage(&msg);
}

std::vector<CString> ItemPaths(CMultipleSelectorBrowser& browser)
{
    std::vector<CString> paths;
    for (int i = 0; i < browser.GetItemCount(); ++i)
        paths.push_back(browser.GetItemPath(i));
    return paths;
}

}  // namespace

TEST(ThumbnailArithmetic, PicturesFitTheBoxKeepingTheirAspect)
{
    struct Case {
        const char* fault;
        int w, h, bw, bh;
        int tw, th;
    } cases[] = {
        {"a wide picture fills the box's width", 4000, 1000, 160, 100, 160, 40},
        {"a small picture is enlarged to the box", 10, 10, 100, 100, 100, 100},
        {"a tall picture fills the box's height", 1000, 4000, 160, 100, 25, 100},
        {"a side never shrinks to 0", 1, 1000, 100, 100, 1, 100},
        {"a picture of the box's aspect fills it", 300, 200, 150, 100, 150, 100},
    };
    for (const Case& c : cases) {
        SIZE size = ThumbnailSize(c.w, c.h, c.bw, c.bh);
        EXPECT_EQ(size.cx, c.tw) << c.fault;
        EXPECT_EQ(size.cy, c.th) << c.fault;
    }
}

TEST(ThumbnailBrowser, FortyPicturesEachGetTheirThumbnailOrFailureTile)
{
    KeyScope key(L"thumbnail password");
    auto references = References();
    qvtest::TempFolder folder;
    ::CreateDirectoryW(folder / L"sub", nullptr);
    struct Expected {
        CString path;
        CString shownName;
        std::string fixture;  // "" for the broken file
    };
    std::vector<Expected> files;
    for (int i = 0; i < 40; ++i) {
        const char* kind = kKinds[i % 4];
        std::string fixture = std::string("solid.") + kind;
        CString name;
        name.Format(L"p%02d.", i);
        name += CString(kind);
        if (i == 0) {
            files.push_back({folder.WriteFile(name, FixtureBytes("broken.jpg")), CString(), ""});
        } else if (i % 5 == 4) {
            files.push_back({EncryptInto(folder.Path(), name, FixtureBytes(fixture.c_str())), name, fixture});
        } else {
            files.push_back({folder.WriteFile(name, FixtureBytes(fixture.c_str())), CString(), fixture});
        }
    }

    BrowserHost host(1000, 720);
    CMultipleSelectorBrowser browser;
    host.Open(browser, folder.Path(), 120);

    // "..", the folder, then the forty files sorted by their shown names.
    ASSERT_EQ(browser.GetItemCount(), 42);
    EXPECT_EQ(browser.GetItemPath(0), folder.Path() + L"\\..");
    EXPECT_EQ(browser.GetItemPath(1), folder / L"sub");
    for (int i = 0; i < 40; ++i) {
        const BrowserItem* item = browser.GetItem(2 + i);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->path, files[i].path) << i;
        EXPECT_EQ(item->shownPath, files[i].shownName.IsEmpty() ? CString() : folder.Path() + L"\\" + files[i].shownName)
            << i;
    }
    int rows = (browser.GetItemCount() - 1) / browser.m_nColumns + 1;
    CRect client;
    browser.GetClientRect(&client);
    ASSERT_LE(rows * browser.CellHeight(), client.Height()) << "every cell is on screen";

    std::vector<CString> paths;
    for (const Expected& file : files)
        paths.push_back(file.path);
    ASSERT_TRUE(WaitUntil([&] { return AllLoaded(browser, paths); }));

    const int bw = browser.m_nThumbWidth, bh = browser.m_nThumbHeight;
    for (const Expected& file : files) {
        auto state = browser.GetSlotState(file.path);
        if (file.fixture.empty()) {
            EXPECT_EQ(state.width, bw);
            EXPECT_EQ(state.height, bh);
            EXPECT_EQ(state.firstPixel, FAILED_TILE);
            continue;
        }
        const Reference& reference = references[file.fixture];
        SIZE size = ModelThumbnailSize(reference.width, reference.height, bw, bh);
        EXPECT_EQ(state.width, size.cx) << file.fixture;
        EXPECT_EQ(state.height, size.cy) << file.fixture;
        EXPECT_TRUE(Near(state.firstPixel, reference.colour, 2)) << file.fixture;
    }

    // The painted grid shows each thumbnail at the centre of its picture area.
    ClientPicture picture(browser.m_hWnd);
    for (size_t i = 1; i < files.size(); ++i) {
        CRect cell = CellRect(browser, 2 + (int)i);
        CRect area = cell;
        area.DeflateRect(4, 4);
        area.bottom -= 10;
        POINT centre = CentreOf(area);
        EXPECT_TRUE(Near(picture.At(centre.x, centre.y), references[files[i].fixture].colour, 2))
            << i << " " << std::hex << picture.At(centre.x, centre.y);
    }
    POINT broken = CentreOf(CellRect(browser, 2));
    EXPECT_EQ(picture.At(broken.x, broken.y - 5), FAILED_TILE);
    browser.DestroyWindow();
    EXPECT_FALSE(browser.LoaderWasTerminated());
}

namespace {

// Holds the loader inside its decryption while the gate is shut; after
// `slowAfterRelease` it sleeps 2 ms a block instead, so an engine that did not
// see its abort flag would take seconds over a large file.
std::atomic<bool> g_gateShut{false};
std::atomic<bool> g_loaderInside{false};
std::atomic<int> g_blocksAfterRelease{0};
DWORD g_testThread = 0;

void GateHook(uint64_t)
{
    if (::GetCurrentThreadId() == g_testThread)
        return;
    g_loaderInside = true;
    DWORD start = ::GetTickCount();
    while (g_gateShut && ::GetTickCount() - start < 15000)
        ::Sleep(2);
    if (!g_gateShut) {
        ++g_blocksAfterRelease;
        ::Sleep(2);
    }
}

class GateScope {
public:
    GateScope()
    {
        g_testThread = ::GetCurrentThreadId();
        g_gateShut = true;
        g_loaderInside = false;
        g_blocksAfterRelease = 0;
        CFileCipher::SetHelperThreadLimit(0);
        CFileCipher::SetBlockHook(&GateHook);
    }
    ~GateScope()
    {
        g_gateShut = false;
        CFileCipher::SetBlockHook(nullptr);
        CFileCipher::SetHelperThreadLimit(-1);
    }
};

}  // namespace

TEST(ThumbnailBrowser, UnfinishedCellsShowThePlaceholderOfTheirKind)
{
    KeyScope key(L"placeholder password");
    qvtest::TempFolder folder;
    std::vector<CString> plain;
    for (const WCHAR* name : {L"a1.jpg", L"a2.jpg", L"a3.jpg"})
        plain.push_back(folder.WriteFile(name, FixtureBytes("solid.jpg")));
    // Sorted last, so its slot is the loader's first.
    CString encrypted = EncryptInto(folder.Path(), L"z9.jpg", FixtureBytes("solid.jpg"));

    GateScope gate;
    BrowserHost host(700, 500);
    CMultipleSelectorBrowser browser;
    host.Open(browser, folder.Path(), 120);
    ASSERT_TRUE(WaitUntil([&] { return g_loaderInside.load(); }));

    // The loader waits inside the encrypted file: what it has not made shows the placeholder.
    ClientPicture waiting(browser.m_hWnd);
    int unfinished = 0;
    for (const CString& path : plain) {
        if (browser.GetSlotState(path).loaded != 0)
            continue;
        ++unfinished;
        CRect cell = CellRect(browser, IndexOf(browser, path));
        EXPECT_EQ(waiting.At(cell.left + 7, cell.top + 7), PLACEHOLDER);
    }
    EXPECT_GT(unfinished, 0);
    CRect encryptedCell = CellRect(browser, IndexOf(browser, encrypted));
    EXPECT_EQ(waiting.At(encryptedCell.left + 7, encryptedCell.top + 7), PLACEHOLDER_ENCRYPTED);

    g_gateShut = false;
    plain.push_back(encrypted);
    ASSERT_TRUE(WaitUntil([&] { return AllLoaded(browser, plain); }));
    ClientPicture done(browser.m_hWnd);
    CRect area = encryptedCell;
    area.DeflateRect(4, 4);
    area.bottom -= 10;
    POINT centre = CentreOf(area);
    EXPECT_TRUE(Near(done.At(centre.x, centre.y), References()["solid.jpg"].colour, 2));
}

TEST(ThumbnailBrowser, DestroyingItStopsADecryptionInProgressWithoutTermination)
{
    KeyScope key(L"stop password");
    qvtest::TempFolder folder;
    // 2 MB: over 16,000 blocks, more than half a minute at the hook's pace.
    std::string big = FixtureBytes("solid.jpg") + std::string(2 << 20, '\x5a');
    EncryptInto(folder.Path(), L"large.jpg", big);

    GateScope gate;
    BrowserHost host(500, 400);
    auto* browser = new CMultipleSelectorBrowser;
    host.Open(*browser, folder.Path(), 120);
    ASSERT_TRUE(WaitUntil([&] { return g_loaderInside.load(); }));
    g_gateShut = false;
    ASSERT_TRUE(WaitUntil([&] { return g_blocksAfterRelease.load() > 0; }));
    browser->DestroyWindow();
    EXPECT_FALSE(browser->IsRunning());
    EXPECT_FALSE(browser->LoaderWasTerminated());
    EXPECT_LT(g_blocksAfterRelease.load(), 1000);
    delete browser;
}

TEST(ThumbnailBrowser, TypeAheadFiltersByTheNameOnDiskAndEscapeBringsAllBack)
{
    qvtest::TempFolder folder;
    for (const WCHAR* name : {L"red1.jpg", L"Red2.png", L"blue.gif", L"notes.txt"})
        folder.WriteFile(name, FixtureBytes("solid.png"));
    ::CreateDirectoryW(folder / L"redsub", nullptr);
    ::CreateDirectoryW(folder / L"other", nullptr);

    BrowserHost host(700, 500);
    CMultipleSelectorBrowser browser;
    host.Open(browser, folder.Path(), 120);
    std::vector<CString> all = {folder.Path() + L"\\..", folder / L"other", folder / L"redsub", folder / L"blue.gif",
                                folder / L"red1.jpg", folder / L"Red2.png"};
    EXPECT_EQ(ItemPaths(browser), all);
    ASSERT_TRUE(PointerOver(browser));

    Key(browser, 'R');
    Key(browser, 'E');
    EXPECT_EQ(browser.m_strSearch, L"re");
    std::vector<CString> reds = {folder / L"redsub", folder / L"red1.jpg", folder / L"Red2.png"};
    EXPECT_EQ(ItemPaths(browser), reds);

    Key(browser, VK_ESCAPE);
    EXPECT_EQ(ItemPaths(browser), all);

    // Eleven characters at most.
    for (UINT letter : {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'})
        Key(browser, letter);
    EXPECT_EQ(browser.m_strSearch, L"abcdefghijk");
    Key(browser, VK_BACK);
    EXPECT_EQ(browser.m_strSearch, L"abcdefghij");

    // A press on a cell selects the text: the next letter replaces it.
    Click(browser, CentreOf(CellRect(browser, 0)), WM_LBUTTONDOWN, WM_LBUTTONUP);
    Key(browser, 'B');
    EXPECT_EQ(browser.m_strSearch, L"b");
    EXPECT_EQ(ItemPaths(browser), (std::vector<CString>{folder / L"redsub", folder / L"blue.gif"}));

    // Keys do nothing while the pointer is elsewhere.
    CRect window;
    browser.GetWindowRect(&window);
    ::SetCursorPos(window.right + 50, window.bottom + 50);
    MSG escape = {browser.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    browser.PreTranslateMessage(&escape);
    EXPECT_EQ(browser.m_strSearch, L"b");
}

TEST(ThumbnailBrowser, ArrowsHomeAndEndScrollByRowsAndSpringBack)
{
    qvtest::TempFolder folder;
    for (int i = 0; i < 30; ++i) {
        CString name;
        name.Format(L"f%02d.png", i);
        folder.WriteFile(name, FixtureBytes("solid.png"));
    }
    BrowserHost host(420, 320);
    CMultipleSelectorBrowser browser;
    host.Open(browser, folder.Path(), 120);
    ASSERT_TRUE(PointerOver(browser));
    CRect client;
    browser.GetClientRect(&client);
    // Hand-computed from the cell geometry: row step (int)(cell width x 0.75).
    const int columns = std::clamp((client.Width() - 10) / 120, 1, 8);
    const int cellWidth = (client.Width() - 10) / columns;
    const int row = (int)(cellWidth * 0.75);
    const int rows = (31 - 1) / columns + 1;
    const int lowest = client.Height() - rows * row;
    ASSERT_LT(lowest, 0);

    Key(browser, VK_DOWN);
    EXPECT_EQ(browser.m_nScroll, -row);
    Key(browser, VK_RIGHT);
    EXPECT_EQ(browser.m_nScroll, std::max(-2 * row, lowest));
    Key(browser, VK_UP);
    Key(browser, VK_LEFT);
    Key(browser, VK_UP);
    EXPECT_EQ(browser.m_nScroll, 0);

    Key(browser, VK_END);
    EXPECT_EQ(browser.m_nScroll, lowest - row);
    EXPECT_TRUE(WaitUntil([&] { return browser.m_nScroll == lowest; }));
    Key(browser, VK_HOME);
    EXPECT_EQ(browser.m_nScroll, row);
    EXPECT_TRUE(WaitUntil([&] { return browser.m_nScroll == 0; }));

    // A wheel notch is one cell; the offset stays within the rows.
    browser.OnMouseWheel(0, -WHEEL_DELTA, POINT{});
    EXPECT_EQ(browser.m_nScroll, -row);
    browser.OnMouseWheel(0, 3 * WHEEL_DELTA, POINT{});
    EXPECT_EQ(browser.m_nScroll, 0);
}

TEST(ThumbnailBrowser, PressesDoubleClicksAndEnterReachTheParent)
{
    qvtest::TempFolder folder;
    ::CreateDirectoryW(folder / L"inner", nullptr);
    CString picture = folder.WriteFile(L"shot.png", FixtureBytes("solid.png"));
    BrowserHost host(700, 500);
    CMultipleSelectorBrowser browser;
    host.Open(browser, folder.Path(), 120);
    ASSERT_TRUE(PointerOver(browser));

    // A file: press and release select it, Enter and a double-click open it.
    POINT onPicture = CentreOf(CellRect(browser, 2));
    Click(browser, onPicture, WM_LBUTTONDOWN, WM_LBUTTONUP);
    ASSERT_EQ(host.heard.size(), 1u);
    EXPECT_EQ(host.heard[0].message, UWM_LIST_SELCHANGED);
    EXPECT_EQ(host.heard[0].currentPath, picture);
    Key(browser, VK_RETURN);
    ASSERT_EQ(host.heard.size(), 2u);
    EXPECT_EQ(host.heard[1].message, UWM_OPEN_SECURE_VIEWER);
    EXPECT_EQ(host.heard[1].wParam, (WPARAM)VIEWER_IMAGE);
    Click(browser, onPicture, WM_LBUTTONDBLCLK, 0);
    ASSERT_EQ(host.heard.size(), 3u);
    EXPECT_EQ(host.heard[2].message, UWM_OPEN_SECURE_VIEWER);

    // A press on an empty cell leaves no current path.
    Click(browser, CentreOf(CellRect(browser, 3)), WM_LBUTTONDOWN, WM_LBUTTONUP);
    ASSERT_EQ(host.heard.size(), 4u);
    EXPECT_EQ(host.heard[3].currentPath, CString());

    // A folder: the double-click goes there and tells the parent.
    POINT onFolder = CentreOf(CellRect(browser, 1));
    Click(browser, onFolder, WM_LBUTTONDOWN, WM_LBUTTONUP);
    Click(browser, onFolder, WM_LBUTTONDBLCLK, 0);
    ASSERT_EQ(host.heard.size(), 6u);
    EXPECT_EQ(host.heard[5].message, UWM_BROWSER_OPEN_FOLDER);
    EXPECT_EQ(host.heard[5].folder, folder / L"inner\\");
    EXPECT_EQ(ItemPaths(browser), std::vector<CString>{folder / L"inner\\.."});
}

TEST(ThumbnailBrowser, ParentOfADriveRootIsTheTopLevel)
{
    BrowserHost host(700, 500);
    CMultipleSelectorBrowser browser;
    host.Open(browser, L"C:\\", 120);
    EXPECT_FALSE(browser.IsTopLevel());
    ASSERT_EQ(browser.GetItemPath(0), L"C:\\..");
    POINT onParent = CentreOf(CellRect(browser, 0));
    Click(browser, onParent, WM_LBUTTONDOWN, WM_LBUTTONUP);
    Click(browser, onParent, WM_LBUTTONDBLCLK, 0);
    EXPECT_TRUE(browser.IsTopLevel());
    std::vector<CString> items = ItemPaths(browser);
    EXPECT_NE(std::find(items.begin(), items.end(), CString(L"C:\\")), items.end());
    EXPECT_EQ(std::find(items.begin(), items.end(), CString(L"C:\\..")), items.end());
    ASSERT_FALSE(host.heard.empty());
    EXPECT_EQ(host.heard.back().message, UWM_BROWSER_OPEN_FOLDER);

    // The folder directly below a root goes up to the root itself.
    browser.NavigateTo(L"C:\\windows\\..");
    EXPECT_EQ(browser.m_strFolder, L"C:\\");
    EXPECT_FALSE(browser.IsTopLevel());
}

TEST(ThumbnailBrowser, AWindowTooNarrowForACellHasNothingToHit)
{
    qvtest::TempFolder folder;
    folder.WriteFile(L"one.png", FixtureBytes("solid.png"));
    BrowserHost host(300, 300);
    CMultipleSelectorBrowser browser;
    host.Open(browser, folder.Path(), 120);
    for (int width : {0, 5, 10, 11}) {
        browser.MoveWindow(0, 0, width, 200);
        EXPECT_EQ(browser.HitTest(width / 2, 20), -1) << width;
        Click(browser, POINT{width / 2, 20}, WM_LBUTTONDOWN, WM_LBUTTONUP);
        EXPECT_EQ(browser.m_strCurrentPath, CString()) << width;
        EXPECT_EQ(browser.m_nCurrent, -1) << width;
        // A narrow window paints white only.
        ClientPicture picture(browser.m_hWnd);
        if (picture.Width() > 0) {
            EXPECT_EQ(picture.At(0, picture.Height() / 2), RGB(255, 255, 255)) << width;
        }
    }
}

namespace {

// Files written since `since` under `root` that contain any of the needles.
void FindNeedles(const CString& root, const FILETIME& since, const std::vector<std::string>& needles,
                 std::vector<CString>& found, int depth = 0)
{
    if (depth > 24)
        return;
    WIN32_FIND_DATAW entry;
    HANDLE search = ::FindFirstFileW(root + L"\\*", &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        CString name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        CString path = root + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            FindNeedles(path, since, needles, found, depth + 1);
            continue;
        }
        if (::CompareFileTime(&entry.ftLastWriteTime, &since) < 0 || entry.nFileSizeHigh != 0)
            continue;
        std::string bytes = qvtest::ReadFileBytes(path);
        for (const std::string& needle : needles) {
            if (bytes.find(needle) != std::string::npos) {
                found.push_back(path);
                break;
            }
        }
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
}

CString DosPathOfUnix(const char* variable, const char* suffix)
{
    const char* value = getenv(variable);
    if (!value || !*value)
        return CString();
    std::string path = std::string("Z:") + value + suffix;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return CString(path.c_str());
}

}  // namespace

// Scrolling repaints every thumbnail on every frame: the picture becomes a
// bitmap once, later paints only blit it (no copy made and wiped per paint),
// and leaving the folder wipes that bitmap's copy of the decrypted pixels.
TEST(ThumbnailBrowser, AThumbnailIsMadeIntoABitmapOnceAndItsCopyWipedWhenTheFolderIsLeft)
{
    KeyScope key(L"ready bitmap password");
    qvtest::TempFolder folder;
    CString encrypted = EncryptInto(folder.Path(), L"private.jpg", FixtureBytes("solid.jpg"));
    qvtest::TempFolder other;
    BrowserHost host(600, 400);
    CMultipleSelectorBrowser browser;
    host.Open(browser, folder.Path(), 120);
    ASSERT_TRUE(WaitUntil([&] { return browser.GetSlotState(encrypted).loaded == 1; }));
    auto state = browser.GetSlotState(encrypted);
    const uint64_t bitmapBytes = (uint64_t)((state.width * 3 + 3) / 4 * 4) * state.height;
    ::RedrawWindow(browser.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const HBITMAP bitmap = browser.GetSlotState(encrypted).bitmap;
    ASSERT_NE(bitmap, nullptr) << "the first paint made no bitmap";
    for (int i = 0; i < 3; ++i)
        ::RedrawWindow(browser.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(browser.GetSlotState(encrypted).bitmap, bitmap) << "later paints made the bitmap again";
    ClientPicture picture(browser.m_hWnd);
    CRect area = CellRect(browser, 1);
    area.DeflateRect(4, 4);
    area.bottom -= 10;
    POINT centre = CentreOf(area);
    EXPECT_TRUE(Near(picture.At(centre.x, centre.y), References()["solid.jpg"].colour, 2));
    const uint64_t wipedBefore = PicWipedCopyBytes();
    browser.NavigateTo(other.Path());
    EXPECT_EQ(::GetObjectType(bitmap), 0u) << "the bitmap outlived its picture";
    EXPECT_GE(PicWipedCopyBytes() - wipedBefore, bitmapBytes) << "the bitmap went unwiped";
    browser.DestroyWindow();
}

TEST(ThumbnailBrowser, AnEncryptedPictureShownAsAThumbnailLeavesNoPlainBytesOnDisk)
{
    KeyScope key(L"privacy password");
    FILETIME started;
    ::GetSystemTimeAsFileTime(&started);
    ULARGE_INTEGER since = {{started.dwLowDateTime, started.dwHighDateTime}};
    since.QuadPart -= 20000000;  // 2 s: file times may be coarse
    started = FILETIME{since.LowPart, since.HighPart};

    // The fixture's comment becomes a marker of this run.
    std::string plain = FixtureBytes("marked.jpg");
    const std::string placeholder = "MARKERMARKERMARKERMARKERMARKER00";
    size_t at = plain.find(placeholder);
    ASSERT_NE(at, std::string::npos);
    char marker[33];
    snprintf(marker, sizeof marker, "qv%08lx%08lx%014lx", (unsigned long)::GetTickCount(),
             (unsigned long)::GetCurrentProcessId(), (unsigned long)started.dwLowDateTime);
    plain.replace(at, placeholder.size(), marker, 32);

    qvtest::TempFolder folder;
    CString encrypted = EncryptInto(folder.Path(), L"private.jpg", plain);
    {
        BrowserHost host(600, 400);
        CMultipleSelectorBrowser browser;
        host.Open(browser, folder.Path(), 120);
        ASSERT_TRUE(WaitUntil([&] { return browser.GetSlotState(encrypted).loaded == 1; }));
        EXPECT_TRUE(Near(browser.GetSlotState(encrypted).firstPixel, References()["marked.jpg"].colour, 2));
        // The preview overlay reads it too.
        Click(browser, CentreOf(CellRect(browser, 1)), WM_RBUTTONDOWN, 0);
        EXPECT_TRUE(browser.m_Preview.IsValid());
        Click(browser, CentreOf(CellRect(browser, 1)), WM_RBUTTONDOWN, 0);
        EXPECT_FALSE(browser.m_Preview.IsValid());
    }

    WCHAR temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    CString tempFolder = temp;
    while (!tempFolder.IsEmpty() && tempFolder[tempFolder.GetLength() - 1] == L'\\')
        tempFolder = tempFolder.Left(tempFolder.GetLength() - 1);
    CString prefix = DosPathOfUnix("WINEPREFIX", "");
    if (prefix.IsEmpty())
        prefix = DosPathOfUnix("HOME", "/.wine");
    std::vector<std::string> needles = {std::string(marker, 32), plain.substr(at - 4, 40)};
    std::vector<CString> found;
    for (const CString& root : {prefix, tempFolder, CString(L"Z:\\tmp")})
        FindNeedles(root, started, needles, found);
    for (const CString& path : found)
        ADD_FAILURE() << "plain bytes in " << path.ToUtf8();
}

namespace {

// A white 32-bit memory picture to draw the helpers into.
class MemoryPicture {
public:
    MemoryPicture(int width, int height) : m_width(width)
    {
        m_dc.CreateCompatibleDC(nullptr);
        m_bitmap.CreateDibSection32(width, height, &m_bits);
        m_old = m_dc.SelectObject(&m_bitmap);
        RECT all = {0, 0, width, height};
        m_dc.FillSolidRect(all, RGB(255, 255, 255));
    }
    ~MemoryPicture() { m_dc.SelectObject(m_old); }
    HDC Dc() const { return m_dc.m_hDC; }
    COLORREF At(int x, int y) const
    {
        ::GdiFlush();
        uint32_t pixel = ((const uint32_t*)m_bits)[(size_t)y * m_width + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }

private:
    int m_width;
    CDC m_dc;
    CBitmap m_bitmap;
    void* m_bits = nullptr;
    HGDIOBJ m_old = nullptr;
};

}  // namespace

TEST(BrowserPainting, GradientRunsFromTheFirstColourTowardsTheSecond)
{
    MemoryPicture picture(20, 20);
    RECT rect = {2, 5, 12, 15};
    CMultipleSelectorBrowser::FillGradient(picture.Dc(), &rect, RGB(255, 255, 255), RGB(248, 219, 221), FALSE);
    // Row y: t = 1 - (y - top) / 10; each channel (int)(c1 t + c2 (1 - t)), worked by hand.
    EXPECT_EQ(picture.At(2, 5), RGB(255, 255, 255));
    EXPECT_EQ(picture.At(11, 10), RGB(251, 237, 238));  // t = 0.5: 251.5, 237, 238
    EXPECT_EQ(picture.At(6, 14), RGB(248, 222, 224));   // t = 0.1: 248.7, 222.6, 224.4
    EXPECT_EQ(picture.At(6, 15), RGB(255, 255, 255)) << "nothing below the rectangle";
    EXPECT_EQ(picture.At(12, 10), RGB(255, 255, 255)) << "nothing right of it";
}

TEST(BrowserPainting, DiscsAreRoundAndFilled)
{
    MemoryPicture picture(40, 40);
    const COLORREF blue = RGB(49, 152, 255);
    CMultipleSelectorBrowser::FillDisc(picture.Dc(), 16, 20, 20, blue);
    // The disc spans 12..27 in both directions around the centre (20, 20).
    EXPECT_EQ(picture.At(20, 20), blue);
    for (POINT p : {POINT{12, 20}, POINT{27, 20}, POINT{20, 12}, POINT{20, 27}})
        EXPECT_EQ(picture.At(p.x, p.y), blue) << p.x << "," << p.y;
    for (POINT p : {POINT{12, 12}, POINT{27, 12}, POINT{12, 27}, POINT{27, 27}, POINT{11, 20}, POINT{28, 20}})
        EXPECT_EQ(picture.At(p.x, p.y), RGB(255, 255, 255)) << p.x << "," << p.y;
}

// Drawn as runs of rows, a disc must still be one solid convex shape: every
// row and column a single run, the same under both mirrors and transposition,
// widest in the middle; a run drawn one pixel short or long breaks one of these.
TEST(BrowserPainting, DiscsOfEverySizeAreSymmetricSolidRuns)
{
    const COLORREF blue = RGB(49, 152, 255);
    for (int n = 1; n <= 24; ++n) {
        MemoryPicture picture(40, 40);
        CMultipleSelectorBrowser::FillDisc(picture.Dc(), n, 20, 20, blue);
        const int x0 = 20 - n / 2, y0 = 20 - n / 2;
        auto in = [&](int x, int y) { return picture.At(x0 + x, y0 + y) == blue; };
        int painted = 0;
        for (int y = -1; y <= n; ++y) {
            for (int x = -1; x <= n; ++x) {
                bool inside = x >= 0 && y >= 0 && x < n && y < n;
                if (!inside) {
                    EXPECT_FALSE(in(x, y)) << "n=" << n << " outside at " << x << "," << y;
                    continue;
                }
                painted += in(x, y);
                EXPECT_EQ(in(x, y), in(n - 1 - x, y)) << "n=" << n << " left-right at " << x << "," << y;
                EXPECT_EQ(in(x, y), in(x, n - 1 - y)) << "n=" << n << " up-down at " << x << "," << y;
                EXPECT_EQ(in(x, y), in(y, x)) << "n=" << n << " transposed at " << x << "," << y;
            }
        }
        EXPECT_GT(painted, 0) << "n=" << n;
        int previousWidth = 0;
        for (int y = 0; y < (n + 1) / 2; ++y) {
            int runs = 0, width = 0;
            for (int x = 0; x < n; ++x) {
                width += in(x, y);
                runs += in(x, y) && (x == 0 || !in(x - 1, y));
            }
            EXPECT_LE(runs, 1) << "n=" << n << " row " << y;
            EXPECT_GE(width, previousWidth) << "n=" << n << " row " << y << " narrower than the one above";
            previousWidth = width;
        }
        EXPECT_EQ(previousWidth, n) << "n=" << n << " the middle row spans the disc";
    }
}
