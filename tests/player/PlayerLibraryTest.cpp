// The player library through its C entry points, on media made by ffmpeg:
// open, lengths, the transport, parameters, files that cannot play, the file
// handle, the child window and its pictures, and a copy that grows while it
// plays. Expected lengths and pictures come from ffprobe and ffmpeg.
#include "tests/player/PlayerTestMedia.h"

#include <cstdint>
#include <cstdlib>

using playertest::HostWindow;
using playertest::Media;
using playertest::PlayerLibrary;
using playertest::PumpUntil;

namespace {

const DWORD kDeadlineMs = 30000; // playback keeps real time, which a loaded machine stretches

class PlayerLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Media::Get().Ready()) << "ffmpeg could not make the test media";
        ASSERT_NE(Library().module, nullptr) << "tarvio-6.dll did not load from the program's folder";
    }
    void TearDown() override
    {
        if (m_player)
            Library().close(m_player);
    }
    static const PlayerLibrary& Library() { return PlayerLibrary::Get(); }
    int Open(const char* name, HWND window = nullptr)
    {
        m_player = Library().open(Media::Get().AnsiPath(name).c_str(), window);
        return m_player;
    }
    // Opens a copy that a writer still holds. Its open may give up when the
    // machine is slow; like the video window, the test tries again while the
    // copy is written.
    int OpenGrowingCopy(const char* name, HWND window = nullptr)
    {
        PumpUntil([&] { return Open(name, window) != 0; }, kDeadlineMs);
        return m_player;
    }
    int64_t Position() const { return Library().Position(m_player); }
    // True when the position stays `ms` for as long as ten pictures last.
    bool PositionHolds(int64_t ms) const
    {
        return !PumpUntil([&] { return Position() != ms; }, 400);
    }

    int m_player = 0;
};

TEST_F(PlayerLibraryTest, EveryEntryPointIsExportedAndSnapshotIsNotOffered)
{
    const PlayerLibrary& library = Library();
    EXPECT_TRUE(library.open && library.close && library.play && library.pause && library.seek &&
                library.setrect && library.snapshot && library.setparam && library.getparam);
    EXPECT_EQ(library.snapshot(), -1);
}

TEST_F(PlayerLibraryTest, EachContainerOpensWithItsLengthAndPictureSize)
{
    for (const char* name : {"clip.mkv", "clip.avi", "clip.mp4"}) {
        SCOPED_TRACE(name);
        int player = Open(name);
        ASSERT_NE(player, 0);
        int64_t length = Library().Length(player);
        EXPECT_NEAR((double)length, (double)Media::Get().ProbedLengthMs(name), 100);
        EXPECT_NEAR((double)length, 2000, 100);
        int width = -1, height = -1, hasVideo = -1, hasAudio = -1;
        Library().getparam(player, 0x100B, &width);
        Library().getparam(player, 0x100C, &height);
        Library().getparam(player, 0x100D, &hasVideo);
        Library().getparam(player, 0x100E, &hasAudio);
        EXPECT_EQ(width, 160);
        EXPECT_EQ(height, 120);
        EXPECT_EQ(hasVideo, 1);
        EXPECT_EQ(hasAudio, 1);
        EXPECT_EQ(Position(), 0) << "a new player waits at the start";
        EXPECT_EQ(Library().close(player), 0);
        m_player = 0;
        EXPECT_EQ(Library().close(player), -1) << "a closed player's handle is stale";
        EXPECT_EQ(Library().play(player), -1);
    }
}

TEST_F(PlayerLibraryTest, PositionAdvancesWhilePlayingAndHoldsWhilePaused)
{
    ASSERT_NE(Open("clip.mkv"), 0);
    EXPECT_EQ(Library().play(m_player), 0);
    EXPECT_TRUE(PumpUntil([&] { return Position() >= 300; }, kDeadlineMs));
    EXPECT_EQ(Library().pause(m_player), 0);
    int64_t paused = Position();
    EXPECT_TRUE(PositionHolds(paused));
    Library().play(m_player);
    EXPECT_TRUE(PumpUntil([&] { return Position() > paused + 100; }, kDeadlineMs));
}

