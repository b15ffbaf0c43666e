#include "tests/QvTest.h"
#include "tests/framework/windows/DialogDriver.h"

#include "app/CleanUp.h"
#include "app/TempCopyWatch.h"
#include "res/resource.h"

using namespace qvtest;

namespace {

// Another program's handle on the copy: no sharing at all, as a player that
// holds its file.
class HeldFile {
public:
    explicit HeldFile(const CString& path)
        : m_handle(::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool IsHeld() const { return m_handle != INVALID_HANDLE_VALUE; }
    void Release()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle;
};

// Dispatches messages until the dialog was ended or `milliseconds` passed;
// true when it was ended.
bool PumpUntilEnded(const CDialog& dialog, DWORD milliseconds)
{
    return PumpUntil([&] { return dialog.GetResult() != -1; }, milliseconds);
}

// The monitor, counting the checks its timer has made.
class CountingCleanUp : public CCleanUp {
public:
    void OnTimer(UINT_PTR id) override
    {
        CCleanUp::OnTimer(id);
        if (id == TIMER_CHECK)
            ++checks;
    }
    int checks = 0;
};

}  // namespace

TEST(CCleanUp, OpensWithItsTextsAndNoCountdown)
{
    CCleanUp dlg;
    EXPECT_EQ(dlg.m_nRetryTicks, -1);
    dlg.m_strPath = L"Z:\\nowhere\\copy.mp4";
    RunModal(dlg, [&] {
        CString caption;
        dlg.GetWindowText(caption);
        EXPECT_EQ(caption, CString(L"Streaming Format Monitor"));
        EXPECT_EQ(Text(dlg, IDOK), CString(L"Secure Cleanup"));
        EXPECT_TRUE(Enabled(dlg, IDOK));
        EXPECT_EQ(Text(dlg, IDC_CLEANUP_TEXT),
                  CString(L"A streaming format has been temporary decoded and opened. This Window will monitor when "
                          L"the file is no longer in use and it will Secure Clean the temporary encrypted data.\nYou "
                          L"can do it manually with the button below if the monitor function fails."));
        dlg.EndDialog(IDCANCEL);
    });
}

TEST(CCleanUp, FreeCopyIsWipedAtTheFirstCheckTwoSecondsAfterOpening)
{
    TempFolder folder;
    CString copy = folder.WriteFile(L"copy.mp4", PatternBytes(70000));
    CCleanUp dlg;
    dlg.m_strPath = copy;
    DWORD elapsed = 0;
    INT_PTR result = RunModal(dlg, [&] {
        DWORD start = ::GetTickCount();
        EXPECT_TRUE(PumpUntilEnded(dlg, 4000));
        elapsed = ::GetTickCount() - start;
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_FALSE(FileExists(copy));
    EXPECT_GE(elapsed, 1800u);
    EXPECT_LE(elapsed, 3000u);
}

TEST(CCleanUp, HeldCopyIsLookedAtAgainUntilTheProgramLetsGoThenWiped)
{
    TempFolder folder;
    CString copy = folder.WriteFile(L"movie", PatternBytes(70000));
    HeldFile player(copy);
    ASSERT_TRUE(player.IsHeld());
    CountingCleanUp dlg;
    dlg.m_strPath = copy;
    INT_PTR result = RunModal(dlg, [&] {
        // The first check (2 s) and the next one (2.5 s) find it held.
        EXPECT_TRUE(PumpUntil([&] { return dlg.checks >= 2 || dlg.GetResult() != -1; }, 10000));
        EXPECT_EQ(dlg.GetResult(), -1) << "still open";
        EXPECT_TRUE(FileExists(copy));
        EXPECT_FALSE(dlg.IsFileFree());
        player.Release();
        EXPECT_TRUE(dlg.IsFileFree());
        EXPECT_TRUE(PumpUntilEnded(dlg, 1500)) << "wiped at the next 500 ms check";
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_FALSE(FileExists(copy));
}

TEST(CCleanUp, ButtonOnAHeldCopyRefusesForFourTicksThenWipesOnceFree)
{
    TempFolder folder;
    CString copy = folder.WriteFile(L"song.mp3", PatternBytes(5000));
    HeldFile player(copy);
    CCleanUp dlg;
    dlg.m_strPath = copy;
    INT_PTR result = RunModal(dlg, [&] {
        Click(dlg, IDOK);
        EXPECT_EQ(dlg.GetResult(), -1) << "still open";
        EXPECT_EQ(Text(dlg, IDOK), CString(L"The file is still in use!"));
        EXPECT_FALSE(Enabled(dlg, IDOK));
        EXPECT_EQ(dlg.m_nRetryTicks, 4);
        // The ticks of the monitor count the refusal down.
        for (int tick = 1; tick <= 3; ++tick) {
            dlg.OnTimer(CCleanUp::TIMER_CHECK);
            EXPECT_EQ(dlg.m_nRetryTicks, 4 - tick);
            EXPECT_FALSE(Enabled(dlg, IDOK)) << tick;
        }
        dlg.OnTimer(CCleanUp::TIMER_CHECK);
        EXPECT_EQ(dlg.m_nRetryTicks, -1);
        EXPECT_EQ(Text(dlg, IDOK), CString(L"Secure Cleanup"));
        EXPECT_TRUE(Enabled(dlg, IDOK));
        EXPECT_TRUE(FileExists(copy));
        player.Release();
        Click(dlg, IDOK);
        EXPECT_EQ(dlg.GetResult(), IDOK) << "wiped at once";
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_FALSE(FileExists(copy));
}

TEST(CCleanUp, GoneCopyCountsAsHeldAndEscapeEndsWithoutWiping)
{
    TempFolder folder;
    CString gone = folder / L"gone.mp4";
    CString kept = folder.WriteFile(L"kept.mp4", "data");
    HeldFile player(kept);
    for (const CString& path : {gone, kept}) {
        CCleanUp dlg;
        dlg.m_strPath = path;
        INT_PTR result = RunModal(dlg, [&] {
            EXPECT_FALSE(dlg.IsFileFree());
            dlg.OnTimer(CCleanUp::TIMER_CHECK);
            EXPECT_EQ(dlg.GetResult(), -1) << "keeps waiting";
            ::SendMessageW(dlg.m_hWnd, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(result, IDCANCEL) << path.ToUtf8();
    }
    player.Release();
    EXPECT_EQ(ReadFileBytes(kept), "data");
}

TEST(CCleanUp, WithAWatchAFreeCopyWaitsUntilItsProgramHasOpenedIt)
{
    TempFolder folder;
    CString copy = folder.WriteFile(L"clip.mp4", PatternBytes(5000));
    CTempCopyWatch watch;
    watch.HandOver(copy);
    CCleanUp dlg;
    dlg.m_strPath = copy;
    dlg.m_pWatch = &watch;
    INT_PTR result = RunModal(dlg, [&] {
        dlg.OnTimer(CCleanUp::TIMER_CHECK);
        EXPECT_EQ(dlg.GetResult(), -1) << "free, but its player has not started yet";
        EXPECT_TRUE(FileExists(copy));
        EXPECT_EQ(PatternBytes(5000), ReadFileBytes(copy)) << "the player reads it";
        dlg.OnTimer(CCleanUp::TIMER_CHECK);
        EXPECT_EQ(dlg.GetResult(), IDOK) << "read and let go: wiped";
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_FALSE(FileExists(copy));
}
