// The open's time budget: it ends the open of a copy that a writer still
// holds (the caller tries again as the copy grows), never the open of a file
// nobody writes, which on a busy machine may take longer than the budget.
// A budget of 0 is spent before the open starts, whatever the machine's load.
#include "tests/player/PlayerTestMedia.h"

#include "player/PlayerSession.h"

#include <string>

using playertest::Media;

namespace {

TEST(PlayerOpenBudget, BindsOnlyACopyStillBeingWritten)
{
    ASSERT_TRUE(Media::Get().Ready()) << "ffmpeg could not make the test media";
    std::string whole = qvtest::ReadFileBytes(Media::Get().Path("clip.mkv"));
    ASSERT_FALSE(whole.empty());
    CString partial = Media::Get().Path("held-partial.mkv");
    HANDLE writer = CreateFileW(partial, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    DWORD count = 0;
    WriteFile(writer, whole.data(), (DWORD)(whole.size() * 4 / 10), &count, nullptr);

    struct Case {
        const char* name;
        CString path;
        DWORD budgetMs;
        bool opens;
    } cases[] = {
        {"a complete file, budget spent", Media::Get().Path("clip.mkv"), 0, true},
        {"a held partial copy, budget spent", partial, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SessionOptions options;
        options.openBudgetMs = c.budgetMs;
        options.useAudioDevice = false;
        PlayerSession session(options);
        EXPECT_EQ(session.Open(c.path, nullptr, nullptr), c.opens);
    }
    CloseHandle(writer);
}

}  // namespace