TEST_F(PlayerLibraryTest, SeekLandsOnItsTargetClampedToTheMedia)
{
    ASSERT_NE(Open("clip.mkv"), 0);
    int64_t length = Library().Length(m_player);
    struct Case {
        int64_t target, expected;
    } cases[] = {{1000, 1000}, {-5000, 0}, {1500, 1500}, {60000, length}, {0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        EXPECT_EQ(Library().SeekTo(m_player, c.target), 0);
        EXPECT_NEAR((double)Position(), (double)c.expected, 50);
    }
}

TEST_F(PlayerLibraryTest, TheEndHoldsAtTheLengthAndPlayRestarts)
{
    ASSERT_NE(Open("clip.mkv"), 0);
    int64_t length = Library().Length(m_player);
    Library().SeekTo(m_player, 1500);
    Library().play(m_player);
    ASSERT_TRUE(PumpUntil([&] { return Position() == length; }, kDeadlineMs));
    EXPECT_TRUE(PositionHolds(length));
    Library().play(m_player);
    EXPECT_LT(Position(), 500) << "play at the end starts again";
    EXPECT_TRUE(PumpUntil([&] { return Position() >= 200 && Position() < length; }, kDeadlineMs));
}

TEST_F(PlayerLibraryTest, UnknownParametersAndStaleHandlesLeaveTheValue)
{
    ASSERT_NE(Open("clip.mkv"), 0);
    const int64_t untouched = 0x1122334455667788;
    struct Case {
        const char* name;
        int player, id;
    } cases[] = {
        {"unknown id 0", m_player, 0},
        {"unknown id 0x1002", m_player, 0x1002},
        {"set-only id 0x1005 read", m_player, 0x1005},
        {"unknown id 0x7fff", m_player, 0x7fff},
        {"stale handle", m_player + 256, 0x1000},
        {"no handle", 0, 0x1001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int64_t value = untouched;
        EXPECT_EQ(Library().getparam(c.player, c.id, &value), -1);
        EXPECT_EQ(value, untouched);
    }
    int zero = 0;
    EXPECT_EQ(Library().setparam(m_player, 0x3001, &zero), 0);
    EXPECT_EQ(Library().setparam(m_player, 0x1005, &zero), 0);
    EXPECT_EQ(Library().setparam(m_player, 0x7fff, &zero), -1);
    EXPECT_EQ(Library().setparam(m_player + 256, 0x1006, &zero), -1);
}

TEST_F(PlayerLibraryTest, VolumeStaysWithinItsRange)
{
    ASSERT_NE(Open("clip.mkv"), 0);
    int volume = -1;
    Library().getparam(m_player, 0x1006, &volume);
    EXPECT_EQ(volume, 100);
    struct Case {
        int set, expected;
    } cases[] = {{150, 150}, {250, 200}, {10, 25}, {25, 25}, {200, 200}};
    for (const Case& c : cases) {
        int value = c.set;
        Library().setparam(m_player, 0x1006, &value);
        Library().getparam(m_player, 0x1006, &volume);
        EXPECT_EQ(volume, c.expected) << "set " << c.set;
    }
}

TEST_F(PlayerLibraryTest, FilesThatCannotPlayGiveNoPlayer)
{
    for (const char* name : {"missing.mkv", "empty.mkv", "text.mkv", "truncated.mkv"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Open(name), 0);
    }
    EXPECT_EQ(Library().open(nullptr, nullptr), 0);
}

TEST_F(PlayerLibraryTest, OnlyTheLatestOpenPlayerAnswers)
{
    int first = Open("clip.mkv");
    ASSERT_NE(first, 0);
    int second = Open("clip.avi");
    ASSERT_NE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(Library().play(first), -1);
    EXPECT_EQ(Library().play(second), 0);
}

TEST_F(PlayerLibraryTest, TheFileOpensExclusivelyOnlyAfterClose)
{
    ASSERT_NE(Open("clip.mkv"), 0);
    Library().play(m_player);
    CString path = Media::Get().Path("clip.mkv");
    HANDLE exclusive = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(exclusive, INVALID_HANDLE_VALUE) << "the player holds the file through a Win32 handle";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    if (exclusive != INVALID_HANDLE_VALUE)
        CloseHandle(exclusive);
    EXPECT_EQ(Library().close(m_player), 0);
    m_player = 0;
    exclusive = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    CloseHandle(exclusive);
}

TEST_F(PlayerLibraryTest, SoundAloneKeepsTheChildHidden)
{
    HostWindow host(320, 240);
    ASSERT_NE(Open("sound.mp3", host.Handle()), 0);
    EXPECT_NEAR((double)Library().Length(m_player), (double)Media::Get().ProbedLengthMs("sound.mp3"), 100);
    int hasVideo = -1;
    Library().getparam(m_player, 0x100D, &hasVideo);
    EXPECT_EQ(hasVideo, 0);
    HWND child = host.VideoChild();
    EXPECT_TRUE(!child || !IsWindowVisible(child));
    Library().play(m_player);
    EXPECT_TRUE(PumpUntil([&] { return Position() >= 300; }, kDeadlineMs));
}

// A transport stream states no length: the length estimated at the open of a
// partial copy grows with the copy, and playing goes past it.
TEST_F(PlayerLibraryTest, AnEstimatedLengthGrowsWithTheCopy)
{
    std::string whole = qvtest::ReadFileBytes(Media::Get().Path("clip.ts"));
    ASSERT_FALSE(whole.empty());
    CString path = Media::Get().Path("growing.ts");
    HANDLE writer = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    DWORD count = 0;
    WriteFile(writer, whole.data(), (DWORD)(whole.size() * 3 / 10), &count, nullptr);
    int player = OpenGrowingCopy("growing.ts");
    int64_t early = player ? Library().Length(player) : 0;
    WriteFile(writer, whole.data() + count, (DWORD)(whole.size() - count), &count, nullptr);
    CloseHandle(writer);
    ASSERT_NE(player, 0) << "a partial copy opens";
    EXPECT_LT(early, 1500) << "the open saw part of the copy";
    int64_t probed = Media::Get().ProbedLengthMs("clip.ts");
    EXPECT_TRUE(PumpUntil([&] { return std::abs(Library().Length(player) - probed) <= 100; }, kDeadlineMs))
        << "length " << Library().Length(player) << ", ffprobe " << probed;
    Library().play(player);
    EXPECT_TRUE(PumpUntil([&] { return Position() >= early + 300; }, kDeadlineMs));
}

// A window of 320x240 whose top 320x200 the player gets: the 4:3 picture is
// 267x200 (320 * 3/4 > 200, so 200 * 4/3 rounded), centred at x = 26.
class PlayerWindowTest : public PlayerLibraryTest {
protected:
    static const int kWidth = 320, kHeight = 240, kVideoHeight = 200;
    const RECT kPicture = {26, 0, 293, 200};

    std::vector<uint8_t> Capture() const
    {
        return playertest::CaptureClient(m_host.Handle(), RECT{0, 0, kWidth, kHeight});
    }
    double DifferenceFrom(const std::vector<uint8_t>& reference) const
    {
        return playertest::MeanDifference(Capture(), kWidth, kPicture, reference);
    }
    void Place()
    {
        Library().setrect(m_player, 0, 0, 0, kWidth, kVideoHeight);
        Library().setrect(m_player, 1, 0, 0, kWidth, kVideoHeight);
    }

    HostWindow m_host{kWidth, kHeight};
};

TEST_F(PlayerWindowTest, TheWindowShowsTheVideoLetterboxedAndLetsClicksThrough)
{
    std::vector<uint8_t> first = Media::Get().ReferencePicture("clip.mkv", 0, 267, 200);
    ASSERT_FALSE(first.empty());
    ASSERT_NE(Open("clip.mkv", m_host.Handle()), 0);
    Place();
    Library().SeekTo(m_player, 0);  // the first picture again, at the placed size
    HWND child = m_host.VideoChild();
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(child) && DifferenceFrom(first) < 6; }, kDeadlineMs))
        << "difference from ffmpeg's picture: " << DifferenceFrom(first);
    std::vector<uint8_t> capture = Capture();
    EXPECT_TRUE(playertest::AreaIs(capture, kWidth, RECT{0, 0, 26, 200}, RGB(0, 0, 0))) << "left bar";
    EXPECT_TRUE(playertest::AreaIs(capture, kWidth, RECT{294, 0, 320, 200}, RGB(0, 0, 0))) << "right bar";
    EXPECT_TRUE(playertest::AreaIs(capture, kWidth, RECT{0, 200, 320, 240}, HostWindow::kBackground))
        << "the window's own area below the video";

    POINT centre = {160, 100};
    ClientToScreen(m_host.Handle(), &centre);
    EXPECT_EQ(WindowFromPoint(centre), m_host.Handle()) << "a click on the video reaches the window";

    Library().close(m_player);
    m_player = 0;
    EXPECT_EQ(m_host.VideoChild(), nullptr) << "close destroys the child window";
}

