// The secure video window. With the player double: the open attempts and
// their texts, the transport bar (seek, volume, pause), the time texts, and
// the removal of a temporary copy (after the player let go, by the chosen
// wipe, bounded when the copy stays held, never of a plain file). With the
// real player: a plain file and a temporary copy play, and the copy is gone
// after the window closes.
#include "tests/player/PlayerTestMedia.h"
#include "tests/viewers/PlayerDouble.h"

#include "viewers/VideoPlayerDll.h"
#include "viewers/VideoView.h"
#include "viewers/VideoViewOwner.h"

#include <cstdint>
#include <vector>

using playertest::PumpUntil;

namespace {

const DWORD kDeadlineMs = 8000;

// The view's side: what the window asked of its owner.
class OwnerSpy : public CVideoViewOwner {
public:
    void OnVideoViewClosing(CVideoView*) override { ++closing; }
    void DeferCopyRemoval(const CString& path) override { deferred.push_back(path); }
    void OnVideoViewDestroyed(CVideoView* window) override
    {
        if (window == this->window)
            this->window = nullptr;
    }
    CVideoView* window = nullptr;
    int closing = 0;
    std::vector<CString> deferred;
};

void Click(HWND window, POINT point)
{
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
}

void CALLBACK PostQuitOnce(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    PostQuitMessage(7);
}

CPoint Centre(const RECT& rect) { return CPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2); }

// A file that stays open (shared for reading and writing, as a player or the
// decryption holds it) for the object's life.
class HeldFile {
public:
    explicit HeldFile(const CString& path)
        : m_file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr))
    {
    }
    ~HeldFile() { Release(); }
    void Release()
    {
        if (m_file != INVALID_HANDLE_VALUE)
            CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }
    bool Held() const { return m_file != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_file;
};

class VideoViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_player.LoadFile(playertest::ProgramFolder() + L"player_double.dll"), 1);
        auto stateOf = reinterpret_cast<PlayerDoubleStateFunction>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"player_double.dll"), "player_double_state")));
        ASSERT_NE(stateOf, nullptr);
        m_state = stateOf();
        *m_state = PlayerDoubleState();
        MakeWindow();
    }
    void TearDown() override
    {
        if (m_owner.window)
            m_owner.window->CloseForExit();
        EXPECT_EQ(m_owner.window, nullptr) << "the window closes and tells its owner";
        m_player.Unload();
    }
    void MakeWindow()
    {
        m_window = new CVideoView();
        ASSERT_TRUE(m_window->CreateHidden());
        EXPECT_FALSE(m_window->IsWindowVisible()) << "made hidden";
        m_window->m_pOwner = &m_owner;
        m_window->m_pPlayer = &m_player;
        m_owner.window = m_window;
        MoveWindow(m_window->m_hWnd, 0, 0, 480, 360, TRUE);
    }
    // A plain file, played at once.
    void PlayPlain()
    {
        m_plain = m_folder.WriteFile(L"plain.mkv", qvtest::PatternBytes(4096));
        m_window->StartPlayback(m_plain, 1, 0, 0);
        ASSERT_TRUE(PumpUntil([&] { return m_state->openHandle != 0; }, kDeadlineMs));
        UpdateWindow(m_window->m_hWnd);  // the bar's rectangles come with a paint
    }
    // A temporary copy, complete, played at once.
    CString PlayCopy(const WCHAR* name, size_t size = 4096)
    {
        CString copy = m_folder.WriteFile(name, qvtest::PatternBytes(size, 7));
        m_window->StartPlayback(copy, 1, 1, 0);
        EXPECT_TRUE(PumpUntil([&] { return m_state->openHandle != 0; }, kDeadlineMs));
        return copy;
    }
    void CloseWindow()
    {
        m_window->PostMessage(WM_CLOSE);
        ASSERT_TRUE(PumpUntil([&] { return m_owner.window == nullptr; }, CVideoView::kRemovalWaitMs + kDeadlineMs));
    }
    int Volume() const { return m_state->volume; }

    VideoPlayerDll m_player;
    PlayerDoubleState* m_state = nullptr;
    OwnerSpy m_owner;
    CVideoView* m_window = nullptr;
    qvtest::TempFolder m_folder;
    CString m_plain;
};

