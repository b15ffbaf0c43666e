// Opening files from the list: encrypted files through a plain temporary
// copy handed to the application registered for their type (receiving
// programs of the test's own that copy what they read to a mark file) and
// wiped once free, again whenever it comes back, and at the latest at exit
// or the next start; plain files where they lie, never wiped.
#include "tests/app/view/ViewProgramTest.h"

#include "tests/player/PlayerTestMedia.h"

#include "crypt/FileCipher.h"
#include "res/resource.h"
#include "viewers/VideoView.h"

#include <atomic>
#include <set>

namespace {

const WCHAR kPassword[] = L"open password";

class OpenFilesTest : public viewtest::ViewProgramTest {
protected:
    void SetUp() override
    {
        viewtest::ViewProgramTest::SetUp();
        StartWithPassword(kPassword);
    }
    // What the temporary folder holds now.
    std::set<CString> TempFiles() const { return qvtest::FileNamesMatching(temp / L"*"); }
    // The list's "Open File (Temp Decypt)" for a path.
    void OpenThroughList(const CString& path)
    {
        List().m_strCommandPath = path;
        view->SendMessage(UWM_LIST_COMMAND, ID_OPEN_TEMP_DECRYPTED, 0);
    }
    CString Mark() { return folder / L"received.txt"; }
    // The command line that starts one of the test's receiving programs,
    // which lie beside this test program.
    static CString Receiver(const WCHAR* name)
    {
        WCHAR self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        CString path = self;
        return L"\"" + path.Left(path.ReverseFind(L'\\') + 1) + name + L".exe.so\"";
    }
    // The command of the test's file type copies what it is given to the
    // mark, which appears complete (written aside, then renamed).
    CString CopyCommand() { return Receiver(L"qvtest_late_opener") + L" 0 \"%1\" \"" + Mark() + L"\""; }
};

}  // namespace

// A read the watch does not see (one that falls before it takes its first
// look at the copy) leaves the wipe to the open grace, so waits for a wipe
// reach beyond it.
static const DWORD kBeyondOpenGrace = (DWORD)CTempCopyWatch::OPEN_GRACE + 30000;

TEST_F(OpenFilesTest, AnEncryptedFileOpensFromACopyThatIsWipedOnceFree)
{
    viewtest::TestFileType type(L".qvtestdoc", CopyCommand());
    CString encrypted = viewtest::EncryptInto(folder, L"letter.qvtestdoc", "the plain letter");
    ASSERT_EQ(S_OK, List().DisplayFolder(folder.Path().GetString()));
    int item = Find(L"letter.qvtestdoc*");
    ASSERT_GE(item, 0);
    // A double-click, as the user opens it.
    List().SetItemState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    CRect label;
    List().GetItemRect(item, &label, LVIR_LABEL);
    List().SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(label.CenterPoint().x, label.CenterPoint().y));

    ASSERT_TRUE(qvtest::PumpUntil([&] { return qvtest::FileExists(Mark()); }, 30000)) << "the program got the copy";
    EXPECT_EQ("the plain letter", qvtest::ReadFileBytes(Mark()));
    CString copy = view->m_strTempToWipe;
    EXPECT_EQ(0, copy.Find(temp.Path())) << copy.ToUtf8();
    EXPECT_TRUE(qvtest::PumpUntil([&] { return TempFiles().empty(); }, 8000))
        << "the copy and its placeholder are gone once the program let go";
    EXPECT_TRUE(qvtest::FileExists(encrypted));
}

