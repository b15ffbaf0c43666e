// Starts the program in this process as it starts itself (the application
// object's InitInstance with an empty profile) and closes it as the user
// does.
#pragma once

#include "tests/QvTest.h"
#include "tests/framework/windows/DialogDriver.h"

#include "app/MainFrame.h"
#include "app/OrvantisApp.h"
#include "app/OrvantisView.h"
#include "doc/OrvantisDoc.h"

#include <memory>

namespace qvtest {

inline const WCHAR* const kProgramProfile = L"Software\\Halvercombe\\Quorvex";

// The registry key of a section of the program's profile.
inline CString ProfileKey(const WCHAR* section) { return CString(kProgramProfile) + L"\\" + section; }

// A DWORD of the program's profile, or `missing`.
inline int ProfileInt(const WCHAR* section, const WCHAR* name, int missing = -1)
{
    DWORD value = 0, size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, ProfileKey(section), name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return missing;
    return (int)value;
}

inline CString ProfileString(const WCHAR* section, const WCHAR* name)
{
    WCHAR value[1024] = {};
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, ProfileKey(section), name, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return CString(L"<missing>");
    return CString(value);
}

inline void WriteProfileIntValue(const WCHAR* section, const WCHAR* name, int value)
{
    DWORD data = (DWORD)value;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, ProfileKey(section), name, REG_DWORD, &data, sizeof data);
}

inline void WriteProfileStringValue(const WCHAR* section, const WCHAR* name, const CString& value)
{
    ::RegSetKeyValueW(HKEY_CURRENT_USER, ProfileKey(section), name, REG_SZ, value.GetString(),
                      (DWORD)((value.GetLength() + 1) * sizeof(WCHAR)));
}

class ProgramTest : public testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kProgramProfile); }
    void TearDown() override
    {
        Stop();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kProgramProfile);
    }
    void Start()
    {
        app = std::make_unique<COrvantisApp>();
        ASSERT_TRUE(app->InitInstance());
        frame = dynamic_cast<CMainFrame*>(app->m_pMainWnd);
        ASSERT_NE(nullptr, frame);
        view = dynamic_cast<COrvantisView*>(frame->GetActiveView());
        ASSERT_NE(nullptr, view);
        document = view->GetDocument();
        ASSERT_NE(nullptr, document);
        PumpFor(30);
    }
    // Closes the main window as the user does, then ends the application
    // object; the quit message the window leaves is taken back.
    void Stop()
    {
        if (!app)
            return;
        CloseMainWindow(*app);
        frame = nullptr;
        view = nullptr;
        document = nullptr;
        app->ExitInstance();
        app.reset();
    }
    void Command(UINT id) { frame->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    std::unique_ptr<COrvantisApp> app;
    CMainFrame* frame = nullptr;
    COrvantisView* view = nullptr;
    COrvantisDoc* document = nullptr;
};

}  // namespace qvtest
