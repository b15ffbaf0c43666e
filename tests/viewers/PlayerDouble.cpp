// The player double's entry points (see PlayerDouble.h).
#include "tests/viewers/PlayerDouble.h"

#include <cstring>

namespace {

PlayerDoubleState g_state;
HANDLE g_file = INVALID_HANDLE_VALUE;
WCHAR g_widePath[1024];
int g_nextHandle = 0x51;

bool IsOpen(int player) { return player != 0 && player == g_state.openHandle; }

}  // namespace

extern "C" {

PlayerDoubleState* __cdecl player_double_state() { return &g_state; }

int __cdecl player_open(const char* path, HWND window)
{
    ++g_state.openCalls;
    std::strncpy(g_state.lastPath, path ? path : "", sizeof(g_state.lastPath) - 1);
    g_state.lastWindow = window;
    if (g_state.opensToFail > 0) {
        --g_state.opensToFail;
        return 0;
    }
    if (!path)
        return 0;
    MultiByteToWideChar(CP_ACP, 0, path, -1, g_widePath, 1024);
    g_file = CreateFileW(g_widePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
    if (g_file == INVALID_HANDLE_VALUE)
        return 0;
    g_state.openHandle = g_nextHandle++;
    g_state.position = 0;
    g_state.paused = 1;
    return g_state.openHandle;
}

int __cdecl player_close(int player)
{
    if (!IsOpen(player))
        return -1;
    ++g_state.closeCalls;
    g_state.fileExistedAtClose = GetFileAttributesW(g_widePath) != INVALID_FILE_ATTRIBUTES;
    CloseHandle(g_file);
    g_file = INVALID_HANDLE_VALUE;
    g_state.openHandle = 0;
    return 0;
}

int __cdecl player_play(int player)
{
    if (!IsOpen(player))
        return -1;
    ++g_state.playCalls;
    g_state.paused = 0;
    return 0;
}

int __cdecl player_pause(int player)
{
    if (!IsOpen(player))
        return -1;
    ++g_state.pauseCalls;
    g_state.paused = 1;
    return 0;
}

int __cdecl player_seek(int player, unsigned int low, int high, int)
{
    if (!IsOpen(player))
        return -1;
    ++g_state.seekCalls;
    g_state.lastSeek = (int64_t)(((uint64_t)(uint32_t)high << 32) | low);
    return 0;
}

int __cdecl player_setrect(int player, int index, int left, int top, int right, int bottom)
{
    if (!IsOpen(player) || index < 0 || index > 1)
        return -1;
    g_state.rects[index] = {left, top, right, bottom};
    return 0;
}

int __cdecl player_snapshot() { return -1; }

int __cdecl player_setparam(int player, int id, void* value)
{
    if (!IsOpen(player))
        return -1;
    if (id == 0x1006) {
        g_state.volume = *(int*)value;
        return 0;
    }
    return id == 0x1005 || id == 0x3001 ? 0 : -1;
}

int __cdecl player_getparam(int player, int id, void* value)
{
    if (!IsOpen(player))
        return -1;
    switch (id) {
    case 0x1000: *(int64_t*)value = g_state.length; return 0;
    case 0x1001: *(int64_t*)value = g_state.position; return 0;
    case 0x1006: *(int*)value = g_state.volume; return 0;
    default: return -1;
    }
}

}  // extern "C"
