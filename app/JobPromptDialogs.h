// CJobPromptDialogs: the document's prompts answered with the program's four
// password dialogs (PasswordLock, PasswordUnlock, PasswordSet,
// CTestIntegrityDlg). It keeps no state: one object serves every document.
#pragma once

#include "doc/JobPrompts.h"

class CJobPromptDialogs : public CJobPrompts {
public:
    bool AskEncryptPassword(CString& password, JobOptions& options) override;
    bool AskDecryptPassword(CString& password, JobOptions& options) override;
    bool AskPassword(CString& password) override;
    bool AskTestPassword(CString& password) override;

    // The one the application registers with its document.
    static CJobPromptDialogs& Instance();
};
