// The program started in this process (qvtest::ProgramTest) with the user's
// temporary folder moved to a folder of the test alone, so that the copies
// and temporary files the program makes can be counted and never mix with
// other programs'; the key is cleared at the end.
#pragma once

#include "tests/app/shell/MainWindowSupport.h"
#include "tests/app/view/ViewTestSupport.h"

namespace viewtest {

class ViewProgramTest : public qvtest::ProgramTest {
protected:
    void SetUp() override
    {
        WCHAR saved[MAX_PATH] = {};
        ::GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
        m_savedTmp = saved;
        ::SetEnvironmentVariableW(L"TMP", temp.Path());
        qvtest::ProgramTest::SetUp();
    }
    void TearDown() override
    {
        qvtest::ProgramTest::TearDown();
        COrvantisDoc::SetPasswordKey(CString());
        ::SetEnvironmentVariableW(L"TMP", m_savedTmp.IsEmpty() ? nullptr : m_savedTmp.GetString());
    }
    CMyMFCShellListCtrl& List() { return view->GetList(); }
    int Find(const CString& name) { return FindItem(List(), name); }

    qvtest::TempFolder folder;
    qvtest::TempFolder temp;

private:
    CString m_savedTmp;
};

}  // namespace viewtest