TEST_F(OpenFilesTest, APlainFileOpensWhereItLiesAndIsNeverWiped)
{
    viewtest::TestFileType type(L".qvtestdoc", CopyCommand());
    CString plain = folder.WriteFile(L"plain.qvtestdoc", "my own words");
    OpenThroughList(plain);
    ASSERT_TRUE(qvtest::PumpUntil([&] { return qvtest::FileExists(Mark()); }, 30000));
    EXPECT_EQ("my own words", qvtest::ReadFileBytes(Mark()));
    EXPECT_TRUE(view->m_strTempToWipe.IsEmpty());
    EXPECT_FALSE(view->m_tempCopies.IsWatching(plain)) << "a plain file is not a copy of ours";
    // The program's end wipes whatever it watches.
    Stop();
    EXPECT_TRUE(qvtest::FileExists(plain)) << "opening a plain file must not destroy it";
    EXPECT_EQ("my own words", qvtest::ReadFileBytes(plain));
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(OpenFilesTest, AProgramThatOpensItsCopyLateStillFindsIt)
{
    // It opens its file 4 s after it starts: a slow program.
    viewtest::TestFileType type(L".qvtestlate",
                                Receiver(L"qvtest_late_opener") + L" 4000 \"%1\" \"" + Mark() + L"\"");
    CString encrypted = viewtest::EncryptInto(folder, L"late.qvtestlate", "read late");
    OpenThroughList(encrypted);
    ASSERT_TRUE(qvtest::PumpUntil([&] { return qvtest::FileExists(Mark()); }, 30000));
    EXPECT_EQ("read late", qvtest::ReadFileBytes(Mark()));
    EXPECT_TRUE(qvtest::PumpUntil([&] { return TempFiles().empty(); }, kBeyondOpenGrace))
        << "once read and let go, the copy and its placeholder are wiped";
}

TEST_F(OpenFilesTest, ACopyItsProgramWritesAgainIsWipedAgain)
{
    // It reads its file, waits until the file is gone, then saves it again.
    viewtest::TestFileType type(L".qvtestsave", Receiver(L"qvtest_resaver") + L" \"%1\" \"" + Mark() +
                                                    L"\" \"edited words\"");
    CString encrypted = viewtest::EncryptInto(folder, L"draft.qvtestsave", "first words");
    OpenThroughList(encrypted);
    CString copy = view->m_strTempToWipe;
    ASSERT_FALSE(copy.IsEmpty());
    ASSERT_TRUE(qvtest::PumpUntil([&] { return qvtest::FileExists(Mark()); }, 30000));
    EXPECT_EQ("first words", qvtest::ReadFileBytes(Mark()));
    ASSERT_TRUE(qvtest::PumpUntil([&] { return qvtest::FileExists(Mark() + L".saved"); }, kBeyondOpenGrace))
        << "the copy was wiped, and its program saved it again";
    EXPECT_TRUE(qvtest::PumpUntil([&] { return TempFiles().empty(); }, 10000)) << "the saved copy is wiped again";
    EXPECT_TRUE(view->m_tempCopies.IsWatching(copy)) << "and still watched";
}

TEST_F(OpenFilesTest, WhatARunLeftIsWipedAtTheNextStart)
{
    viewtest::TestFileType type(L".qvtestheld", L"cmd /c exit");
    CString encrypted = viewtest::EncryptInto(folder, L"left.qvtestheld", "left content");
    OpenThroughList(encrypted);
    CString copy = view->m_strTempToWipe;
    ASSERT_FALSE(copy.IsEmpty());
    // Held with no sharing for writes or deletion, the copy outlives the run.
    HANDLE holder = ::CreateFileW(copy, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    Stop();
    bool outlived = qvtest::FileExists(copy);
    ::CloseHandle(holder);
    ASSERT_TRUE(outlived);
    EXPECT_EQ("left content", qvtest::ReadFileBytes(copy));

    Start();
    EXPECT_FALSE(qvtest::FileExists(copy));
    EXPECT_TRUE(TempFiles().empty()) << "nor its placeholder";
}

TEST_F(OpenFilesTest, ACopyStillHeldIsWipedWhenTheProgramEnds)
{
    // A type nothing opens: the copy waits to be let go.
    viewtest::TestFileType type(L".qvtestheld", L"cmd /c exit");
    CString encrypted = viewtest::EncryptInto(folder, L"held.qvtestheld", "held content");
    OpenThroughList(encrypted);
    CString copy = view->m_strTempToWipe;
    ASSERT_FALSE(copy.IsEmpty());
    HANDLE holder = ::CreateFileW(copy, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    // One look of the watch, as its timer takes: a held copy stays.
    view->SendMessage(WM_TIMER, COrvantisView::TIMER_WIPE, 0);
    EXPECT_TRUE(view->m_tempCopies.IsWatching(copy));
    EXPECT_TRUE(qvtest::FileExists(copy)) << "held: not wiped yet";
    ::CloseHandle(holder);
    Stop();
    EXPECT_TRUE(TempFiles().empty()) << "the copy and its placeholder are wiped at exit";
}

TEST_F(OpenFilesTest, WithoutThePlayerAMediaCopyIsWatchedByTheCleanUpMonitor)
{
    view->m_Player.Unload();
    List().m_bVideoPlayer = 0;
    CString encrypted = viewtest::EncryptInto(folder, L"clip.mp4", "not really a video");
    bool sawMonitor = false;
    qvtest::TimerScript watch([&] {
        sawMonitor = sawMonitor || qvtest::FindThreadWindow(L"Streaming Format Monitor") != nullptr;
        return false;
    });
    OpenThroughList(encrypted);
    EXPECT_TRUE(sawMonitor);
    EXPECT_TRUE(qvtest::PumpUntil([&] { return TempFiles().empty(); }, 3000));
}

TEST_F(OpenFilesTest, AFailedDecryptionOpensNothingAndLeavesNoCopy)
{
    viewtest::TestFileType type(L".qvtestdoc", CopyCommand());
    COrvantisDoc::SetPasswordKey(L"another password");
    CString encrypted = viewtest::EncryptInto(folder, L"other.qvtestdoc", "other content");
    COrvantisDoc::SetPasswordKey(kPassword);
    qvtest::MessageBoxCapture boxes;
    OpenThroughList(encrypted);
    ASSERT_EQ(1u, boxes.texts.size());
    EXPECT_EQ(CString(L"The current active password cannot unlock this file. Click on 'Enter Password' to enter the "
                      L"correct password"),
              boxes.texts[0]);
    // Nothing was handed to another program: no copy is watched or waits to be wiped.
    EXPECT_TRUE(view->m_strTempToWipe.IsEmpty());
    EXPECT_TRUE(view->m_tempCopies.IsEmpty());
    for (const CString& name : TempFiles())
        EXPECT_EQ(-1, name.Find(L".qvtestdoc")) << "no copy: " << name.ToUtf8();
}

TEST_F(OpenFilesTest, ALargeCopyIsOpenedWhenTheJobEndsAndAFailedOneNever)
{
    viewtest::TestFileType type(L".qvtestdoc", CopyCommand());
    std::string content = qvtest::PatternBytes(10100000, 7);
    CString sound = viewtest::EncryptInto(folder, L"large.qvtestdoc", content);
    // Large too, but under another password: the job cannot decrypt it.
    COrvantisDoc::SetPasswordKey(L"another password");
    CString foreign = viewtest::EncryptInto(folder, L"foreign.qvtestdoc", content);
    COrvantisDoc::SetPasswordKey(kPassword);

    OpenThroughList(sound);
    EXPECT_FALSE(view->m_strTempCopy.IsEmpty()) << "the job writes the copy";
    ASSERT_TRUE(qvtest::PumpUntil([&] { return qvtest::FileExists(Mark()); }, 20000));
    EXPECT_EQ(content.size(), qvtest::ReadFileBytes(Mark()).size());
    EXPECT_TRUE(qvtest::PumpUntil([&] { return TempFiles().empty(); }, 8000));
    ::DeleteFileW(Mark());

    // The failed job ends with its log; nothing is opened.
    const CString handedOver = view->m_strTempToWipe;
    qvtest::TimerScript closeLog(qvtest::CloseShownLogDialog);
    OpenThroughList(foreign);
    ASSERT_TRUE(qvtest::PumpUntil([&] { return !document->IsRunning() && closeLog.Done(); }, 20000));
    EXPECT_TRUE(view->m_strTempCopy.IsEmpty());
    EXPECT_EQ(view->m_strTempToWipe, handedOver) << "a failed copy is never handed to another program";
    EXPECT_TRUE(TempFiles().empty()) << "nor left behind";
}

TEST_F(OpenFilesTest, AnEncryptedVideoPlaysInTheProgramsWindowAndLeavesNoTrace)
{
    ASSERT_TRUE(playertest::Media::Get().Ready());
    ASSERT_TRUE(view->m_Player.IsLoaded());
    EXPECT_EQ(1, List().m_bVideoPlayer);
    std::set<CString> before = TempFiles();
    CString encrypted =
        viewtest::EncryptInto(folder, L"holiday.mkv", qvtest::ReadFileBytes(playertest::Media::Get().Path("clip.mkv")));
    ASSERT_EQ(S_OK, List().DisplayFolder(folder.Path().GetString()));
    int item = Find(L"holiday.mkv*");
    ASSERT_GE(item, 0);
    List().SetItemState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    CRect label;
    List().GetItemRect(item, &label, LVIR_LABEL);
    List().SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(label.CenterPoint().x, label.CenterPoint().y));

    ASSERT_TRUE(qvtest::PumpUntil([&] { return view->m_pVideoView && VideoPlayerDll::IsPlayerOpen(); }, 8000));
    CVideoView* window = view->m_pVideoView;
    EXPECT_TRUE(window->IsWindowVisible());
    CString copy = window->GetPath();
    EXPECT_EQ(0, copy.Find(temp.Path())) << "played from a copy in the temporary folder: " << copy.ToUtf8();
    EXPECT_TRUE(qvtest::PumpUntil(
        [&] {
            int64_t position = 0;
            view->m_Player.GetParam(VideoPlayerDll::PARAM_POSITION, &position);
            return position >= 300;
        },
        8000))
        << "it plays";
    EXPECT_TRUE(view->m_strTempToWipe.IsEmpty()) << "nothing went to another program";

    window->PostMessage(WM_CLOSE);
    ASSERT_TRUE(qvtest::PumpUntil([&] { return view->m_pVideoView == nullptr; }, 8000));
    EXPECT_FALSE(VideoPlayerDll::IsPlayerOpen());
    EXPECT_EQ(before, TempFiles()) << "the temporary folder is as it was";
    EXPECT_TRUE(qvtest::FileExists(encrypted));
}

TEST_F(OpenFilesTest, APlainVideoPlaysWhereItLiesAndSurvivesTheWindow)
{
    ASSERT_TRUE(playertest::Media::Get().Ready());
    CString plain = folder / L"own.mp4";
    ASSERT_TRUE(CopyFileW(playertest::Media::Get().Path("clip.mp4"), plain, FALSE));
    std::string bytes = qvtest::ReadFileBytes(plain);
    document->OpenSecureViewer(plain, VIEWER_VIDEO);
    ASSERT_TRUE(qvtest::PumpUntil([&] { return view->m_pVideoView && VideoPlayerDll::IsPlayerOpen(); }, 8000));
    EXPECT_EQ(plain, view->m_pVideoView->GetPath());
    // The program ends with the window open: it closes through its own path first.
    Stop();
    EXPECT_FALSE(VideoPlayerDll::IsPlayerOpen());
    EXPECT_EQ(bytes, qvtest::ReadFileBytes(plain)) << "a plain file is never wiped";
}

namespace {

// Holds the engine of a job at one block until that job's abort flag is set
// or the test opens the gate (at most 30 s).
class BlockGate {
public:
    static const uint64_t kBlock = 1000;
    BlockGate()
    {
        s_reached = false;
        s_open = false;
        s_sawAbort = false;
        CFileCipher::SetBlockHook(Hold);
    }
    ~BlockGate()
    {
        s_open = true;
        CFileCipher::SetBlockHook(nullptr);
    }
    void Open() { s_open = true; }
    bool Reached() const { return s_reached; }
    bool SawAbort() const { return s_sawAbort; }

private:
    static void Hold(uint64_t index)
    {
        if (index != kBlock)
            return;
        s_reached = true;
        for (DWORD start = GetTickCount(); !s_open && GetTickCount() - start < 30000; Sleep(5)) {
            if (g_AbortRequested.load()) {
                s_sawAbort = true;
                return;
            }
        }
    }
    static std::atomic<bool> s_reached, s_open, s_sawAbort;
};
std::atomic<bool> BlockGate::s_reached, BlockGate::s_open, BlockGate::s_sawAbort;

}  // namespace

TEST_F(OpenFilesTest, ClosingTheVideoWindowStopsTheDecryptionThatFeedsItAndNoOtherJob)
{
    ASSERT_TRUE(view->m_Player.IsLoaded());
    std::set<CString> before = TempFiles();
    {
        // Large: the copy is written by the temporary decryption while the window waits for it.
        CString encrypted = viewtest::EncryptInto(folder, L"long.mp4", qvtest::PatternBytes(10100000, 3));
        BlockGate gate;
        OpenThroughList(encrypted);
        ASSERT_TRUE(qvtest::PumpUntil([&] { return gate.Reached() && view->m_pVideoView; }, 20000));
        view->m_pVideoView->PostMessage(WM_CLOSE);
        ASSERT_TRUE(qvtest::PumpUntil([&] { return !view->m_pVideoView && !document->IsRunning(); }, 30000));
        EXPECT_TRUE(gate.SawAbort()) << "the decryption feeding the window was stopped within the file";
        EXPECT_TRUE(qvtest::PumpUntil([&] { return TempFiles() == before; }, 15000)) << "its copy is wiped";
        EXPECT_TRUE(qvtest::FileExists(encrypted));
    }
    {
        // Another job runs while a plain video's window closes: it runs on to its end.
        ASSERT_TRUE(playertest::Media::Get().Ready());
        CString plain = folder / L"own.mp4";
        ASSERT_TRUE(CopyFileW(playertest::Media::Get().Path("clip.mp4"), plain, FALSE));
        document->OpenSecureViewer(plain, VIEWER_VIDEO);
        ASSERT_TRUE(qvtest::PumpUntil([&] { return view->m_pVideoView != nullptr; }, 8000));
        qvtest::TempFolder work;
        CString big = work.WriteFile(L"big.bin", qvtest::PatternBytes(300000, 4));
        BlockGate gate;
        document->m_strCurrentFolder = work.Path();
        ASSERT_TRUE(document->StartJob(JOB_ENCRYPT_FOLDER));
        ASSERT_TRUE(qvtest::PumpUntil([&] { return gate.Reached(); }, 20000));
        view->m_pVideoView->PostMessage(WM_CLOSE);
        ASSERT_TRUE(qvtest::PumpUntil([&] { return !view->m_pVideoView; }, 15000));
        EXPECT_EQ(0, g_StopRequested.load());
        EXPECT_EQ(0, g_AbortRequested.load());
        gate.Open();
        ASSERT_TRUE(qvtest::PumpUntil([&] { return !document->IsRunning(); }, 30000));
        EXPECT_FALSE(gate.SawAbort());
        EXPECT_FALSE(qvtest::FileExists(big)) << "the job encrypted its file to the end";
        EXPECT_EQ(1u, qvtest::FileNamesMatching(work / L"*").size());
    }
}

// The media folder goes when the program ends.
class VideoMediaCleanup : public ::testing::Environment {
public:
    void TearDown() override { playertest::Media::Get().Remove(); }
};
static ::testing::Environment* const g_videoMediaCleanup = ::testing::AddGlobalTestEnvironment(new VideoMediaCleanup);
