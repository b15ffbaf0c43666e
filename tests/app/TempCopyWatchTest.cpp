// The watch over copies handed to other programs, driven directly: each
// Check is one look, so what must not have happened yet is asserted right
// after it. "Another program" is played by handles of this test.
#include "tests/QvTest.h"

#include "app/TempCopyWatch.h"

#include <functional>

using namespace qvtest;

namespace {

const WCHAR kJournal[] = L"Software\\Halvercombe\\QuorvexWatchTest";

// A copy with an added extension beside its empty placeholder, as the
// document makes them.
struct CopyFiles {
    explicit CopyFiles(const TempFolder& folder, const std::string& content = "plain words")
        : placeholder(folder.WriteFile(L"ENC1A2B.tmp", "")), copy(folder.WriteFile(L"ENC1A2B.tmp.txt", content))
    {
    }
    CString placeholder, copy;
};

void ReadOnce(const CString& path) { ReadFileBytes(path); }

void WriteAgain(const CString& path) { WriteFileBytes(path, "written again"); }

class Holder {
public:
    explicit Holder(const CString& path)
        : m_handle(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~Holder() { Release(); }
    void Release()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle;
};

class JournalKey {
public:
    JournalKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kJournal); }
    ~JournalKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kJournal); }
};

}  // namespace

TEST(TempCopyWatch, ACopyIsLeftToItsProgramUntilItShowsItWasOpened)
{
    struct Row {
        const char* name;
        std::function<void(const CString& copy)> program;  // what the receiving program did
        bool due;
    };
    const Row rows[] = {
        {"nothing yet: a slow program must still find it", [](const CString&) {}, false},
        {"read it", ReadOnce, true},
        {"wrote it (an editor's save)", WriteAgain, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        CopyFiles files(folder);
        CTempCopyWatch watch;
        watch.HandOver(files.copy);
        row.program(files.copy);
        EXPECT_EQ(row.due, watch.HadTimeToOpen(files.copy));
        watch.Check();
        EXPECT_EQ(!row.due, FileExists(files.copy)) << "wiped once free and opened";
        EXPECT_EQ(!row.due, FileExists(files.placeholder)) << "the placeholder goes with it";
    }
}

TEST(TempCopyWatch, AHeldCopyCountsAsOpenedAndIsWipedOnceLetGo)
{
    TempFolder folder;
    CopyFiles files(folder);
    CTempCopyWatch watch;
    watch.HandOver(files.copy);
    Holder player(files.copy);
    watch.Check();
    EXPECT_TRUE(FileExists(files.copy)) << "held: not free";
    player.Release();
    watch.Check();
    EXPECT_FALSE(FileExists(files.copy));
}

TEST(TempCopyWatch, AfterTheGraceAFreeCopyGoesEvenUnopened)
{
    TempFolder folder;
    CopyFiles files(folder);
    CTempCopyWatch watch;
    watch.SetOpenGrace(0);
    watch.HandOver(files.copy);
    EXPECT_TRUE(watch.HadTimeToOpen(files.copy));
    watch.Check();
    EXPECT_FALSE(FileExists(files.copy));
}

TEST(TempCopyWatch, ACopyThatComesBackIsWipedAgainOnceFreeAndAtTheEnd)
{
    TempFolder folder;
    CopyFiles files(folder);
    CString copy = files.copy;
    {
        CTempCopyWatch watch;
        watch.HandOver(copy);
        ReadOnce(copy);
        watch.Check();
        ASSERT_FALSE(FileExists(copy));

        WriteFileBytes(copy, "saved by the editor");
        Holder editor(copy);
        watch.Check();
        EXPECT_TRUE(FileExists(copy)) << "still held by the program that wrote it";
        editor.Release();
        watch.Check();
        EXPECT_FALSE(FileExists(copy)) << "wiped again once free";
        EXPECT_TRUE(watch.IsWatching(copy));

        WriteFileBytes(copy, "saved once more");
        Holder lastHolder(copy);
        watch.Check();
        lastHolder.Release();
        ASSERT_TRUE(FileExists(copy));
    }
    EXPECT_FALSE(FileExists(copy)) << "the watch's end wipes what is left";
}

TEST(TempCopyWatch, ACopyBeingWrittenOrMonitoredIsLeftAlone)
{
    TempFolder folder;
    CopyFiles files(folder);
    CTempCopyWatch watch;
    watch.SetOpenGrace(0);
    watch.Expect(files.copy);
    watch.Check();
    EXPECT_TRUE(FileExists(files.copy)) << "a job still writes it";
    watch.HandOver(files.copy);
    watch.BeginMonitor(files.copy);
    watch.Check();
    EXPECT_TRUE(FileExists(files.copy)) << "the clean-up dialog watches it";
    watch.EndMonitor(files.copy);
    watch.Check();
    EXPECT_FALSE(FileExists(files.copy));
}

TEST(TempCopyWatch, NoProgramStartedMeansNothingToWaitFor)
{
    TempFolder folder;
    CopyFiles files(folder);
    CTempCopyWatch watch;
    watch.HandOver(files.copy, false);
    watch.Check();
    EXPECT_FALSE(FileExists(files.copy));
}

TEST(TempCopyWatch, TheNextStartWipesWhatAnEndedRunLeftButNotWhatALiveRunHas)
{
    JournalKey journal;
    TempFolder folder;
    CString left = folder.WriteFile(L"ENC77.tmp.doc", "left behind");
    CString leftPlaceholder = folder.WriteFile(L"ENC77.tmp", "");
    {
        CTempCopyWatch ended;
        ended.Begin(kJournal);
        ended.HandOver(left);
        // Held through the run's end, as by a program that never lets go;
        // a crash would leave both as well.
        Holder holder(left), placeholderHolder(leftPlaceholder);
        ended.WipeAll();
        ASSERT_TRUE(FileExists(left));
    }
    ASSERT_TRUE(FileExists(left));
    ASSERT_TRUE(FileExists(leftPlaceholder));

    TempFolder other;
    CString living = other.WriteFile(L"ENC88.tmp.doc", "in use by a running instance");
    CTempCopyWatch alive;
    alive.Begin(kJournal);
    alive.HandOver(living);

    CTempCopyWatch next;
    next.Begin(kJournal);
    EXPECT_FALSE(FileExists(left)) << "the ended run's copy";
    EXPECT_FALSE(FileExists(leftPlaceholder)) << "and its placeholder";
    EXPECT_TRUE(FileExists(living)) << "a running instance's copy is its own business";
}

TEST(TempCopyWatch, PlaceholderIsTheNameBeforeTheAddedExtension)
{
    EXPECT_EQ(CString(L"C:\\t\\ENC1F.tmp"), CTempCopyWatch::PlaceholderOf(L"C:\\t\\ENC1F.tmp.docx"));
    EXPECT_EQ(CString(L"C:\\t\\ENC1F.TMP"), CTempCopyWatch::PlaceholderOf(L"C:\\t\\ENC1F.TMP.txt"));
    EXPECT_EQ(CString(), CTempCopyWatch::PlaceholderOf(L"C:\\t\\ENC1F.tmp")) << "no extension added";
    EXPECT_EQ(CString(), CTempCopyWatch::PlaceholderOf(L"C:\\x.tmp\\file.txt")) << "only the file's own name counts";
}