TEST(VideoViewTime, ShowsHoursOnlyWhenThereAreAny)
{
    struct Case {
        int64_t milliseconds;
        const WCHAR* text;
    } cases[] = {
        {0, L"00:00"},
        {999, L"00:00"},
        {59000, L"00:59"},
        {59999, L"00:59"},
        {60000, L"01:00"},
        {3599000, L"59:59"},
        {3600000, L"01:00:00"},
        {3725000, L"01:02:05"},
        {36000000 + 61000, L"10:01:01"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CVideoView::FormatPlayTime(c.milliseconds), CString(c.text)) << c.milliseconds;
}

TEST_F(VideoViewTest, AGrowingCopyIsTriedThreeTimesThenWhenItsDecryptionEnds)
{
    CString copy = m_folder.WriteFile(L"ENC1.tmp", "");
    m_state->opensToFail = 3;
    m_window->StartPlayback(copy, 0, 1, 0);
    EXPECT_EQ(m_window->GetStatus(), CString(L"Pre-Buffering..."));
    EXPECT_TRUE(m_window->IsDecrypting());
    ASSERT_TRUE(PumpUntil([&] { return m_state->openCalls == 3; }, kDeadlineMs));
    EXPECT_EQ(m_window->GetStatus(), CString(L"Pre-Buffering 3..."));
    EXPECT_TRUE(m_window->IsWindowVisible()) << "an attempt shows the window";
    EXPECT_EQ(m_window->GetPath(), copy);

    m_window->OpenAfterDecryption();
    EXPECT_EQ(m_state->openCalls, 4) << "the finished copy is tried once more";
    EXPECT_NE(m_state->openHandle, 0);
    EXPECT_FALSE(m_window->IsDecrypting());
    EXPECT_EQ(m_state->lastWindow, m_window->m_hWnd);
    CRect client;
    m_window->GetClientRect(&client);
    EXPECT_EQ(m_state->rects[0].right, client.right);
    EXPECT_EQ(m_state->rects[0].bottom, client.bottom - CVideoView::kBarHeight) << "the bar stays below the picture";
    EXPECT_EQ(m_state->paused, 0) << "it plays";
}

TEST_F(VideoViewTest, AWmvCopyWaitsForTheEndOfItsDecryption)
{
    CString copy = m_folder.WriteFile(L"ENC2.tmp", "");
    m_window->StartPlayback(copy, 0, 1, 1);
    EXPECT_TRUE(m_window->IsWindowVisible());
    EXPECT_EQ(m_window->GetStatus(), CString(L"No Quick Start with WMV file type. Waiting for Full Decryption..."));
    EXPECT_EQ(m_state->openCalls, 0);
    m_window->OpenAfterDecryption();
    EXPECT_EQ(m_state->openCalls, 1);
    EXPECT_NE(m_state->openHandle, 0);
}

TEST_F(VideoViewTest, TheVolumeStepsByAQuarterBetween25And200)
{
    PlayPlain();
    CPoint up = Centre(m_window->GetVolumeUpRect());
    CPoint down = Centre(m_window->GetVolumeDownRect());
    ASSERT_FALSE(m_window->GetVolumeUpRect().IsRectEmpty());
    struct Step {
        int before;
        bool raise;
        int after;
    } steps[] = {
        {100, true, 125}, {175, true, 200}, {190, true, 200}, {200, true, 200},
        {100, false, 75}, {50, false, 25},  {30, false, 25},  {25, false, 25},
    };
    for (const Step& step : steps) {
        m_state->volume = step.before;
        Click(m_window->m_hWnd, step.raise ? up : down);
        EXPECT_EQ(Volume(), step.after) << step.before << (step.raise ? " raised" : " lowered");
    }
}

TEST_F(VideoViewTest, TheTrackSeeksToTheClickedFractionOfTheLength)
{
    PlayPlain();
    m_state->length = 120000;
    CRect track = m_window->GetTrackRect();
    ASSERT_GT(track.Width(), 0);
    struct Case {
        int x;
        int64_t expected;
    } cases[] = {
        {track.left, 0},
        {track.left + track.Width() / 4, 120000LL * (track.Width() / 4) / track.Width()},
        {track.left + track.Width() / 2, 120000LL * (track.Width() / 2) / track.Width()},
    };
    int y = Centre(track).y;
    for (const Case& c : cases) {
        Click(m_window->m_hWnd, CPoint(c.x, y));
        EXPECT_NEAR((double)m_state->lastSeek, (double)c.expected, 1.0) << c.x;
    }
    // A drag past the left end is passed on as computed: a negative position.
    SendMessageW(m_window->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(track.left + 10, y));
    SendMessageW(m_window->m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(track.left - track.Width() / 2, y));
    SendMessageW(m_window->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(track.left - track.Width() / 2, y));
    EXPECT_NEAR((double)m_state->lastSeek, -60000.0, 600.0);
    EXPECT_FALSE(m_window->IsPaused()) << "seeking does not pause";
}

TEST_F(VideoViewTest, AClickOnThePictureTogglesPause)
{
    PlayPlain();
    CPoint picture(100, 100);
    Click(m_window->m_hWnd, picture);
    EXPECT_TRUE(m_window->IsPaused());
    EXPECT_EQ(m_state->paused, 1);
    m_state->rects[0] = {};
    Click(m_window->m_hWnd, picture);
    EXPECT_FALSE(m_window->IsPaused());
    EXPECT_EQ(m_state->paused, 0);
    CRect client;
    m_window->GetClientRect(&client);
    EXPECT_EQ(m_state->rects[0].bottom, client.bottom - CVideoView::kBarHeight) << "the picture is placed again";
}

TEST_F(VideoViewTest, WhileDecryptingAClickOnTheBarPausesInsteadOfSeeking)
{
    CString copy = m_folder.WriteFile(L"ENC3.tmp", qvtest::PatternBytes(4096));
    m_window->StartPlayback(copy, 0, 1, 0);
    ASSERT_TRUE(PumpUntil([&] { return m_state->openHandle != 0; }, kDeadlineMs));
    UpdateWindow(m_window->m_hWnd);
    ASSERT_TRUE(m_window->IsDecrypting());
    Click(m_window->m_hWnd, Centre(m_window->GetTrackRect()));
    EXPECT_EQ(m_state->seekCalls, 0);
    EXPECT_TRUE(m_window->IsPaused());
}

TEST_F(VideoViewTest, ClosingClosesThePlayerBeforeTheCopyIsWiped)
{
    CString copy = PlayCopy(L"ENC4.tmp");
    CloseWindow();
    EXPECT_EQ(m_state->closeCalls, 1);
    EXPECT_EQ(m_state->fileExistedAtClose, 1) << "the player let go of the copy before it was wiped";
    EXPECT_FALSE(qvtest::FileExists(copy));
    EXPECT_EQ(m_owner.closing, 1) << "the owner may stop the decryption that feeds the window";
    EXPECT_TRUE(m_owner.deferred.empty());
}

// "VideoCache" 0 overwrites the whole copy, 1 only its head (64 KiB). A
// second name of the same file keeps what the wipe wrote.
TEST_F(VideoViewTest, TheCacheSettingChoosesTheSecureOrTheQuickWipe)
{
    const size_t size = 256 * 1024;
    const size_t head = 64 * 1024;
    for (int quick = 0; quick <= 1; ++quick) {
        m_window->m_nQuickClean = quick;
        CString name;
        name.Format(L"ENCW%d.tmp", quick);
        CString copy = PlayCopy(name, size);
        CString secondName = m_folder / (name + L".link");
        ASSERT_TRUE(CreateHardLinkW(secondName, copy, nullptr));
        std::string before = qvtest::PatternBytes(size, 7);
        CString next = m_folder.WriteFile(L"next.mkv", "plain");
        m_window->StartPlayback(next, 1, 0, 0);  // replaces the copy, which goes
        EXPECT_FALSE(qvtest::FileExists(copy));
        std::string after = qvtest::ReadFileBytes(secondName);
        ASSERT_EQ(after.size(), size);
        EXPECT_TRUE(after.substr(0, head) != before.substr(0, head)) << "the head is overwritten either way";
        // The middle, away from the head and the last byte.
        std::string middleAfter = after.substr(size / 2, 4096);
        std::string middleBefore = before.substr(size / 2, 4096);
        if (quick)
            EXPECT_TRUE(middleAfter == middleBefore) << "the quick clean leaves the rest";
        else
            EXPECT_TRUE(middleAfter != middleBefore) << "the secure wipe overwrites everything";
        DeleteFileW(secondName);
        ASSERT_TRUE(PumpUntil([&] { return m_state->openHandle != 0; }, kDeadlineMs));
    }
}

TEST_F(VideoViewTest, APlainFileIsNeverRemoved)
{
    PlayPlain();
    CString copy = m_folder.WriteFile(L"ENC5.tmp", "copy");
    m_window->StartPlayback(copy, 1, 1, 0);
    EXPECT_TRUE(qvtest::FileExists(m_plain)) << "replaced by a copy";
    m_window->StartPlayback(m_plain, 1, 0, 0);
    EXPECT_FALSE(qvtest::FileExists(copy)) << "the copy before it goes";
    CloseWindow();
    EXPECT_TRUE(qvtest::FileExists(m_plain)) << "closed";
    EXPECT_EQ(qvtest::ReadFileBytes(m_plain), qvtest::PatternBytes(4096));
}

TEST_F(VideoViewTest, ACopyHeldElsewhereGoesToTheOwnerAfterTheBound)
{
    CString copy = PlayCopy(L"ENC6.tmp");
    HeldFile held(copy);
    ASSERT_TRUE(held.Held());
    ULONGLONG start = GetTickCount64();
    CloseWindow();
    ULONGLONG took = GetTickCount64() - start;
    EXPECT_GE(took, CVideoView::kRemovalWaitMs - 500);
    EXPECT_LT(took, CVideoView::kRemovalWaitMs + 3000) << "the wait is bounded";
    ASSERT_EQ(m_owner.deferred.size(), 1u);
    EXPECT_EQ(m_owner.deferred[0], copy);
    EXPECT_TRUE(qvtest::FileExists(copy)) << "held: left to the owner";
}

TEST_F(VideoViewTest, AQuitDuringTheWaitEndsItAndReachesTheOuterLoop)
{
    CString copy = PlayCopy(L"ENC7.tmp");
    HeldFile held(copy);
    SetTimer(nullptr, 0, 300, PostQuitOnce);
    ULONGLONG start = GetTickCount64();
    m_window->StartPlayback(m_folder.WriteFile(L"after.mkv", "x"), 1, 0, 0);
    EXPECT_LT(GetTickCount64() - start, (ULONGLONG)CVideoView::kRemovalWaitMs / 2) << "the quit ended the wait";
    MSG msg;
    bool quitSeen = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitSeen = msg.wParam == 7;
            break;
        }
    }
    EXPECT_TRUE(quitSeen) << "the quit is given back";
    ASSERT_EQ(m_owner.deferred.size(), 1u);
    EXPECT_EQ(m_owner.deferred[0], copy);
}

