#include "tests/QvTest.h"
#include "tests/app/PasswordTestSupport.h"
#include "tests/framework/windows/DialogDriver.h"

#include "app/PasswordLock.h"
#include "app/PasswordSet.h"
#include "app/PasswordUnlock.h"
#include "app/SettingsDlg.h"
#include "app/TestIntegrityDlg.h"
#include "crypt/KeyState.h"
#include "res/resource.h"

#include <functional>
#include <vector>

using namespace qvtest;

namespace {

const WCHAR* const kCrcWarning =
    L"If you disable CRC checking then there is no knowing if the encrypted file was not damaged or tampered with.\n"
    L"A single byte change in Encrypted file can result in a large error in the decrypted file.\n"
    L"Use only in special circumstances when no recovery record is available.";

// A text field and the member it comes from and goes back to.
template <class Dialog>
struct TextField {
    int id;
    CString Dialog::*member;
    bool masked;
    const WCHAR* before;
    const WCHAR* typed;
};

// A check box (or radio pair) and its member. `shown` is the item ticked
// when the member is 1; a click on `clicked` turns the member over. Boxes
// whose click explains itself in a message box have `clicked` 0 and keep
// their value; they are tested on their own.
template <class Dialog>
struct OptionBox {
    int shown;
    int clicked;
    int Dialog::*member;
    int before;
};

// Opens `Dialog` with the caller's values, checks it shows them, changes
// every text and box, confirms with OK and checks that every change came
// back; `whileOpen` and `afterOK` add the dialog's own checks.
template <class Dialog>
std::function<void()> RoundTrip(const char* name, std::vector<TextField<Dialog>> texts,
                                std::vector<OptionBox<Dialog>> boxes,
                                std::function<void(Dialog&)> prepare = nullptr,
                                std::function<void(Dialog&)> whileOpen = nullptr,
                                std::function<void(Dialog&)> afterOK = nullptr)
{
    return [=] {
        SCOPED_TRACE(name);
        MessageBoxCapture messages;
        Dialog dlg;
        for (const OptionBox<Dialog>& box : boxes)
            EXPECT_EQ(dlg.*box.member, 0) << "initial value of box " << box.shown;
        for (const TextField<Dialog>& field : texts)
            dlg.*field.member = field.before;
        for (const OptionBox<Dialog>& box : boxes)
            dlg.*box.member = box.before;
        if (prepare)
            prepare(dlg);
        INT_PTR result = RunModal(dlg, [&] {
            for (const TextField<Dialog>& field : texts) {
                EXPECT_EQ(Text(dlg, field.id), CString(field.before)) << "field " << field.id;
                EXPECT_EQ(HasStyle(dlg, field.id, ES_PASSWORD), field.masked) << "field " << field.id;
            }
            for (const OptionBox<Dialog>& box : boxes)
                EXPECT_EQ(Checked(dlg, box.shown), box.before) << "box " << box.shown;
            if (whileOpen)
                whileOpen(dlg);
            for (const TextField<Dialog>& field : texts)
                SetText(dlg, field.id, field.typed);
            for (const OptionBox<Dialog>& box : boxes)
                if (box.clicked)
                    Click(dlg, box.clicked);
            Click(dlg, IDOK);
        });
        EXPECT_EQ(result, IDOK);
        for (const TextField<Dialog>& field : texts)
            EXPECT_EQ(dlg.*field.member, CString(field.typed)) << "field " << field.id;
        for (const OptionBox<Dialog>& box : boxes)
            EXPECT_EQ(dlg.*box.member, box.clicked ? 1 - box.before : box.before) << "box " << box.shown;
        EXPECT_TRUE(messages.texts.empty()) << "no box explains itself";
        if (afterOK)
            afterOK(dlg);
    };
}

}  // namespace

