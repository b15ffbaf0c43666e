#include "tests/QvTest.h"
#include "tests/app/PasswordTestSupport.h"
#include "tests/framework/windows/DialogDriver.h"

#include "app/PasswordLock.h"
#include "crypt/KeyState.h"
#include "res/resource.h"

#include <vector>

using namespace qvtest;

namespace {

const CString kGood = L"Correct Horse 1";

const std::vector<int> kOptionItems = {IDC_RECURSE,      IDC_KEEP_PASSWORD, IDC_VERIFY,     IDC_SECURE_DELETE,
                                       IDC_LOG_ERRORS,   IDC_LOG_WARNINGS,  IDC_ADD_RECOVERY, IDC_KEEP_DATES,
                                       IDC_RANDOM_NAMES, IDC_ENCRYPT_FOLDER_NAMES};

std::vector<int> Options(const PasswordLock& d)
{
    return {d.m_bRecurse,     d.m_bKeepPassword, d.m_bVerify,      d.m_bSecureDelete, d.m_bLogErrors,
            d.m_bLogWarnings, d.m_bAddRecovery,  d.m_bKeepDates,   d.m_bRandomNames,  d.m_bEncryptFolderNames};
}

}  // namespace

TEST(PasswordLock, StartsWithTheDocumentedInitialValues)
{
    PasswordLock dlg;
    EXPECT_EQ(dlg.m_bCapsShown, 0);
    EXPECT_EQ(dlg.m_bAllowRecurse, 1);
    EXPECT_TRUE(dlg.m_strPassword.IsEmpty());
    EXPECT_TRUE(dlg.m_strRepeat.IsEmpty());
    EXPECT_EQ(Options(dlg), std::vector<int>(10, 0));
}

TEST(PasswordLock, RecursionBoxIsDisabledWhenTheCallerDoesNotAllowIt)
{
    PasswordLock dlg;
    dlg.m_bAllowRecurse = 0;
    RunModal(dlg, [&] {
        EXPECT_FALSE(Enabled(dlg, IDC_RECURSE));
        Click(dlg, IDCANCEL);
    });
}

TEST(PasswordLock, MatchMarkFollowsEveryEditOfEitherField)
{
    PasswordLock dlg;
    RunModal(dlg, [&] {
        EXPECT_FALSE(Visible(dlg, IDC_MATCH_MARK)) << "two empty fields at opening show no mark";
        struct Step {
            const char* what;
            int field;
            const WCHAR* text;
            bool mark;
        } steps[] = {
            {"password typed", IDC_PASSWORD, L"Secret", false},
            {"repeat differs in case", IDC_REPEAT, L"secret", false},
            {"repeat equal", IDC_REPEAT, L"Secret", true},
            {"password extended", IDC_PASSWORD, L"Secret2", false},
            {"password emptied", IDC_PASSWORD, L"", false},
            {"both empty again after an edit", IDC_REPEAT, L"", true},
        };
        for (const Step& step : steps) {
            SetText(dlg, step.field, step.text);
            EXPECT_EQ(Visible(dlg, IDC_MATCH_MARK), step.mark) << step.what;
        }
        TypeChar(dlg, IDC_PASSWORD, L'x');
        EXPECT_FALSE(Visible(dlg, IDC_MATCH_MARK)) << "typed character";
        TypeChar(dlg, IDC_REPEAT, L'x');
        EXPECT_TRUE(Visible(dlg, IDC_MATCH_MARK)) << "typed the same character";
        Click(dlg, IDCANCEL);
    });
}

TEST(PasswordLock, OKRefusesUnequalEmptyAndWeakPasswordsAndStaysOpen)
{
    const CString weak = FindWeakPassword();
    ASSERT_FALSE(weak.IsEmpty());
    ASSERT_FALSE(IsWeakPassword(kGood));
    struct Case {
        const char* fault;
        CString password, repeat;
        const WCHAR* message;
        CString passwordAfter, repeatAfter;
    } cases[] = {
        {"unequal passwords accepted", L"secret1", L"secret2", L"Passwords do not match", L"secret1", L""},
        {"comparison ignores case", L"Secret", L"secret", L"Passwords do not match", L"Secret", L""},
        {"repeat alone accepted", L"", L"secret", L"Passwords do not match", L"", L""},
        {"two empty fields accepted in silence", L"", L"",
         L"No Password entered\nType the password to encrypt with in both fields.", L"", L""},
        {"weak key accepted", weak, weak,
         L"Weak Password\nThis password would give a weak encryption key.\nPlease choose a different password.", L"",
         L""},
    };
    for (const Case& c : cases) {
        MessageBoxCapture boxes;
        PasswordLock dlg;
        dlg.m_strPassword = c.password;
        dlg.m_strRepeat = c.repeat;
        dlg.m_bVerify = 1;
        INT_PTR result = RunModal(dlg, [&] {
            Click(dlg, IDOK);
            EXPECT_TRUE(dlg.IsWindowVisible()) << c.fault;
            EXPECT_EQ(Text(dlg, IDC_PASSWORD), c.passwordAfter) << c.fault;
            EXPECT_EQ(Text(dlg, IDC_REPEAT), c.repeatAfter) << c.fault;
            EXPECT_EQ(Checked(dlg, IDC_VERIFY), 1) << c.fault << ": options must stay as they were";
            // The user corrects the input and confirms.
            SetText(dlg, IDC_PASSWORD, kGood);
            SetText(dlg, IDC_REPEAT, kGood);
            Click(dlg, IDOK);
        });
        EXPECT_EQ(result, IDOK) << c.fault;
        EXPECT_EQ(dlg.m_strPassword, kGood) << c.fault;
        ASSERT_EQ(boxes.texts.size(), 1u) << c.fault;
        EXPECT_EQ(boxes.texts[0], CString(c.message)) << c.fault;
    }
}