TEST_F(VideoViewTest, ACloseDuringTheWaitClosesOnceTheWaitEnds)
{
    CString copy = PlayCopy(L"ENC8.tmp");
    HeldFile held(copy);
    HWND window = m_window->m_hWnd;
    m_window->PostMessage(WM_CLOSE);
    ULONGLONG start = GetTickCount64();
    m_window->StartPlayback(m_folder.WriteFile(L"after.mkv", "x"), 1, 0, 0);
    EXPECT_TRUE(IsWindow(window)) << "not destroyed under the running call";
    ASSERT_TRUE(PumpUntil([&] { return m_owner.window == nullptr; }, kDeadlineMs)) << "closed afterwards";
    EXPECT_LT(GetTickCount64() - start, (ULONGLONG)CVideoView::kRemovalWaitMs / 2)
        << "neither the wait nor the close waits for the copy the owner took";
    EXPECT_FALSE(IsWindow(window));
    ASSERT_GE(m_owner.deferred.size(), 1u);
    EXPECT_EQ(m_owner.deferred[0], copy);
}

// The real player library.
class VideoViewPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(playertest::Media::Get().Ready());
        ASSERT_EQ(m_player.Load(), 1);
        m_window = new CVideoView();
        ASSERT_TRUE(m_window->CreateHidden());
        m_window->m_pOwner = &m_owner;
        m_window->m_pPlayer = &m_player;
        m_owner.window = m_window;
        MoveWindow(m_window->m_hWnd, 0, 0, 400, 300, TRUE);
    }
    void TearDown() override
    {
        if (m_owner.window)
            m_owner.window->CloseForExit();
        m_player.Unload();
    }
    int64_t Param(int id, int64_t initial)
    {
        m_player.GetParam(id, &initial);
        return initial;
    }
    void CloseWindow()
    {
        m_window->PostMessage(WM_CLOSE);
        ASSERT_TRUE(PumpUntil([&] { return m_owner.window == nullptr; }, kDeadlineMs));
    }

    VideoPlayerDll m_player;
    OwnerSpy m_owner;
    CVideoView* m_window = nullptr;
};

