#include "tests/QvTest.h"
#include "tests/app/PasswordTestSupport.h"
#include "tests/framework/windows/DialogDriver.h"

#include "app/PasswordSet.h"
#include "app/PasswordUnlock.h"
#include "app/SettingsDlg.h"
#include "app/TestIntegrityDlg.h"
#include "crypt/KeyState.h"
#include "res/resource.h"

#include <vector>

using namespace qvtest;

namespace {

const WCHAR* const kCrcWarning =
    L"If you disable CRC checking then there is no knowing if the encrypted file was not damaged or tampered with.\n"
    L"A single byte change in Encrypted file can result in a large error in the decrypted file.\n"
    L"Use only in special circumstances when no recovery record is available.";

}  // namespace

TEST(PasswordUnlock, OpensWithTheCallersValuesAndTakesThemBack)
{
    PasswordUnlock dlg;
    EXPECT_EQ(dlg.m_bAllowRecurse, 1);
    EXPECT_EQ(dlg.m_bRecurse + dlg.m_bKeepPassword + dlg.m_bLogErrors + dlg.m_bLogWarnings + dlg.m_bDisableCrc +
                  dlg.m_bKeepDates,
              0);
    dlg.m_strPassword = L"old secret";
    dlg.m_bRecurse = dlg.m_bLogWarnings = 1;
    INT_PTR result = RunModal(dlg, [&] {
        EXPECT_EQ(Text(dlg, IDC_PASSWORD), CString(L"old secret"));
        EXPECT_TRUE(HasStyle(dlg, IDC_PASSWORD, ES_PASSWORD)) << "the password is masked";
        EXPECT_EQ(Checked(dlg, IDC_RECURSE), 1);
        EXPECT_EQ(Checked(dlg, IDC_UNLOCK_LOG_WARNINGS), 1);
        SetText(dlg, IDC_PASSWORD, L"new secret");
        for (int id : {IDC_RECURSE, IDC_KEEP_PASSWORD, IDC_UNLOCK_LOG_ERRORS, IDC_UNLOCK_LOG_WARNINGS,
                       IDC_UNLOCK_KEEP_DATES})
            Click(dlg, id);
        Click(dlg, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_strPassword, CString(L"new secret"));
    EXPECT_EQ((std::vector<int>{dlg.m_bRecurse, dlg.m_bKeepPassword, dlg.m_bLogErrors, dlg.m_bLogWarnings,
                                dlg.m_bDisableCrc, dlg.m_bKeepDates}),
              (std::vector<int>{0, 1, 1, 0, 0, 1}));
}

TEST(PasswordUnlock, AcceptsEveryPasswordSoOldFilesStayReadable)
{
    CString weak = FindWeakPassword();
    ASSERT_FALSE(weak.IsEmpty());
    for (const CString& password : {weak, CString(L"")}) {
        MessageBoxCapture boxes;
        PasswordUnlock dlg;
        dlg.m_strPassword = password;
        EXPECT_EQ(RunModal(dlg, [&] { Click(dlg, IDOK); }), IDOK) << password.ToUtf8();
        EXPECT_EQ(dlg.m_strPassword, password);
        EXPECT_TRUE(boxes.texts.empty()) << password.ToUtf8();
    }
}

TEST(PasswordUnlock, DisableCrcWarnsWhenTickedOnlyAndStaysTicked)
{
    MessageBoxCapture boxes;
    PasswordUnlock dlg;
    dlg.m_bAllowRecurse = 0;
    RunModal(dlg, [&] {
        EXPECT_FALSE(Enabled(dlg, IDC_RECURSE));
        Click(dlg, IDC_DISABLE_CRC);
        EXPECT_EQ(Checked(dlg, IDC_DISABLE_CRC), 1);
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_EQ(boxes.texts[0], CString(kCrcWarning));
        Click(dlg, IDC_DISABLE_CRC);
        EXPECT_EQ(boxes.texts.size(), 1u) << "clearing the box shows nothing";
        Click(dlg, IDC_DISABLE_CRC);
        Click(dlg, IDOK);
    });
    EXPECT_EQ(dlg.m_bDisableCrc, 1);
    EXPECT_EQ(boxes.texts.size(), 2u);
}

TEST(PasswordSet, OKTakesTheTypedPasswordAndResetReturnsAnEmptyOne)
{
    struct Case {
        const char* name;
        int button;
        INT_PTR result;
        const WCHAR* password;
    } cases[] = {{"OK", IDOK, IDOK, L"typed"},
                 {"Reset", IDC_RESET, IDOK, L""},
                 {"Cancel", IDCANCEL, IDCANCEL, L"before"}};
    for (const Case& c : cases) {
        PasswordSet dlg;
        dlg.m_strPassword = L"before";
        INT_PTR result = RunModal(dlg, [&] {
            EXPECT_EQ(Text(dlg, IDC_PASSWORD), CString(L"before")) << c.name;
            EXPECT_TRUE(HasStyle(dlg, IDC_PASSWORD, ES_PASSWORD));
            SetText(dlg, IDC_PASSWORD, L"typed");
            Click(dlg, c.button);
        });
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(dlg.m_strPassword, CString(c.password)) << c.name;
    }
}

TEST(CTestIntegrityDlg, ShowsTheProposedPasswordInClearAndTakesTheUsersOwn)
{
    CTestIntegrityDlg dlg;
    dlg.m_strPassword = L"0123456789abcdef0123456789abcdef";
    INT_PTR result = RunModal(dlg, [&] {
        EXPECT_EQ(Text(dlg, IDC_PASSWORD), CString(L"0123456789abcdef0123456789abcdef"));
        EXPECT_FALSE(HasStyle(dlg, IDC_PASSWORD, ES_PASSWORD)) << "the test password is shown in clear";
        SetText(dlg, IDC_PASSWORD, L"my own");
        Click(dlg, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_strPassword, CString(L"my own"));
}

TEST(CSettingsDlg, PlayerStatusTextFollowsTheLibrary)
{
    CSettingsDlg dlg;
    EXPECT_TRUE(dlg.m_strPlayerStatus.IsEmpty());
    dlg.SetPlayerStatus(true);
    EXPECT_EQ(dlg.m_bPlayerReady, 1);
    EXPECT_EQ(dlg.m_strPlayerStatus, CString(L"Ready"));
    dlg.SetPlayerStatus(false);
    EXPECT_EQ(dlg.m_bPlayerReady, 0);
    EXPECT_EQ(dlg.m_strPlayerStatus, CString(L"Missing libraries"));
    RunModal(dlg, [&] {
        EXPECT_EQ(Text(dlg, IDC_PLAYER_STATUS), CString(L"Missing libraries"));
        EXPECT_TRUE(HasStyle(dlg, IDC_PLAYER_STATUS, ES_READONLY));
        Click(dlg, IDCANCEL);
    });
}

TEST(CSettingsDlg, ChecksAndCacheChoiceRoundTrip)
{
    CSettingsDlg dlg;
    EXPECT_EQ(dlg.m_bAllowRoot + dlg.m_bDoubleClick + dlg.m_bAsyncVideo + dlg.m_bAutopreview + dlg.m_bImageView +
                  dlg.m_bTextView + dlg.m_nVideoCache,
              0);
    dlg.m_bDoubleClick = dlg.m_bImageView = 1;
    dlg.m_nVideoCache = 1;
    dlg.SetPlayerStatus(true);
    INT_PTR result = RunModal(dlg, [&] {
        EXPECT_EQ(Checked(dlg, IDC_DOUBLE_CLICK), 1);
        EXPECT_EQ(Checked(dlg, IDC_IMAGE_VIEW), 1);
        EXPECT_EQ(Checked(dlg, IDC_VIDEO_SECURE_SHRED), 0);
        EXPECT_EQ(Checked(dlg, IDC_VIDEO_QUICK_CLEAN), 1);
        for (int id : {IDC_ALLOW_ROOT, IDC_DOUBLE_CLICK, IDC_ASYNC_VIDEO, IDC_AUTOPREVIEW, IDC_IMAGE_VIEW,
                       IDC_TEXT_VIEW, IDC_VIDEO_SECURE_SHRED})
            Click(dlg, id);
        Click(dlg, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ((std::vector<int>{dlg.m_bAllowRoot, dlg.m_bDoubleClick, dlg.m_bAsyncVideo, dlg.m_bAutopreview,
                                dlg.m_bImageView, dlg.m_bTextView, dlg.m_nVideoCache}),
              (std::vector<int>{1, 0, 1, 1, 0, 1, 0}));
    EXPECT_EQ(dlg.m_strPlayerStatus, CString(L"Ready"));
}
