// The preview window and the animated-GIF window, on real windows: where a
// picture goes (a table worked by hand from the rule "scaled keeping the
// aspect when at least as wide or as tall, or always when fitting; else 1:1,
// centred with integer halves"), the 200 ms pause before a decode, the
// pixels painted for a small picture in the pane and in the viewer, encrypted
// pictures decoded in memory, GIF pacing, and threads that end on their own
// when stopped. Colours are those the fixture generator (ImageMagick) was
// told to make.
#include "tests/viewers/PictureTestSupport.h"

#include "crypt/FileCipher.h"
#include "viewers/PreviewAniGifWnd.h"
#include "viewers/PreviewPainting.h"
#include "viewers/PreviewWnd.h"

#include <atomic>
#include <vector>

using namespace picturetest;

namespace {

struct PlacementCase {
    int width, height, clientWidth, clientHeight;
    bool fit;
    bool scaled;
    int x, y, drawWidth, drawHeight;
};

TEST(PicturePlacement, ScalesOrCentresAsTheRuleSays)
{
    const PlacementCase cases[] = {
        // 10x10 in 200x100 fitted: 200 wide would be 200 high, so 100x100 at x 100-50.
        {10, 10, 200, 100, true, true, 50, 0, 100, 100},
        // The same not fitted: 1:1 at 100-5, 50-5.
        {10, 10, 200, 100, false, false, 95, 45, 10, 10},
        // Exactly the client width is scaled (the test is "at least"): 200x50 at y 50-25.
        {200, 50, 200, 100, false, true, 0, 25, 200, 50},
        // Exactly the client height likewise: 20x100 -> ratio 5, 200x1000 too high, 100/5 = 20 wide.
        {20, 100, 200, 100, false, true, 90, 0, 20, 100},
        // Larger than the client: 4000x1000 into 160x100 gives 160x40 at y 50-20.
        {4000, 1000, 160, 100, false, true, 0, 30, 160, 40},
        // One pixel narrower and lower than the client: 1:1 at 50-49, 50-49.
        {99, 99, 100, 100, false, false, 1, 1, 99, 99},
        // 3x7 fitted into 10x10: 10 wide would be 23 high; 10 high gives truncate(10 / (7/3)) = 4 wide.
        {3, 7, 10, 10, true, true, 3, 0, 4, 10},
        // No picture: nothing placed.
        {0, 10, 200, 100, true, false, 0, 0, 0, 0},
    };
    for (const PlacementCase& c : cases) {
        PicturePlacement place = PlacePicture(c.width, c.height, c.clientWidth, c.clientHeight, c.fit);
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " in " << c.clientWidth << "x"
                                        << c.clientHeight << (c.fit ? " fitted" : ""));
        EXPECT_EQ(place.scaled, c.scaled);
        EXPECT_EQ(place.x, c.x);
        EXPECT_EQ(place.y, c.y);
        EXPECT_EQ(place.width, c.drawWidth);
        EXPECT_EQ(place.height, c.drawHeight);
    }
}

// A preview window that records each decode it starts.
class CountingPreview : public CPreviewWnd {
public:
    void Run() override
    {
        started.push_back(::GetTickCount());
        paths.push_back(m_strDecodePath);
        CPreviewWnd::Run();
    }
    std::vector<DWORD> started;
    std::vector<CString> paths;
};

class PreviewWindowTest : public ::testing::Test {
protected:
    PreviewWindowTest() : m_host(200, 100)
    {
        EXPECT_TRUE(m_preview.Create(m_host.Window(), 11));
        EXPECT_TRUE(m_preview.m_gifWindow.Create(&m_preview, 12));
        m_preview.m_gifWindow.ShowWindow(SW_HIDE);
        ::SetWindowPos(m_preview, nullptr, 0, 0, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE);
        ::SetWindowPos(m_preview.m_gifWindow, nullptr, 0, 0, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE);
        UseTestKey();
    }
    ~PreviewWindowTest() override
    {
        CFileCipher::SetBlockHook(nullptr);
        m_preview.StopThreads();
    }

    // Shows `path` and waits until its decode has ended.
    void ShowAndWait(const CString& path)
    {
        size_t before = m_preview.started.size();
        m_preview.ShowFile(path);
        ASSERT_TRUE(PumpUntil([&] { return m_preview.started.size() > before && !m_preview.IsRunning(); }, kDeadlineMs));
        ::UpdateWindow(m_preview);
    }

    PictureHost m_host;
    CountingPreview m_preview;
};

TEST_F(PreviewWindowTest, FiveQuickRequestsStartOneDecodeOfTheLastPath)
{
    DWORD lastRequest = 0;
    for (int i = 1; i <= 5; ++i) {
        CString name;
        name.Format(L"missing%d.png", i);
        m_preview.ShowFile(Fixture(i == 5 ? CString(L"square10.png") : name));
        lastRequest = ::GetTickCount();
        if (i < 5)
            PumpAllButTimersFor(100);
    }
    ASSERT_TRUE(PumpUntil([&] { return !m_preview.started.empty() && !m_preview.IsRunning(); }, kDeadlineMs));
    // No request timer is left, so no further decode can start.
    EXPECT_FALSE(::KillTimer(m_preview, 1));
    ASSERT_EQ(m_preview.started.size(), 1u);
    EXPECT_EQ(m_preview.paths[0], Fixture(L"square10.png"));
    EXPECT_GE(m_preview.started[0] - lastRequest, 190u) << "the decode waits for a 200 ms pause";
    EXPECT_EQ(m_preview.GetPictureSize(), CSize(10, 10));
}