TEST_F(VideoViewPlayerTest, APlainVideoPlaysAndStaysAfterClosing)
{
    CString path = playertest::Media::Get().Path("clip.mkv");
    m_window->StartPlayback(path, 1, 0, 0);
    ASSERT_TRUE(PumpUntil([] { return VideoPlayerDll::IsPlayerOpen(); }, kDeadlineMs));
    EXPECT_NEAR((double)Param(VideoPlayerDll::PARAM_LENGTH, 1), 2000.0, 100.0);
    EXPECT_TRUE(PumpUntil([&] { return Param(VideoPlayerDll::PARAM_POSITION, 0) >= 300; }, kDeadlineMs)) << "plays";
    CloseWindow();
    EXPECT_FALSE(VideoPlayerDll::IsPlayerOpen());
    EXPECT_TRUE(qvtest::FileExists(path));
    EXPECT_TRUE(CVideoView::CanOpenExclusively(path));
}

TEST_F(VideoViewPlayerTest, ACopyWithoutExtensionPlaysAndIsGoneAfterClosing)
{
    qvtest::TempFolder folder;
    CString copy = folder / L"ENC9.tmp";
    ASSERT_TRUE(CopyFileW(playertest::Media::Get().Path("clip.mp4"), copy, FALSE));
    m_window->StartPlayback(copy, 0, 1, 0);
    ASSERT_TRUE(PumpUntil([] { return VideoPlayerDll::IsPlayerOpen(); }, kDeadlineMs));
    m_window->OpenAfterDecryption();
    EXPECT_TRUE(PumpUntil([&] { return Param(VideoPlayerDll::PARAM_POSITION, 0) >= 300; }, kDeadlineMs)) << "plays";
    CloseWindow();
    EXPECT_FALSE(qvtest::FileExists(copy));
    EXPECT_TRUE(m_owner.deferred.empty());
}

}  // namespace

// The media folder goes when the program ends.
class VideoMediaCleanup : public ::testing::Environment {
public:
    void TearDown() override { playertest::Media::Get().Remove(); }
};
static ::testing::Environment* const g_videoMediaCleanup = ::testing::AddGlobalTestEnvironment(new VideoMediaCleanup);