TEST(PasswordLock, CancelLeavesTheCallersValuesUntouched)
{
    PasswordLock dlg;
    dlg.m_strPassword = dlg.m_strRepeat = L"old";
    dlg.m_bKeepDates = 1;
    INT_PTR result = RunModal(dlg, [&] {
        SetText(dlg, IDC_PASSWORD, L"new");
        SetText(dlg, IDC_REPEAT, L"new");
        Click(dlg, IDC_KEEP_DATES);
        Click(dlg, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dlg.m_strPassword, CString(L"old"));
    EXPECT_EQ(dlg.m_strRepeat, CString(L"old"));
    EXPECT_EQ(Options(dlg), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 1, 0, 0}));
}

TEST(PasswordLock, DefaultSettingsSetsTheOptionsAndKeepsTheTypedPasswords)
{
    PasswordLock dlg;
    dlg.m_bSecureDelete = dlg.m_bLogWarnings = dlg.m_bAddRecovery = 1;
    RunModal(dlg, [&] {
        SetText(dlg, IDC_PASSWORD, L"typed one");
        SetText(dlg, IDC_REPEAT, L"typed two");
        Click(dlg, IDC_DEFAULT_SETTINGS);
        EXPECT_EQ(Text(dlg, IDC_PASSWORD), CString(L"typed one"));
        EXPECT_EQ(Text(dlg, IDC_REPEAT), CString(L"typed two"));
        std::vector<int> shown;
        for (int id : kOptionItems)
            shown.push_back(Checked(dlg, id));
        EXPECT_EQ(shown, (std::vector<int>{1, 1, 1, 0, 1, 0, 0, 1, 1, 1}));
        Click(dlg, IDCANCEL);
    });
}

TEST(PasswordLock, RandomNamesBoxExplainsTheChoiceJustMade)
{
    MessageBoxCapture boxes;
    PasswordLock dlg;
    RunModal(dlg, [&] {
        Click(dlg, IDC_RANDOM_NAMES);
        Click(dlg, IDC_RANDOM_NAMES);
        Click(dlg, IDCANCEL);
    });
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(boxes.texts[0],
              CString(L"Random Encrypted File-Names\n"
                      L"Each time you encrypt a file, it will generate a NEW RANDOM encrypted file name.\n"
                      L"This will allow you to backup multiple versions of the same encrypted file in a single "
                      L"folder"));
    EXPECT_EQ(boxes.texts[1],
              CString(L"Static Encrypted File-Names\n"
                      L"Each file will be encrypted with a static (non-changing) encrypted file name.\n"
                      L"This is a good option if you want to keep only one version of each encrypted file in a "
                      L"single folder"));
}

TEST(PasswordLock, CapsLockWarningFollowsTheKeyAtOpeningAndOnEveryEdit)
{
    CapsLockSession caps;
    ASSERT_TRUE(caps.Set(true)) << "Caps Lock did not follow the simulated key";
    PasswordLock dlg;
    RunModal(dlg, [&] {
        EXPECT_TRUE(Visible(dlg, IDC_CAPS_WARNING)) << "Caps Lock on at opening";
        EXPECT_EQ(dlg.m_bCapsShown, 1);
        ASSERT_TRUE(caps.Set(false));
        EXPECT_TRUE(Visible(dlg, IDC_CAPS_WARNING)) << "the warning changes only with an edit";
        TypeChar(dlg, IDC_PASSWORD, L'a');
        EXPECT_FALSE(Visible(dlg, IDC_CAPS_WARNING)) << "Caps Lock off, one character typed";
        EXPECT_EQ(dlg.m_bCapsShown, 0);
        ASSERT_TRUE(caps.Set(true));
        TypeChar(dlg, IDC_REPEAT, L'A');
        EXPECT_TRUE(Visible(dlg, IDC_CAPS_WARNING)) << "Caps Lock on again, typed in the repeat field";
        Click(dlg, IDCANCEL);
    });
}
