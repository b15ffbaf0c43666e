// The program's own dialogs open over the main window, wherever it stands,
// not in the middle of the screen.
#include "tests/QvTest.h"
#include "tests/framework/windows/DialogDriver.h"

#include "app/PasswordLock.h"
#include "app/PasswordSet.h"
#include "app/PasswordUnlock.h"
#include "app/SettingsDlg.h"
#include "app/TestIntegrityDlg.h"
#include "framework/windows/CWinApp.h"

#include <functional>
#include <memory>

using namespace qvtest;

namespace {

class MainWindow : public CWnd {
public:
    explicit MainWindow(const RECT& place)
    {
        CreateEx(0, RegisterWndClass(0), L"Main window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, place.left, place.top,
                 place.right - place.left, place.bottom - place.top, nullptr, nullptr);
    }
    ~MainWindow() override
    {
        if (m_hWnd)
            DestroyWindow();
    }
};

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace

TEST(ProgramDialogs, OpenCentredOverTheMainWindow)
{
    CWinApp app(L"QuorvexPlacementTest");
    // Off the screen's middle, large enough for every dialog to fit over it.
    const RECT place = {20, 30, 20 + 760, 30 + 620};
    MainWindow main(place);
    ASSERT_TRUE(main.m_hWnd);
    app.m_pMainWnd = &main;

    struct Row {
        const char* name;
        std::function<std::unique_ptr<CDialog>()> make;
    };
    const Row rows[] = {
        {"Set Password", [] { return std::make_unique<PasswordSet>(); }},
        {"Lock and Encrypt", [] { return std::make_unique<PasswordLock>(); }},
        {"Unlock and Decrypt", [] { return std::make_unique<PasswordUnlock>(); }},
        {"Settings", [&] { return std::make_unique<CSettingsDlg>(&main); }},
        {"Test integrity", [] { return std::make_unique<CTestIntegrityDlg>(); }},
    };
    RECT owner;
    ::GetWindowRect(main.m_hWnd, &owner);
    const POINT expected = Centre(owner);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<CDialog> dialog = row.make();
        RECT shown = {};
        HWND shownOwner = nullptr;
        RunModal(*dialog, [&] {
            ::GetWindowRect(dialog->m_hWnd, &shown);
            shownOwner = ::GetWindow(dialog->m_hWnd, GW_OWNER);
            dialog->EndDialog(IDCANCEL);
        });
        EXPECT_EQ(shownOwner, main.m_hWnd);
        POINT centre = Centre(shown);
        EXPECT_NEAR(centre.x, expected.x, 2) << "the dialog is not centred over the main window";
        EXPECT_NEAR(centre.y, expected.y, 2) << "the dialog is not centred over the main window";
    }
    app.m_pMainWnd = nullptr;
}
