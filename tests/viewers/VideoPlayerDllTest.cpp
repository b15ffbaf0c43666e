// The loader of the player library on the real library: loading from the
// program's folder and from a long install folder, a missing library, the
// open, the replacement of one video by another, paths outside the ANSI
// code page, and unloading. Media made by ffmpeg (tests/player).
#include "tests/player/PlayerTestMedia.h"

#include "viewers/VideoPlayerDll.h"

#include <cstdint>

using playertest::HostWindow;
using playertest::Media;
using playertest::PumpUntil;

namespace {

const DWORD kDeadlineMs = 8000;
const RECT kVideoArea = {0, 0, 320, 200};

bool OpensExclusively(const CString& path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

int64_t Position(VideoPlayerDll& player)
{
    int64_t position = 0;
    player.GetParam(VideoPlayerDll::PARAM_POSITION, &position);
    return position;
}

class VideoPlayerDllTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Media::Get().Ready()) << "ffmpeg could not make the test media"; }
    // Every test lets the library go, so the next one loads it afresh.
    void TearDown() override
    {
        m_player.Unload();
        EXPECT_EQ(GetModuleHandleW(VideoPlayerDll::kLibraryName), nullptr);
    }

    VideoPlayerDll m_player;
};

TEST_F(VideoPlayerDllTest, LoadsFromTheProgramsFolderOnce)
{
    EXPECT_FALSE(m_player.IsLoaded());
    EXPECT_TRUE(m_player.IsPaused()) << "a new loader counts as paused";
    ASSERT_EQ(m_player.Load(), 1);
    EXPECT_TRUE(m_player.IsLoaded());
    EXPECT_FALSE(m_player.LoadFailed());
    EXPECT_EQ(m_player.Load(), 1);
    // Loaded once: one unload lets the module go (checked in TearDown).
}

TEST_F(VideoPlayerDllTest, AMissingLibraryLeavesEveryOperationInert)
{
    qvtest::TempFolder empty;
    EXPECT_EQ(m_player.LoadBeside(empty / L"quorvex.exe"), 0);
    EXPECT_TRUE(m_player.LoadFailed());
    EXPECT_FALSE(m_player.IsLoaded());
    HostWindow host(320, 240);
    m_player.OpenVideo(Media::Get().Path("clip.mkv"), host.Handle(), kVideoArea);
    EXPECT_FALSE(m_player.IsPlayerOpen());
    int64_t length = 1;
    m_player.GetParam(VideoPlayerDll::PARAM_LENGTH, &length);
    EXPECT_EQ(length, 1);
    m_player.Play();
    EXPECT_FALSE(m_player.IsPaused()) << "the state follows the call even without a player";
    m_player.Pause();
    EXPECT_TRUE(m_player.IsPaused());
}

// An install folder deeper than 256 characters: the library is still found,
// and the module's path is read whole.
TEST_F(VideoPlayerDllTest, ALongInstallFolderStillFindsTheLibrary)
{
    qvtest::TempFolder root;
    CString folder = root.Path();
    while (folder.GetLength() < 300) {
        folder += L"\\a-long-install-folder-name";
        ASSERT_TRUE(CreateDirectoryW(folder, nullptr));
    }
    CString placeholder = folder + L"\\" + VideoPlayerDll::kLibraryName;
    ASSERT_TRUE(CopyFileW(playertest::ProgramFolder() + VideoPlayerDll::kLibraryName, placeholder, FALSE));
    ASSERT_EQ(m_player.LoadBeside(folder + L"\\quorvex.exe"), 1);
    HMODULE module = GetModuleHandleW(VideoPlayerDll::kLibraryName);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(VideoPlayerDll::ModuleFileName(module), placeholder);
    m_player.Unload();
    DeleteFileW(placeholder);
}

TEST_F(VideoPlayerDllTest, OpenVideoPlaysAndANewVideoClosesTheOldFirst)
{
    HostWindow host(320, 240);
    ASSERT_EQ(m_player.Load(), 1);
    CString first = Media::Get().Path("clip.mkv");
    m_player.OpenVideo(first, host.Handle(), kVideoArea);
    ASSERT_TRUE(m_player.IsPlayerOpen());
    EXPECT_FALSE(m_player.IsPaused());
    EXPECT_TRUE(PumpUntil([&] { return Position(m_player) >= 300; }, kDeadlineMs)) << "it plays";
    HWND child = host.VideoChild();
    ASSERT_NE(child, nullptr);
    RECT placed = {};
    GetWindowRect(child, &placed);
    MapWindowPoints(nullptr, host.Handle(), (POINT*)&placed, 2);
    EXPECT_TRUE(EqualRect(&placed, &kVideoArea)) << "the video is placed in the given rectangle";
    EXPECT_FALSE(OpensExclusively(first));

    m_player.OpenVideo(Media::Get().Path("clip.avi"), host.Handle(), kVideoArea);
    EXPECT_TRUE(m_player.IsPlayerOpen());
    EXPECT_TRUE(OpensExclusively(first)) << "the first video's player was closed";
    m_player.ClosePlayer();
    EXPECT_FALSE(m_player.IsPlayerOpen());
    EXPECT_TRUE(OpensExclusively(Media::Get().Path("clip.avi")));
}

TEST_F(VideoPlayerDllTest, NamesOutsideTheCodePageStillPlay)
{
    CString name = CString(L"\x0432\x0438\x0434\x0435\x043E-\x5F71\x7247.mkv");  // Cyrillic and CJK
    CString path = Media::Get().Path("") + name;
    ASSERT_TRUE(CopyFileW(Media::Get().Path("clip.mkv"), path, FALSE));
    std::string ansi = VideoPlayerDll::AnsiPathForPlayer(path);
    ASSERT_FALSE(ansi.empty());
    EXPECT_NE(GetFileAttributesA(ansi.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the converted path names the file: " << ansi;

    ASSERT_EQ(m_player.Load(), 1);
    m_player.OpenVideo(path, nullptr, kVideoArea);
    EXPECT_TRUE(m_player.IsPlayerOpen());
    m_player.ClosePlayer();
    DeleteFileW(path);
}

TEST_F(VideoPlayerDllTest, UnloadClosesThePlayerAndUnregistersItsWindowClass)
{
    HostWindow host(320, 240);
    ASSERT_EQ(m_player.Load(), 1);
    HINSTANCE library = GetModuleHandleW(VideoPlayerDll::kLibraryName);
    CString path = Media::Get().Path("clip.mkv");
    m_player.OpenVideo(path, host.Handle(), kVideoArea);
    ASSERT_TRUE(m_player.IsPlayerOpen());
    WNDCLASSW surfaceClass = {};
    EXPECT_TRUE(GetClassInfoW(library, L"TarvioVideoSurface", &surfaceClass));
    m_player.Unload();
    EXPECT_FALSE(m_player.IsPlayerOpen());
    EXPECT_FALSE(m_player.IsLoaded());
    EXPECT_TRUE(OpensExclusively(path));
    EXPECT_EQ(host.VideoChild(), nullptr);
    EXPECT_FALSE(GetClassInfoW(library, L"TarvioVideoSurface", &surfaceClass));
}

}  // namespace