struct SmallPictureCase {
    int fit;
    POINT inside[2];
    POINT outside[2];
};

TEST_F(PreviewWindowTest, SmallPictureIsEnlargedInThePaneAndDrawnOneToOneInTheViewer)
{
    // 10x10 in 200x100: fitted it covers x 50..149; 1:1 it covers x 95..104, y 45..54.
    const SmallPictureCase cases[] = {
        {1, {{52, 2}, {147, 97}}, {{47, 50}, {152, 50}}},
        {0, {{95, 45}, {104, 54}}, {{94, 50}, {105, 50}}},
    };
    const COLORREF square = RGB(0, 128, 255);
    for (const SmallPictureCase& c : cases) {
        SCOPED_TRACE(c.fit ? "pane" : "viewer");
        m_preview.m_bFitToWindow = c.fit;
        m_preview.ClearImage();
        ShowAndWait(Fixture(L"square10.png"));
        EXPECT_EQ(m_preview.GetPictureSize(), CSize(10, 10));
        for (POINT p : c.inside)
            EXPECT_EQ(PixelAt(m_preview, p), square) << p.x << "," << p.y;
        for (POINT p : c.outside)
            EXPECT_EQ(PixelAt(m_preview, p), kPreviewBackground) << p.x << "," << p.y;
    }
}

TEST_F(PreviewWindowTest, PictureOfTheClientWidthIsScaledInTheViewer)
{
    m_preview.m_bFitToWindow = 0;
    ShowAndWait(Fixture(L"wide.png"));
    // 200x50 at the client width: scaled to 200x50 at y 25, so it spans the whole width.
    EXPECT_EQ(PixelAt(m_preview, {0, 25}), RGB(40, 160, 80));
    EXPECT_EQ(PixelAt(m_preview, {199, 74}), RGB(40, 160, 80));
    EXPECT_EQ(PixelAt(m_preview, {100, 24}), kPreviewBackground);
    EXPECT_EQ(PixelAt(m_preview, {100, 75}), kPreviewBackground);
}

TEST_F(PreviewWindowTest, EncryptedPicturesAreDecodedFromMemory)
{
    qvtest::TempFolder folder;
    // The stored name decides: a capitalised GIF ending plays in the GIF window.
    CString picture = EncryptAs(folder, ReadFixture("square10.png"), L"Square.PNG");
    CString animation = EncryptAs(folder, ReadFixture("blink.gif"), L"Blink.GIF");

    ShowAndWait(picture);
    EXPECT_EQ(m_preview.GetPictureSize(), CSize(10, 10));
    EXPECT_EQ(PixelAt(m_preview, {100, 50}), RGB(0, 128, 255));
    EXPECT_FALSE(m_preview.m_gifWindow.IsWindowVisible());

    ShowAndWait(animation);
    EXPECT_EQ(m_preview.GetPictureSize(), CSize(0, 0)) << "the picture before is freed";
    ASSERT_TRUE(PumpUntil([&] { return m_preview.m_gifWindow.HasFrame(); }, kDeadlineMs));
    EXPECT_TRUE(m_preview.m_gifWindow.IsWindowVisible());
    EXPECT_EQ(m_preview.m_gifWindow.GetFrameSize(), CSize(10, 10));

    // The next picture hides the GIF window again.
    ShowAndWait(picture);
    EXPECT_FALSE(m_preview.m_gifWindow.IsWindowVisible());
    EXPECT_FALSE(m_preview.m_gifWindow.IsRunning());
}

TEST_F(PreviewWindowTest, FileThatCannotBeDecryptedShowsNothing)
{
    qvtest::TempFolder folder;
    CString picture = EncryptAs(folder, ReadFixture("square10.png"), L"square.png");
    ShowAndWait(picture);
    ASSERT_EQ(m_preview.GetPictureSize(), CSize(10, 10));
    // Damaged after its header: the decryption fails and the old picture goes.
    std::string bytes = qvtest::ReadFileBytes(picture);
    bytes.resize(bytes.size() / 2);
    ASSERT_TRUE(qvtest::WriteFileBytes(picture, bytes));
    ShowAndWait(picture);
    EXPECT_EQ(m_preview.GetPictureSize(), CSize(0, 0));
    EXPECT_EQ(PixelAt(m_preview, {100, 50}), kPreviewBackground);
}

// Holds each decrypted block a little, so a decryption of a few hundred
// kilobytes is still running when the test asks it to stop.
std::atomic<int> g_slowBlocks{0};
void SlowBlock(uint64_t)
{
    if (g_slowBlocks)
        ::Sleep(1);
}

