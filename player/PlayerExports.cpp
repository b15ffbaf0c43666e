// The library's entry points over the one PlayerSession of the process. No
// C++ exception leaves an entry point.
#include "player/PlayerApi.h"

#include "player/FFmpeg.h"
#include "player/PlayerSession.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace {

const int kSlot = 1;
const unsigned kGenerationMask = 0x7FFFFF;

HINSTANCE g_instance = nullptr;
// Guards the fields below; every entry point takes it for its whole call.
CriticalSection g_apiLock;
std::unique_ptr<PlayerSession> g_session;
int g_handle = 0;
unsigned g_generation = 0;

// A handle names the slot and the open that filled it, so the handle of a
// closed player never matches a later one.
int NextHandle()
{
    g_generation = (g_generation + 1) & kGenerationMask;
    if (g_generation == 0)
        g_generation = 1;
    return (int)(g_generation << 8) | kSlot;
}

PlayerSession* Lookup(int handle)
{
    return g_session && handle != 0 && handle == g_handle ? g_session.get() : nullptr;
}

void CloseOpenPlayer()
{
    if (g_session)
        g_session->Close();
    g_session.reset();
    g_handle = 0;
}

// Runs `body` on the open player under the lock; -1 for a bad handle or a failure.
template <class Body>
int WithPlayer(int handle, Body body)
{
    try {
        SectionLock guard(g_apiLock);
        PlayerSession* session = Lookup(handle);
        return session ? body(*session) : -1;
    } catch (...) {
        return -1;
    }
}

// The path as the system's wide string; empty when it does not convert.
std::vector<WCHAR> WidePath(const char* path)
{
    int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    std::vector<WCHAR> wide(length > 0 ? (size_t)length : 0);
    if (length <= 0 || MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), length) != length)
        wide.clear();
    return wide;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        DisableThreadLibraryCalls(instance);
        av_log_set_level(AV_LOG_QUIET);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Unloaded by FreeLibrary; callers close the player first.
        VideoSurface::UnregisterWindowClass(instance);
    }
    return TRUE;
}

extern "C" int __cdecl player_open(const char* path, HWND window)
{
    try {
        SectionLock guard(g_apiLock);
        CloseOpenPlayer();
        if (!path || !*path)
            return 0;
        std::vector<WCHAR> wide = WidePath(path);
        if (wide.empty())
            return 0;
        auto session = std::make_unique<PlayerSession>();
        if (!session->Open(wide.data(), window, g_instance))
            return 0;
        g_session = std::move(session);
        g_handle = NextHandle();
        return g_handle;
    } catch (...) {
        return 0;
    }
}

extern "C" int __cdecl player_close(int player)
{
    try {
        SectionLock guard(g_apiLock);
        if (!Lookup(player))
            return -1;
        CloseOpenPlayer();
        return 0;
    } catch (...) {
        return -1;
    }
}

extern "C" int __cdecl player_play(int player)
{
    return WithPlayer(player, [](PlayerSession& session) {
        session.Play();
        return 0;
    });
}

extern "C" int __cdecl player_pause(int player)
{
    return WithPlayer(player, [](PlayerSession& session) {
        session.Pause();
        return 0;
    });
}

extern "C" int __cdecl player_seek(int player, unsigned int low, int high, int)
{
    int64_t ms = (int64_t)(((uint64_t)(uint32_t)high << 32) | low);
    return WithPlayer(player, [ms](PlayerSession& session) {
        session.Seek(ms);
        return 0;
    });
}

extern "C" int __cdecl player_setrect(int player, int index, int left, int top, int right, int bottom)
{
    return WithPlayer(player, [=](PlayerSession& session) {
        if (index != 0 && index != 1)
            return -1;
        RECT area = {left, top, right, bottom};
        session.SetRect(area);
        return 0;
    });
}

extern "C" int __cdecl player_snapshot(void)
{
    return -1;
}

extern "C" int __cdecl player_setparam(int player, int id, void* value)
{
    return WithPlayer(player, [=](PlayerSession& session) {
        if (!value)
            return -1;
        switch (id) {
        case PLAYER_PARAM_VOLUME:
            session.SetVolume(*static_cast<int*>(value));
            return 0;
        case PLAYER_PARAM_OPTION_1005:
        case PLAYER_PARAM_OPTION_3001:
            return 0;
        }
        return -1;
    });
}

extern "C" int __cdecl player_getparam(int player, int id, void* value)
{
    return WithPlayer(player, [=](PlayerSession& session) {
        if (!value)
            return -1;
        const StreamFacts& facts = session.Facts();
        int number = 0;
        switch (id) {
        case PLAYER_PARAM_LENGTH:
            *static_cast<int64_t*>(value) = session.LengthMs();
            return 0;
        case PLAYER_PARAM_POSITION:
            *static_cast<int64_t*>(value) = session.PositionMs();
            return 0;
        case PLAYER_PARAM_VOLUME: number = session.Volume(); break;
        case PLAYER_PARAM_VIDEO_WIDTH: number = facts.width; break;
        case PLAYER_PARAM_VIDEO_HEIGHT: number = facts.height; break;
        case PLAYER_PARAM_HAS_VIDEO: number = facts.hasVideo; break;
        case PLAYER_PARAM_HAS_AUDIO: number = facts.hasAudio; break;
        case PLAYER_PARAM_SAMPLE_RATE: number = facts.sampleRate; break;
        case PLAYER_PARAM_CHANNELS: number = facts.channels; break;
        default: return -1;
        }
        *static_cast<int*>(value) = number;
        return 0;
    });
}