TEST(OptionDialogs, OpenWithTheCallersValuesAndTakeEveryChangeBackOnOK)
{
    const CString good = L"Correct Horse 1", otherGood = L"Correct Horse 2";
    ASSERT_FALSE(IsWeakPassword(good));
    ASSERT_FALSE(IsWeakPassword(otherGood));
    using Lock = PasswordLock;
    using Unlock = PasswordUnlock;
    const std::function<void()> cases[] = {
        RoundTrip<Lock>(
            "lock",
            {{IDC_PASSWORD, &Lock::m_strPassword, true, good, otherGood},
             {IDC_REPEAT, &Lock::m_strRepeat, true, good, otherGood}},
            {{IDC_RECURSE, IDC_RECURSE, &Lock::m_bRecurse, 1},
             {IDC_KEEP_PASSWORD, IDC_KEEP_PASSWORD, &Lock::m_bKeepPassword, 0},
             {IDC_VERIFY, IDC_VERIFY, &Lock::m_bVerify, 1},
             {IDC_SECURE_DELETE, IDC_SECURE_DELETE, &Lock::m_bSecureDelete, 0},
             {IDC_LOG_ERRORS, IDC_LOG_ERRORS, &Lock::m_bLogErrors, 1},
             {IDC_LOG_WARNINGS, IDC_LOG_WARNINGS, &Lock::m_bLogWarnings, 0},
             {IDC_ADD_RECOVERY, IDC_ADD_RECOVERY, &Lock::m_bAddRecovery, 0},
             {IDC_KEEP_DATES, IDC_KEEP_DATES, &Lock::m_bKeepDates, 1},
             {IDC_RANDOM_NAMES, 0, &Lock::m_bRandomNames, 0},
             {IDC_ENCRYPT_FOLDER_NAMES, IDC_ENCRYPT_FOLDER_NAMES, &Lock::m_bEncryptFolderNames, 1}},
            nullptr,
            [](Lock& dlg) {
                EXPECT_TRUE(Visible(dlg, IDC_MATCH_MARK)) << "equal, non-empty passwords show the match mark";
                EXPECT_FALSE(Visible(dlg, IDC_CAPS_WARNING));
                EXPECT_TRUE(Enabled(dlg, IDC_RECURSE));
            }),
        RoundTrip<Unlock>("unlock", {{IDC_PASSWORD, &Unlock::m_strPassword, true, L"old secret", L"new secret"}},
                          {{IDC_RECURSE, IDC_RECURSE, &Unlock::m_bRecurse, 1},
                           {IDC_KEEP_PASSWORD, IDC_KEEP_PASSWORD, &Unlock::m_bKeepPassword, 0},
                           {IDC_UNLOCK_LOG_ERRORS, IDC_UNLOCK_LOG_ERRORS, &Unlock::m_bLogErrors, 0},
                           {IDC_UNLOCK_LOG_WARNINGS, IDC_UNLOCK_LOG_WARNINGS, &Unlock::m_bLogWarnings, 1},
                           {IDC_DISABLE_CRC, 0, &Unlock::m_bDisableCrc, 0},
                           {IDC_UNLOCK_KEEP_DATES, IDC_UNLOCK_KEEP_DATES, &Unlock::m_bKeepDates, 0}},
                          [](Unlock& dlg) { EXPECT_EQ(dlg.m_bAllowRecurse, 1); }),
        RoundTrip<CTestIntegrityDlg>("integrity test",
                                     {{IDC_PASSWORD, &CTestIntegrityDlg::m_strPassword, false,
                                       L"0123456789abcdef0123456789abcdef", L"my own"}},
                                     {}),
        RoundTrip<CSettingsDlg>("settings", {},
                                {{IDC_ALLOW_ROOT, IDC_ALLOW_ROOT, &CSettingsDlg::m_bAllowRoot, 0},
                                 {IDC_DOUBLE_CLICK, IDC_DOUBLE_CLICK, &CSettingsDlg::m_bDoubleClick, 1},
                                 {IDC_ASYNC_VIDEO, IDC_ASYNC_VIDEO, &CSettingsDlg::m_bAsyncVideo, 0},
                                 {IDC_AUTOPREVIEW, IDC_AUTOPREVIEW, &CSettingsDlg::m_bAutopreview, 0},
                                 {IDC_IMAGE_VIEW, IDC_IMAGE_VIEW, &CSettingsDlg::m_bImageView, 1},
                                 {IDC_TEXT_VIEW, IDC_TEXT_VIEW, &CSettingsDlg::m_bTextView, 0},
                                 {IDC_VIDEO_QUICK_CLEAN, IDC_VIDEO_SECURE_SHRED, &CSettingsDlg::m_nVideoCache, 1}},
                                [](CSettingsDlg& dlg) { dlg.SetPlayerStatus(true); },
                                [](CSettingsDlg& dlg) { EXPECT_EQ(Checked(dlg, IDC_VIDEO_SECURE_SHRED), 0); },
                                [](CSettingsDlg& dlg) { EXPECT_EQ(dlg.m_strPlayerStatus, CString(L"Ready")); }),
    };
    for (const std::function<void()>& run : cases)
        run();
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