TEST_F(PreviewWindowTest, RequestsWaitWhileADecodeRunsAndAStopEndsItWithoutTermination)
{
    qvtest::TempFolder folder;
    CString big = EncryptAs(folder, qvtest::PatternBytes(400000), L"big.jpg");
    g_slowBlocks = 1;
    CFileCipher::SetBlockHook(SlowBlock);
    m_preview.ShowFile(big);
    ASSERT_TRUE(PumpUntil([&] { return m_preview.IsRunning(); }, kDeadlineMs));
    ThreadWatch decode(m_preview);

    EXPECT_TRUE(m_preview.ClearImage()) << "refused while the decode runs";
    m_preview.ShowFile(Fixture(L"square10.png"));
    ASSERT_TRUE(PumpUntil([&] { return m_preview.IsBusy(); }, kDeadlineMs));
    PumpFor(450);  // two periods of the timer: the request keeps waiting
    EXPECT_EQ(m_preview.started.size(), 1u);
    EXPECT_TRUE(m_preview.IsRunning());

    m_preview.StopThreads();
    EXPECT_FALSE(m_preview.IsRunning());
    EXPECT_EQ(decode.ExitCode(), 0u) << "the decode ended by itself, not by termination";
    g_slowBlocks = 0;
    CFileCipher::SetBlockHook(nullptr);
}

class GifWindowTest : public ::testing::Test {
protected:
    GifWindowTest() : m_host(100, 100)
    {
        EXPECT_TRUE(m_gif.Create(m_host.Window(), 12));
        ::SetWindowPos(m_gif, nullptr, 0, 0, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    PictureHost m_host;
    CPreviewAniGifWnd m_gif;
};

// Plays the two-frame GIF and samples the painted centre until a dozen
// changes between red and blue were seen; the mean time between changes, or
// 0 when too few came. Each change is seen up to a few milliseconds late, so
// single gaps jitter; their mean does not. `gaps` gets every gap.
double MeanChangeInterval(CPreviewAniGifWnd& gif, const CString& path, std::vector<DWORD>& gaps)
{
    gif.PlayGif(path);
    if (!PumpUntil([&] { return gif.HasFrame(); }, kDeadlineMs))
        return 0;
    std::vector<DWORD> changes;
    COLORREF last = CLR_INVALID;
    DWORD deadline = ::GetTickCount() + kDeadlineMs;
    while (changes.size() < 12 && ::GetTickCount() < deadline) {
        PumpFor(2);
        COLORREF now = PixelAt(gif, {50, 50});
        if (now != last && (now == RGB(255, 0, 0) || now == RGB(0, 0, 255))) {
            if (last != CLR_INVALID)
                changes.push_back(::GetTickCount());
            last = now;
        }
    }
    if (changes.size() < 12)
        return 0;
    for (size_t i = 1; i < changes.size(); ++i)
        gaps.push_back(changes[i] - changes[i - 1]);
    return (double)(changes.back() - changes.front()) / (double)(changes.size() - 1);
}

// A delay of 0 counts as 50 ms. A busy machine shows every frame late, so
// the upper side is judged beside a GIF of 100 ms played the same way: were
// 0 taken as 100 ms (or more), the two would run alike.
TEST_F(GifWindowTest, FramesOfDelayZeroAdvanceEvery50Milliseconds)
{
    std::vector<DWORD> gaps, gaps100;
    double mean = MeanChangeInterval(m_gif, Fixture(L"blink.gif"), gaps);
    ASSERT_GT(mean, 0) << "the delay-0 GIF did not show a dozen changes";
    double mean100 = MeanChangeInterval(m_gif, Fixture(L"blink10.gif"), gaps100);
    ASSERT_GT(mean100, 0) << "the 100 ms GIF did not show a dozen changes";
    EXPECT_GE(mean, 45.0) << "a delay of 0 is shown for 50 ms, not less";
    EXPECT_LE(mean, 0.8 * mean100) << "a delay of 0 counts as 50 ms, not as long as 100 ms (" << mean << " vs "
                                   << mean100 << ")";
    for (DWORD gap : gaps)
        EXPECT_GE(gap, 20u) << "no frame is skipped through";
}

TEST_F(GifWindowTest, DestroyingThePlayingWindowEndsItsThreadWithoutTermination)
{
    m_gif.PlayGif(Fixture(L"blink.gif"));
    ASSERT_TRUE(PumpUntil([&] { return m_gif.HasFrame(); }, kDeadlineMs));
    ThreadWatch render(m_gif);
    m_gif.DestroyWindow();
    EXPECT_FALSE(m_gif.IsRunning());
    EXPECT_EQ(render.ExitCode(), 0u) << "the render thread ended by itself";
    EXPECT_FALSE(m_gif.HasFrame());
}

TEST_F(GifWindowTest, AFileThatIsNotAGifShowsTheBackground)
{
    m_gif.PlayGif(Fixture(L"square10.png"));
    ASSERT_TRUE(PumpUntil([&] { return !m_gif.IsRunning(); }, kDeadlineMs));
    ::RedrawWindow(m_gif, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_FALSE(m_gif.HasFrame());
    EXPECT_EQ(PixelAt(m_gif, {50, 50}), kPreviewBackground);
}

}  // namespace
