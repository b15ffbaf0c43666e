// The open's time budget ends only the open of a copy that a writer still
// holds (the caller tries again as the copy grows), never the open of a file
// nobody writes, which on a busy machine may take longer than the budget.
// A budget of 0 is spent before the open starts, whatever the machine's load.
#include "tests/player/PlayerTestMedia.h"

#include "player/PlayerSession.h"

using playertest::Media;

namespace {

TEST(PlayerOpenBudget, ACompleteFileOpensAfterTheBudgetIsSpent)
{
    ASSERT_TRUE(Media::Get().Ready()) << "ffmpeg could not make the test media";
    for (const char* name : {"clip.mkv", "sound.mp3"}) {
        SCOPED_TRACE(name);
        SessionOptions options;
        options.openBudgetMs = 0;
        options.useAudioDevice = false;
        PlayerSession session(options);
        EXPECT_TRUE(session.Open(Media::Get().Path(name), nullptr, nullptr));
    }
}

}  // namespace
