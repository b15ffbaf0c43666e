// The program started in this process (qvtest::ProgramTest) with the user's
// temporary folder moved to a folder of the test alone (qvtest::MovedTempFolder),
// so that the copies and temporary files the program makes can be counted;
// the key is cleared at the end.
#pragma once

#include "tests/app/shell/MainWindowSupport.h"
#include "tests/app/view/ViewTestSupport.h"

namespace viewtest {

class ViewProgramTest : public qvtest::ProgramTest {
protected:
    void TearDown() override
    {
        qvtest::ProgramTest::TearDown();
        COrvantisDoc::SetPasswordKey(CString());
    }
    // Starts the program with `password` as the document's password and its key installed.
    void StartWithPassword(const CString& password)
    {
        Start();
        COrvantisDoc::SetPasswordKey(password);
        document->m_strPassword = password;
    }
    CMyMFCShellListCtrl& List() { return view->GetList(); }
    int Find(const CString& name) { return qvtest::FindListItem(List(), name); }

    qvtest::TempFolder folder;
    qvtest::MovedTempFolder temp;
};

}  // namespace viewtest