TEST_F(PlayerWindowTest, ACopyThatGrowsWhilePlayingPlaysToItsEnd)
{
    std::string whole = qvtest::ReadFileBytes(Media::Get().Path("clip.mkv"));
    ASSERT_FALSE(whole.empty());
    std::vector<uint8_t> last = Media::Get().ReferencePicture("clip.mkv", 49, 267, 200);
    std::vector<uint8_t> first = Media::Get().ReferencePicture("clip.mkv", 0, 267, 200);
    CString path = Media::Get().Path("growing.mkv");
    HANDLE writer = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    size_t written = whole.size() * 4 / 10;
    DWORD count = 0;
    WriteFile(writer, whole.data(), (DWORD)written, &count, nullptr);

    ASSERT_NE(OpenGrowingCopy("growing.mkv", m_host.Handle()), 0) << "a partial copy opens";
    Place();
    Library().play(m_player);
    // The rest arrives in pieces while it plays; then the writer lets go.
    DWORD nextPiece = GetTickCount();
    bool ended = PumpUntil(
        [&] {
            if (writer != INVALID_HANDLE_VALUE && (LONG)(GetTickCount() - nextPiece) >= 0) {
                size_t piece = whole.size() / 10;
                size_t take = written + piece < whole.size() ? piece : whole.size() - written;
                WriteFile(writer, whole.data() + written, (DWORD)take, &count, nullptr);
                written += take;
                nextPiece += 150;
                if (written == whole.size()) {
                    CloseHandle(writer);
                    writer = INVALID_HANDLE_VALUE;
                }
            }
            return Position() == Library().Length(m_player);
        },
        kDeadlineMs * 2);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(PumpUntil([&] { return DifferenceFrom(last) < 6; }, kDeadlineMs))
        << "the last picture shows: difference " << DifferenceFrom(last) << ", from the first "
        << DifferenceFrom(first);
}

}  // namespace

// The media folder goes when the program ends.
class PlayerMediaCleanup : public ::testing::Environment {
public:
    void TearDown() override { Media::Get().Remove(); }
};
static ::testing::Environment* const g_cleanup = ::testing::AddGlobalTestEnvironment(new PlayerMediaCleanup);
