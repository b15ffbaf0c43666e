#include "viewers/VideoPlayerDll.h"

#include <vector>

const WCHAR VideoPlayerDll::kLibraryName[] = L"tarvio-6.dll";
int VideoPlayerDll::s_player = 0;

namespace {

template <class Function>
void Resolve(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// `text` in the ANSI code page; false when it does not convert back unchanged.
bool ToAnsi(const CString& text, std::string& ansi)
{
    ansi.clear();
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return false;
    std::vector<char> buffer((size_t)size + 1, 0);
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, buffer.data(), size, nullptr, nullptr) != size)
        return false;
    ansi = buffer.data();
    int wideSize = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    if (wideSize <= 0)
        return false;
    std::vector<WCHAR> back((size_t)wideSize + 1, 0);
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, back.data(), wideSize);
    return lstrcmpW(back.data(), text) == 0;
}

CString ShortPath(const CString& path)
{
    DWORD size = GetShortPathNameW(path, nullptr, 0);
    if (size == 0)
        return CString();
    std::vector<WCHAR> buffer((size_t)size + 1, 0);
    DWORD length = GetShortPathNameW(path, buffer.data(), size + 1);
    return length > 0 && length <= size ? CString(buffer.data()) : CString();
}

}  // namespace

VideoPlayerDll::~VideoPlayerDll()
{
    Unload();
}

CString VideoPlayerDll::ModuleFileName(HMODULE module)
{
    std::vector<WCHAR> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(module, buffer.data(), (DWORD)buffer.size());
        if (length == 0)
            return CString();
        if (length < buffer.size())
            return CString(buffer.data());
        buffer.resize(buffer.size() * 2);  // cut short: the path is longer
    }
}

bool VideoPlayerDll::FileExists(const CString& path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

int VideoPlayerDll::Load()
{
    if (m_module)
        return 1;
    return LoadBeside(ModuleFileName(nullptr));
}

int VideoPlayerDll::LoadBeside(const CString& programPath)
{
    if (m_module)
        return 1;
    int slash = programPath.ReverseFind(L'\\');
    return LoadFile((slash >= 0 ? programPath.Left(slash) : programPath) + L"\\" + kLibraryName);
}

int VideoPlayerDll::LoadFile(const CString& libraryPath)
{
    if (m_module)
        return 1;
    if (!FileExists(libraryPath)) {
        m_loadFailed = 1;
        return 0;
    }
    m_module = LoadLibraryW(libraryPath);
    if (!m_module) {
        m_loadFailed = 1;
        return 0;
    }
    ResolveEntryPoints();
    return 1;
}

void VideoPlayerDll::ResolveEntryPoints()
{
    Resolve(m_module, "player_open", m_open);
    Resolve(m_module, "player_close", m_close);
    Resolve(m_module, "player_play", m_play);
    Resolve(m_module, "player_pause", m_pause);
    Resolve(m_module, "player_seek", m_seek);
    Resolve(m_module, "player_setrect", m_setRect);
    Resolve(m_module, "player_snapshot", m_snapshot);
    Resolve(m_module, "player_setparam", m_setParam);
    Resolve(m_module, "player_getparam", m_getParam);
}

void VideoPlayerDll::Unload()
{
    ClosePlayer();
    if (!m_module)
        return;
    FreeLibrary(m_module);
    m_module = nullptr;
    m_open = nullptr;
    m_close = m_play = m_pause = nullptr;
    m_seek = nullptr;
    m_setRect = nullptr;
    m_snapshot = nullptr;
    m_setParam = m_getParam = nullptr;
}

int VideoPlayerDll::OpenPlayer(const char* ansiPath, HWND window)
{
    if (!m_open)
        return s_player;
    if (s_player) {
        if (m_close)
            m_close(s_player);
        s_player = 0;
    }
    s_player = m_open(ansiPath, window);
    return s_player;
}

void VideoPlayerDll::ClosePlayer()
{
    if (m_close && s_player)
        m_close(s_player);
    s_player = 0;
}

void VideoPlayerDll::Play()
{
    if (m_play && s_player)
        m_play(s_player);
    m_paused = 0;
}

void VideoPlayerDll::Pause()
{
    if (m_pause && s_player)
        m_pause(s_player);
    m_paused = 1;
}

void VideoPlayerDll::Seek(uint32_t low, uint32_t high, uint32_t reserved)
{
    if (m_seek && s_player)
        m_seek(s_player, low, high, reserved);
}

void VideoPlayerDll::SetRect(int index, int left, int top, int right, int bottom)
{
    if (m_setRect && s_player)
        m_setRect(s_player, index, left, top, right, bottom);
}

void VideoPlayerDll::SetParam(int id, void* value)
{
    if (m_setParam && s_player)
        m_setParam(s_player, id, value);
}

void VideoPlayerDll::GetParam(int id, void* value)
{
    if (m_getParam && s_player)
        m_getParam(s_player, id, value);
}

void VideoPlayerDll::SetVideoRect(const RECT& area)
{
    SetRect(0, area.left, area.top, area.right, area.bottom);
    SetRect(1, area.left, area.top, area.right, area.bottom);
}

std::string VideoPlayerDll::AnsiPathForPlayer(const CString& path)
{
    std::string ansi;
    if (ToAnsi(path, ansi))
        return ansi;
    CString shortPath = ShortPath(path);
    std::string shortAnsi;
    if (!shortPath.IsEmpty() && (ToAnsi(shortPath, shortAnsi) || !shortAnsi.empty()))
        return shortAnsi;
    return ansi;
}

void VideoPlayerDll::OpenVideo(const CString& path, HWND window, const RECT& area)
{
    if (s_player)
        ClosePlayer();
    std::string ansiPath = AnsiPathForPlayer(path);
    if (!OpenPlayer(ansiPath.c_str(), window))
        return;
    int zero = 0;
    SetParam(PARAM_OPTION_3001, &zero);
    SetParam(PARAM_OPTION_1005, &zero);
    int info = 0;
    for (int id = PARAM_INFO_FIRST; id <= PARAM_INFO_LAST; ++id)
        GetParam(id, &info);
    SetVideoRect(area);
    Play();
}
