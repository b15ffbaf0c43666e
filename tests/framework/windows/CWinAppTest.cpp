#include "tests/QvTest.h"

#include "framework/windows/CDocument.h"
#include "framework/windows/CWinApp.h"
#include "framework/windows/CWnd.h"

#include <algorithm>
#include <vector>

namespace {

class MainWnd : public CWnd {
public:
    BOOL Create()
    {
        return CreateEx(0, RegisterWndClass(0), L"Main", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr);
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_KEYDOWN) {
            ++keysFiltered;
            return TRUE;
        }
        return FALSE;
    }
    int keysFiltered = 0;
};

// The script runs from idle time itself, so no timer races the idle counts
// on a loaded machine: the first idle run that reaches its end posts a key
// (an input message: idle starts over), the second closes the main window,
// which ends the loop.
class LoopApp : public CWinApp {
public:
    LoopApp() : CWinApp(L"LoopTest") {}
    BOOL InitInstance() override
    {
        if (!m_main.Create())
            return FALSE;
        m_pMainWnd = &m_main;
        return TRUE;
    }
    BOOL OnIdle(LONG count) override
    {
        idleCounts.push_back(count);
        CWinApp::OnIdle(count);
        if (count == 2 && ++idleRunsEnded == 1)
            m_main.PostMessage(WM_KEYDOWN, 'A', 0);
        else if (count == 2 && idleRunsEnded == 2)
            m_main.PostMessage(WM_CLOSE);
        return count < 2;
    }
    int ExitInstance() override
    {
        exited = true;
        return CWinApp::ExitInstance() + 100;
    }
    MainWnd m_main;
    std::vector<LONG> idleCounts;
    int idleRunsEnded = 0;
    bool exited = false;
};

// A profile under its own company key, removed afterwards.
class ProfileTest : public testing::Test {
protected:
    void SetUp() override
    {
        app.SetRegistryKey(L"Halvercombe");
        app.SetProfileName(L"QuorvexProfileTest");
    }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Halvercombe\\QuorvexProfileTest"); }
    CWinApp app;
};

}  // namespace

TEST(CWinApp, OnlyTheLiveApplicationIsTheCurrentOne)
{
    EXPECT_EQ(AfxGetApp(), nullptr);
    {
        CWinApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_EQ(AfxGetAppName(), CString(L"Quorvex"));
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
}

TEST(CWinApp, RunIdlesFiltersAndEndsWhenTheMainWindowCloses)
{
    LoopApp app;
    EXPECT_EQ(AfxWinMain(), 100);
    EXPECT_TRUE(app.exited);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(app.m_main.keysFiltered, 1) << "the loop offers messages to the window's PreTranslateMessage";
    // Idle counts run 0, 1, 2 while the queue stays empty (OnIdle(2) asks
    // for no more) and start again at 0 after messages such as the key.
    ASSERT_FALSE(app.idleCounts.empty());
    EXPECT_EQ(app.idleCounts[0], 0);
    int runs = 1;
    LONG highest = 0;
    for (size_t i = 1; i < app.idleCounts.size(); ++i) {
        LONG count = app.idleCounts[i];
        EXPECT_TRUE(count == 0 || count == app.idleCounts[i - 1] + 1) << "at " << i;
        runs += count == 0;
        highest = std::max(highest, count);
    }
    EXPECT_GE(runs, 2);
    EXPECT_EQ(highest, 2);
}

TEST(CWinApp, FailedInitInstanceSkipsTheLoop)
{
    struct FailingApp : CWinApp {
        BOOL InitInstance() override { return FALSE; }
        BOOL OnIdle(LONG) override
        {
            ran = true;
            return FALSE;
        }
        bool ran = false;
    } app;
    EXPECT_EQ(AfxWinMain(), 0);
    EXPECT_FALSE(app.ran);
}

TEST_F(ProfileTest, IntegersAndStringsRoundTripUnderTheCompanyAndProfileKey)
{
    EXPECT_EQ(app.GetProfileInt(L"Settings", L"VerifyEnc", 1), 1u) << "a missing value reads as the default";
    EXPECT_EQ(app.GetProfileString(L"Settings", L"LastPath", L"none"), CString(L"none"));

    EXPECT_TRUE(app.WriteProfileInt(L"Settings", L"VerifyEnc", 0));
    EXPECT_TRUE(app.WriteProfileInt(L"Settings", L"Negative", -5));
    EXPECT_TRUE(app.WriteProfileString(L"Settings", L"LastPath", L"C:\\Dokumente\\\x00e4"));
    EXPECT_TRUE(app.WriteProfileString(L"Settings", L"Empty", L""));
    EXPECT_EQ(app.GetProfileInt(L"Settings", L"VerifyEnc", 1), 0u);
    EXPECT_EQ((int)app.GetProfileInt(L"Settings", L"Negative", 0), -5);
    EXPECT_EQ(app.GetProfileString(L"Settings", L"LastPath"), CString(L"C:\\Dokumente\\\x00e4"));
    EXPECT_EQ(app.GetProfileString(L"Settings", L"Empty", L"default"), CString(L""));
    EXPECT_EQ(app.GetProfileInt(L"Settings", L"LastPath", 7), 7u) << "a string is not an integer";

    // The values live where the registry layout says.
    HKEY key;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Halvercombe\\QuorvexProfileTest\\Settings", 0,
                              KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD value = 99, size = sizeof value, type = 0;
    EXPECT_EQ(::RegQueryValueExW(key, L"VerifyEnc", nullptr, &type, (BYTE*)&value, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, (DWORD)REG_DWORD);
    EXPECT_EQ(value, 0u);
    ::RegCloseKey(key);
}

TEST_F(ProfileTest, NullValueDeletesAnEntryAndNullEntryTheSection)
{
    app.WriteProfileString(L"Window", L"Placement", L"1,2,3,4,1,0");
    app.WriteProfileString(L"Window", L"Other", L"x");
    EXPECT_TRUE(app.WriteProfileString(L"Window", L"Placement", nullptr));
    EXPECT_EQ(app.GetProfileString(L"Window", L"Placement", L"gone"), CString(L"gone"));
    EXPECT_EQ(app.GetProfileString(L"Window", L"Other"), CString(L"x"));
    EXPECT_TRUE(app.WriteProfileString(L"Window", nullptr, nullptr));
    EXPECT_EQ(app.GetProfileString(L"Window", L"Other", L"gone"), CString(L"gone"));
}

TEST(CWinAppProfile, WithoutARegistryKeyNothingIsStored)
{
    CWinApp app;
    EXPECT_FALSE(app.WriteProfileInt(L"Settings", L"X", 3));
    EXPECT_EQ(app.GetProfileInt(L"Settings", L"X", 9), 9u);
}

TEST(CDocument, NewDocumentStartsEmptyAndKeepsItsTitle)
{
    struct Doc : CDocument {
        void DeleteContents() override { ++cleared; }
        int cleared = 0;
    } doc;
    doc.SetTitle(L"Untitled");
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.cleared, 1);
    EXPECT_EQ(doc.GetTitle(), CString(L"Untitled"));
}
