#include "app/JobPromptDialogs.h"

#include "app/PasswordLock.h"
#include "app/PasswordSet.h"
#include "app/PasswordUnlock.h"
#include "app/TestIntegrityDlg.h"

bool CJobPromptDialogs::AskEncryptPassword(CString& password, JobOptions& options)
{
    PasswordLock dlg;
    dlg.m_strPassword = password;
    dlg.m_strRepeat = password;
    dlg.ShowOptions(options);
    if (dlg.DoModal() != IDOK)
        return false;
    password = dlg.m_strPassword;
    dlg.TakeOptions(options);
    return true;
}

bool CJobPromptDialogs::AskDecryptPassword(CString& password, JobOptions& options)
{
    PasswordUnlock dlg;
    dlg.m_strPassword = password;
    dlg.ShowOptions(options);
    if (dlg.DoModal() != IDOK)
        return false;
    password = dlg.m_strPassword;
    dlg.TakeOptions(options);
    return true;
}

bool CJobPromptDialogs::AskPassword(CString& password)
{
    PasswordSet dlg;
    dlg.m_strPassword = password;
    if (dlg.DoModal() != IDOK)
        return false;
    password = dlg.m_strPassword;
    return true;
}

bool CJobPromptDialogs::AskTestPassword(CString& password)
{
    CTestIntegrityDlg dlg;
    dlg.m_strPassword = password;
    if (dlg.DoModal() != IDOK)
        return false;
    password = dlg.m_strPassword;
    return true;
}

CJobPromptDialogs& CJobPromptDialogs::Instance()
{
    static CJobPromptDialogs prompts;
    return prompts;
}
