#include "tests/player/PlayerTestMedia.h"

#include "framework/windows/GdiObjects.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace playertest {

int RunHost(const std::string& command)
{
    return std::system(command.c_str());
}

namespace {

std::string ReadHostOutput(const std::string& command)
{
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return text;
    char chunk[256];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        text.append(chunk, got);
    pclose(pipe);
    return text;
}

const char* const kMakeMedia =
    "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
    "-f lavfi -i sine=frequency=440:duration=2 -pix_fmt yuv420p -shortest clip.mkv"
    " && ffmpeg -v error -y -i clip.mkv -c:v mpeg4 -q:v 3 -c:a libmp3lame clip.avi"
    " && ffmpeg -v error -y -i clip.mkv -c:v libx264 -c:a aac clip.mp4"
    " && ffmpeg -v error -y -i clip.mkv -c:v mpeg2video -q:v 4 -c:a mp2 clip.ts"
    " && ffmpeg -v error -y -f lavfi -i sine=frequency=660:duration=2 sound.mp3"
    " && head -c 1024 clip.mkv > truncated.mkv && : > empty.mkv && echo 'not a video' > text.mkv";

}  // namespace

Media::Media()
{
    char folder[] = "/tmp/qv-player-XXXXXX";
    if (!mkdtemp(folder))
        return;
    m_unixFolder = folder;
    m_ready = RunHost("cd '" + m_unixFolder + "' && " + kMakeMedia) == 0;
}

const Media& Media::Get()
{
    static Media media;
    return media;
}

CString Media::Path(const char* name) const
{
    CString path = L"Z:" + CString::FromUtf8(UnixPath(name).c_str());
    path.Replace(L'/', L'\\');
    return path;
}

std::string Media::AnsiPath(const char* name) const
{
    CString wide = Path(name);
    char ansi[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr);
    return ansi;
}

int64_t Media::ProbedLengthMs(const char* name) const
{
    std::string text = ReadHostOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 '" +
                                      UnixPath(name) + "'");
    if (text.empty())
        return -1;
    return (int64_t)(atof(text.c_str()) * 1000 + 0.5);
}

std::vector<uint8_t> Media::ReferencePicture(const char* name, int index, int width, int height) const
{
    std::string out = UnixPath("reference.raw");
    char filter[128];
    snprintf(filter, sizeof filter, "select=eq(n\\,%d),scale=%d:%d", index, width, height);
    RunHost("ffmpeg -v error -y -i '" + UnixPath(name) + "' -vf '" + filter +
            "' -frames:v 1 -f rawvideo -pix_fmt bgra '" + out + "'");
    std::string bytes = qvtest::ReadFileBytes(Path("reference.raw"));
    if (bytes.size() != (size_t)width * height * 4)
        return {};
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void Media::Remove() const
{
    if (!m_unixFolder.empty())
        RunHost("rm -rf '" + m_unixFolder + "'");
}

CString ProgramFolder()
{
    std::vector<WCHAR> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), (DWORD)buffer.size());
        if (length < buffer.size())
            break;
        buffer.resize(buffer.size() * 2);
    }
    CString path = buffer.data();
    return path.Left(path.ReverseFind(L'\\') + 1);
}

namespace {
template <class Function>
void Resolve(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}  // namespace

const PlayerLibrary& PlayerLibrary::Get()
{
    static PlayerLibrary library = [] {
        PlayerLibrary loaded;
        loaded.module = LoadLibraryW(ProgramFolder() + L"tarvio-6.dll");
        if (!loaded.module)
            return loaded;
        Resolve(loaded.module, "player_open", loaded.open);
        Resolve(loaded.module, "player_close", loaded.close);
        Resolve(loaded.module, "player_play", loaded.play);
        Resolve(loaded.module, "player_pause", loaded.pause);
        Resolve(loaded.module, "player_seek", loaded.seek);
        Resolve(loaded.module, "player_setrect", loaded.setrect);
        Resolve(loaded.module, "player_snapshot", loaded.snapshot);
        Resolve(loaded.module, "player_setparam", loaded.setparam);
        Resolve(loaded.module, "player_getparam", loaded.getparam);
        return loaded;
    }();
    return library;
}

int64_t PlayerLibrary::Length(int player) const
{
    int64_t value = -1;
    getparam(player, 0x1000, &value);
    return value;
}

int64_t PlayerLibrary::Position(int player) const
{
    int64_t value = -1;
    getparam(player, 0x1001, &value);
    return value;
}

int PlayerLibrary::SeekTo(int player, int64_t ms) const
{
    return seek(player, (unsigned int)(uint64_t)ms, (int)(ms >> 32), 0);
}

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    DWORD deadline = GetTickCount() + milliseconds;
    while (!done()) {
        if ((LONG)(GetTickCount() - deadline) > 0)
            return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
    return true;
}

namespace {
const WCHAR kHostClass[] = L"PlayerTestHost";
}

HostWindow::HostWindow(int width, int height)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = CreateSolidBrush(kBackground);
    windowClass.lpszClassName = kHostClass;
    RegisterClassW(&windowClass);
    m_window = CreateWindowExW(WS_EX_TOPMOST, kHostClass, L"Player test", WS_POPUP | WS_VISIBLE, 600, 400, width,
                               height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    UpdateWindow(m_window);
}

HostWindow::~HostWindow()
{
    DestroyWindow(m_window);
}

HWND HostWindow::VideoChild() const
{
    return FindWindowExW(m_window, nullptr, L"TarvioVideoSurface", nullptr);
}

std::vector<uint8_t> CaptureClient(HWND window, const RECT& area)
{
    int width = area.right - area.left, height = area.bottom - area.top;
    // The window's own DC reads what was drawn into the window (its children
    // included), whatever other programs' windows lie over it on the display.
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    void* bits = nullptr;
    CBitmap bitmap;
    bitmap.CreateDibSection32(width, height, &bits);
    HGDIOBJ old = SelectObject(memory, bitmap.GetSafeHandle());
    BitBlt(memory, 0, 0, width, height, source, area.left, area.top, SRCCOPY);
    GdiFlush();
    std::vector<uint8_t> pixels((const uint8_t*)bits, (const uint8_t*)bits + (size_t)width * height * 4);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(window, source);
    return pixels;
}

double MeanDifference(const std::vector<uint8_t>& a, int aWidth, const RECT& area, const std::vector<uint8_t>& b)
{
    int width = area.right - area.left, height = area.bottom - area.top;
    if (b.size() != (size_t)width * height * 4)
        return 1e9;
    double total = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                total += std::abs((int)a[((size_t)(area.top + y) * aWidth + area.left + x) * 4 + c] -
                                  (int)b[((size_t)y * width + x) * 4 + c]);
    return total / ((double)width * height * 3);
}

bool AreaIs(const std::vector<uint8_t>& capture, int width, const RECT& area, COLORREF colour)
{
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const uint8_t* pixel = &capture[((size_t)y * width + x) * 4];
            if (pixel[2] != GetRValue(colour) || pixel[1] != GetGValue(colour) || pixel[0] != GetBValue(colour))
                return false;
        }
    return true;
}

}  // namespace playertest
